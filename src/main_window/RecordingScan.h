#pragma once

#include <QListWidget>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace corvid {

class DriveList;
class FolderList;

// Scans a folder for recordings and rebuilds the recording list: one RecordingLine per
// recording, in the order the folder lists the file that gives it.
class RecordingScan {
public:
    using Yield = std::function<void()>;

    enum class Outcome { Completed, BlankPath, Superseded, Failed };

    // `yield` lets the window process its pending events; it runs once per name gathered and
    // once per name classified.
    RecordingScan(QListWidget* list, Yield yield);
    ~RecordingScan();
    RecordingScan(const RecordingScan&) = delete;
    RecordingScan& operator=(const RecordingScan&) = delete;

    // After a failed scan the drive and folder lists are moved to a folder that exists, so
    // that the three lists agree again. Either may be null.
    void keepInLine(DriveList* drives, FolderList* folders);
    // The window over which failure messages are shown.
    void setMessageParent(QWidget* parent) { messageParent_ = parent; }

    // Scans the folder. A scan started while another one is yielding supersedes it: the older
    // one returns Superseded and touches the list no more. A failure is shown in a message box,
    // leaves the list empty and returns Failed.
    Outcome run(const QString& folderPath);

    // Moves the drive and folder lists to the nearest folder that exists, which scans it
    // when that is another folder. Used after a failed scan, and by the window when the
    // folder shown has gone.
    void recover();

private:
    struct State {
        int generation = 0;
        bool destroyed = false;
    };

    QPointer<QListWidget> list_;
    Yield yield_;
    QPointer<DriveList> drives_;
    QPointer<FolderList> folders_;
    QPointer<QWidget> messageParent_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace corvid
