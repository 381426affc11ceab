#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "main_window/FormLayout.h"

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QTimer;
class QWidget;

namespace corvid {

class DriveList;
class FolderList;
class IFileSystem;
class QVRControl;
class RecordingPair;
class RecordingScan;
class ReviewKeys;
class ScrollBar;

// The program's one window: two player panels side by side, a shared progress bar, the
// audio source and volume, and the drive, folder and recording lists. Sizes and places
// are kept in twips and applied in pixels at the screen's logical DPI.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Child controls under their design names.
    QVRControl* QVRControl1;
    QVRControl* QVRControl2;
    QListWidget* lsASF;
    DriveList* DrvList;
    FolderList* DirList;
    QGroupBox* fraVol;
    QLabel* Label1;
    QRadioButton* optLeft;
    QRadioButton* optRight;
    ScrollBar* hsVol;
    QGroupBox* fraPlay;
    QWidget* P1;
    QLabel* L1;
    QFrame* S1;
    QTimer* timPS;
    // Restarted by every load and stop: once it runs out, the memory freed since goes back.
    QTimer* idleTrim_;
    QAction* mnuPlay;
    QAction* mnuClose;

    // The window's outer size (frame, caption and menu bar included) in twips. A size set
    // here reads back exactly as long as the window keeps the pixel size it produced.
    float Width() const;
    float Height() const;
    void setWidth(float twips);
    void setHeight(float twips);

    // The layout last applied, in twips.
    const FormLayout& layout() const { return layout_; }
    // The progress fill and bar widths in twips.
    float S1Width() const { return s1WidthTwips_; }
    float P1Width() const { return layout_.P1Width; }

    // Event handlers, public so that a host or a test can raise them as the toolkit would.
    void Form_Load();
    void Form_Resize();
    void DrvList_Change();
    void DirList_Change();
    void lsASF_Click();
    void mnuPlay_Click();
    void mnuClose_Click();
    void timPS_Timer();
    void P1_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void P1_MouseMove(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void P1_MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void optLeft_Click();
    void optRight_Click();
    void hsVol_Change();

    void LoadSelectedRecording();
    // The end of a load, once its files are open: the volume read back, the bar shown.
    void FinishLoading();

    // Shows the position and duration of the panel that plays on the progress bar.
    void UpdateProgress();
    // Whether a loaded recording is playing (Pause is the command on offer).
    bool isPlaying() const;
    // Runs `command` on camera 1's panel and then on camera 2's, the second also when the
    // first fails: with one damaged file of a pair the other camera must still follow. A
    // panel that could not open its file already says so on its surface; the first failure
    // of a panel without such a notice is passed on once both have had their turn.
    void commandBothPanels(const std::function<void(QVRControl&)>& command);
    // The recording loaded: its timeline and every action on it.
    RecordingPair& pair() const { return *pair_; }
    // Redraws the progress bar and time text now, as a timer tick does, and also where a
    // tick leaves them alone: with both cameras at their start or nothing loaded.
    void ShowProgressNow();

    // Selects the line of the recording that plays the file named (a name in the folder
    // shown) and plays it, as a click on that line does. A name that no line plays is
    // reported in a message box and leaves the list as it was; returns whether a line was
    // found.
    bool SelectRecording(const QString& fileName);

    // The window's own icon (16 x 16 and 32 x 32), also used as the application's icon.
    static QIcon icon();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenu();
    void setTabOrder();
    void nameControls();
    void connectHandlers();

    // What the commands and the progress bar allow: nothing loaded, a recording loaded
    // (playing or paused), or the bar held by the mouse while seeking.
    enum class PlayState : std::int16_t { Idle = 0, Loaded = 1, Seeking = 3 };
    // The cameras a loaded recording has; the sound choices offered follow them.
    enum class CameraMode : std::int16_t { Camera1 = 1, Camera2 = 2, Both = 3 };

    void drawProgress(bool evenAtTheStart);
    static QString TimeText(double seconds);
    void SetPlayState(PlayState state);
    void SetCameraMode(CameraMode mode);
    void ApplyVolume();

    // Loading helpers.
    std::optional<QString> existingFile(const QString& fullName, QString& unreachable);
    void selectOption(QRadioButton* option);
    // Follows a camera that left the recording's pair.
    void showPairMembers();

    void setS1Width(float twips);
    float clampToBar(float x) const;
    float seekPercentage() const;

    void applyLayout();
    double dpi() const;
    QRect twipsRect(double left, double top, double width, double height) const;
    int pixelsOf(double twips) const;
    double twipsOf(int pixels) const;
    QSize frameExtra() const;

    std::shared_ptr<IFileSystem> fileSystem_;
    std::unique_ptr<RecordingPair> pair_;
    std::unique_ptr<RecordingScan> scan_;
    std::unique_ptr<ReviewKeys> reviewKeys_;
    FormLayout layout_;
    float s1WidthTwips_ = 15;
    int resizeDepth_ = 0;
    bool centred_ = false;
    bool rowChangedByPress_ = false;

    // The last outer size set in twips and the pixel size it gave.
    std::optional<float> requestedWidth_;
    std::optional<float> requestedHeight_;
    int requestedWidthPixels_ = -1;
    int requestedHeightPixels_ = -1;
};

}  // namespace corvid
