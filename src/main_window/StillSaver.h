#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace corvid {

class QVRControl;

// Saves the pictures the cameras show as PNG files, each the decoded picture itself at
// its native size and unzoomed, named from its recording and position
// ("day1-1 00-12-03.480.png"). The folder is asked for at the first save of the run,
// starting in the user's Pictures folder, and kept for the saves after it.
class StillSaver {
public:
    // Saves the picture of every panel that shows one; returns the files written, or
    // nothing when the user cancelled the folder choice. Throws Failure when no panel
    // shows a picture or a file cannot be written; a save that fails leaves none of its
    // files behind.
    QStringList save(const std::vector<QVRControl*>& panels);

    QString folder() const { return folder_; }
    // The name a still of `recording` at media time `seconds` gets.
    static QString fileNameFor(const QString& recording, double seconds);

private:
    QString folder_;
};

}  // namespace corvid
