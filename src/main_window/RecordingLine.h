#pragma once

#include <QString>
#include <QStringList>
#include <Qt>
#include <functional>
#include <optional>

class QListWidgetItem;

namespace corvid {

// One line of the recording list: a recording's base name and which of its files the folder
// holds. A recorder writes camera 1 as "<base>-1.asf" and camera 2 as "<base>-2.asf" (suffixes
// in any letter case); any other ".asf" file is a recording of its own. A line shows a pair
// marker ("AB" both cameras, "A " camera 1 alone, " B" camera 2 alone, "--" a file of its
// own), a tab and the base name. The marker and the base name are also kept as the item's
// data, so reading a line back never depends on splitting text that may itself hold a tab.
class RecordingLine {
public:
    enum class Kind { Pair, Camera1Only, Camera2Only, Single };

    static constexpr int BaseNameRole = Qt::UserRole;
    static constexpr int MarkerRole = Qt::UserRole + 1;

    RecordingLine(Kind kind, const QString& baseName);

    // The line that a folder's file gives. `partnerExists` is asked, for a camera's file only,
    // whether the other camera's file of the same recording is there too: a complete pair's
    // camera-1 file gives the pair's line and its camera-2 file gives none.
    static std::optional<RecordingLine> ofFile(
        const QString& fileName, const std::function<bool(const QString& partner)>& partnerExists);

    // The line a list item shows, from its kept data or else from its text; nothing when the
    // text holds no tab. A marker that no line is made with gives a line without a kind.
    static std::optional<RecordingLine> of(const QListWidgetItem* item);

    std::optional<Kind> kind() const;
    const QString& marker() const { return marker_; }
    const QString& baseName() const { return baseName_; }
    // The names of the files the line plays, in the letter case of the line: camera 1 before
    // camera 2 for a pair; none for a line without a kind.
    QStringList fileNames() const;
    // A new list item showing the line.
    QListWidgetItem* toItem() const;

private:
    RecordingLine(QString marker, QString baseName);
    // The file name of camera 1 or 2 of the recording `baseName`.
    static QString cameraFile(const QString& baseName, int camera);

    QString marker_;
    QString baseName_;
};

}  // namespace corvid
