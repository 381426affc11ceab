#pragma once

#include <QComboBox>
#include <vector>

#include "platform/files/Volume.h"

namespace corvid {

// The drive list: a drop-down of the mounted volumes. A volume is designated by its mount
// point, which the folder list turns into that volume's current folder.
class DriveList : public QComboBox {
    Q_OBJECT

public:
    // Lists the volumes and shows the one that holds the process's current folder.
    explicit DriveList(QWidget* parent = nullptr);

    // The designation of the volume shown: its mount point.
    QString Drive() const;
    // Shows the volume with that mount point, or else the one that holds that path. Raises
    // Change when another volume is shown. Throws Failure(FileSystem) when none matches.
    void setDrive(const QString& drive);

    // Shows the volume that holds the path without raising Change, so the list follows the
    // folder list across volumes.
    void showVolumeOf(const QString& path);

    // Reads the mounted volumes again, keeping the one shown where it is still mounted. Returns
    // whether it had gone (another volume is shown then, without Change).
    bool refresh();

    const std::vector<Volume>& volumes() const { return volumes_; }

    // The mount point among `volumes` that holds the path (the longest that contains it).
    static QString volumeOf(const QString& path, const std::vector<Volume>& volumes);

signals:
    void Change();

protected:
    // A volume mounted while the program runs is offered the next time the list opens.
    void showPopup() override;

private:
    void fill(const QString& keep);
    int indexOfMountPoint(const QString& mountPoint) const;
    void showQuietly(int index);
    void currentChanged(int index);

    std::vector<Volume> volumes_;
    int shown_ = -1;
    bool quiet_ = false;
};

}  // namespace corvid
