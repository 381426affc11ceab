#include "main_window/FormLayout.h"

namespace corvid {

FormLayout FormLayout::compute(float outerWidth, float outerHeight, const Design& design) {
    FormLayout l;
    // The minimum is enforced after the fact; the rest is laid out from the enforced size.
    l.widthEnforced = outerWidth < MinimumWidth;
    l.heightEnforced = outerHeight < MinimumHeight;
    l.Width = l.widthEnforced ? MinimumWidth : outerWidth;
    l.Height = l.heightEnforced ? MinimumHeight : outerHeight;
    const float W = l.Width;
    const float H = l.Height;

    l.QVRControl1Height = H - design.lsASFHeight - design.fraPlayHeight - 1000;
    l.fraPlayTop = design.QVRControl1Top + l.QVRControl1Height + 50;
    l.fraVolTop = l.fraPlayTop;
    l.lsASFTop = l.fraVolTop + design.fraVolHeight + 50;
    l.DrvListTop = l.lsASFTop;
    l.DirListTop = l.DrvListTop + design.DrvListHeight;
    l.lsASFWidth = W - design.lsASFLeft - 120;
    l.fraPlayWidth = W - design.fraVolWidth - 200;
    l.fraVolLeft = design.fraPlayLeft + l.fraPlayWidth + 50;
    l.P1Width = l.fraPlayWidth - 200;
    l.L1Left = l.P1Width / 2 - design.L1Width / 2;
    l.QVRControl1Width = W / 2;
    l.QVRControl2Left = l.QVRControl1Width + 15;
    l.QVRControl2Height = l.QVRControl1Height;
    l.QVRControl2Width = l.QVRControl1Width;
    return l;
}

FormLayout FormLayout::compute(float outerWidth, float outerHeight) {
    return compute(outerWidth, outerHeight, Design{});
}

}  // namespace corvid
