#pragma once

namespace corvid {

// The main window's resize rule as a pure function of the outer window size, in
// single-precision twips. Form_Resize applies the result to the controls.
struct FormLayout {
    // The controls' design values that the rule reads but never changes.
    struct Design {
        float QVRControl1Top = 0;
        float lsASFLeft = 5280;
        float lsASFHeight = 3120;
        float fraPlayLeft = 0;
        float fraPlayHeight = 615;
        float fraVolWidth = 4575;
        float fraVolHeight = 615;
        float DrvListHeight = 300;
        float L1Width = 1755;
    };

    static constexpr float MinimumWidth = 10740;
    static constexpr float MinimumHeight = 10195;

    // The enforced outer size and whether each side had to be set back to the minimum.
    float Width = 0;
    float Height = 0;
    bool widthEnforced = false;
    bool heightEnforced = false;

    // Computed fields, in the order they are assigned.
    float QVRControl1Height = 0;
    float fraPlayTop = 0;
    float fraVolTop = 0;
    float lsASFTop = 0;
    float DrvListTop = 0;
    float DirListTop = 0;
    float lsASFWidth = 0;
    float fraPlayWidth = 0;
    float fraVolLeft = 0;
    float P1Width = 0;
    float L1Left = 0;
    float QVRControl1Width = 0;
    float QVRControl2Left = 0;
    float QVRControl2Height = 0;
    float QVRControl2Width = 0;

    static FormLayout compute(float outerWidth, float outerHeight, const Design& design);
    // With the design values of the window as drawn.
    static FormLayout compute(float outerWidth, float outerHeight);
};

}  // namespace corvid
