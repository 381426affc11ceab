#include "platform/file_views/DriveList.h"

#include "platform/files/FileSystem.h"
#include "util/Failure.h"

namespace corvid {

namespace {

int indexOfMountPointIn(const std::vector<Volume>& volumes, const QString& mountPoint) {
    for (size_t i = 0; i < volumes.size(); ++i) {
        if (volumes[i].mountPoint == mountPoint) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::currentChanged);
    fill(QString());
    showVolumeOf(FileSystem::current()->currentFolder());
}

QString DriveList::Drive() const {
    return shown_ < 0 ? QString() : volumes_[static_cast<size_t>(shown_)].mountPoint;
}

void DriveList::setDrive(const QString& drive) {
    int index = indexOfMountPoint(drive);
    if (index < 0) index = indexOfMountPoint(volumeOf(drive, volumes_));
    if (index < 0 || drive.isEmpty()) {
        throw Failure(Failure::FileSystem,
                      QStringLiteral("No volume is mounted at \"%1\".").arg(drive).toStdString());
    }
    setCurrentIndex(index);
}

void DriveList::showVolumeOf(const QString& path) {
    showQuietly(indexOfMountPoint(volumeOf(path, volumes_)));
}

bool DriveList::refresh() {
    const QString before = Drive();
    fill(before);
    return !before.isEmpty() && Drive() != before;
}

QString DriveList::volumeOf(const QString& path, const std::vector<Volume>& volumes) {
    QString best;
    for (const Volume& volume : volumes) {
        const QString& mount = volume.mountPoint;
        const bool holds = path == mount || mount == "/" ||
                           (path.startsWith(mount) && path.at(mount.size()) == u'/');
        if (holds && mount.size() > best.size()) best = mount;
    }
    return best;
}

void DriveList::showPopup() {
    if (refresh()) emit Change();
    QComboBox::showPopup();
}

void DriveList::fill(const QString& keep) {
    std::vector<Volume> volumes;
    try {
        volumes = FileSystem::current()->volumes();
    } catch (const Failure&) {
        // Without the mount table the root still holds every folder.
        volumes = {Volume{QStringLiteral("/"), QString(), QString()}};
    }
    const QString next = indexOfMountPointIn(volumes, keep) >= 0 ? keep : volumeOf(keep, volumes);
    quiet_ = true;
    volumes_ = std::move(volumes);
    clear();
    for (const Volume& volume : volumes_) {
        addItem(volume.mountPoint);
        setItemData(count() - 1,
                    volume.device.isEmpty() ? volume.type : volume.device + u' ' + volume.type,
                    Qt::ToolTipRole);
    }
    quiet_ = false;
    shown_ = -1;
    showQuietly(indexOfMountPoint(next));
}

int DriveList::indexOfMountPoint(const QString& mountPoint) const {
    return indexOfMountPointIn(volumes_, mountPoint);
}

void DriveList::showQuietly(int index) {
    if (index < 0) index = volumes_.empty() ? -1 : 0;
    quiet_ = true;
    setCurrentIndex(index);
    quiet_ = false;
    shown_ = index;
}

void DriveList::currentChanged(int index) {
    if (quiet_ || index == shown_) return;
    shown_ = index;
    emit Change();
}

}  // namespace corvid
