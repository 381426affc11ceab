#include "platform/file_views/FolderList.h"

#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <algorithm>

#include "platform/file_views/DriveList.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FolderPath.h"
#include "platform/widgets/MessageBox.h"
#include "util/Failure.h"

namespace corvid {

namespace {

QString cleaned(const QString& path) {
    const QString absolute =
        path.startsWith(u'/') ? path : FileSystem::current()->currentFolder() + u'/' + path;
    return QDir::cleanPath(absolute);
}

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// Control characters (a name may hold a tab or a newline) are shown as their visible symbols;
// the row's path keeps the name as it is.
QString displayed(QString name) {
    for (QChar& c : name) {
        if (c.unicode() < 0x20) c = QChar(0x2400 + c.unicode());
    }
    return name;
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    // The rows show one path, always open: no expand arrows.
    setStyleSheet(QStringLiteral("QTreeView::branch { image: none; border-image: none; }"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openItem(item); });
}

void FolderList::setPath(const QString& path) {
    QString folder = cleaned(path);
    const auto volumes = FileSystem::current()->volumes();
    const bool designation = std::any_of(volumes.begin(), volumes.end(),
                                         [&](const Volume& v) { return v.mountPoint == folder; });
    if (designation) folder = currentFolderOf(folder);
    if (!FileSystem::current()->isFolder(folder)) {
        throw Failure(
            Failure::FileSystem,
            QStringLiteral("The folder \"%1\" does not exist.").arg(folder).toStdString());
    }
    open(folder);
}

void FolderList::refresh() {
    if (path_.isEmpty()) return;
    open(nearestExisting(path_));
}

QString FolderList::currentFolderOf(const QString& mountPoint) const {
    const auto fs = FileSystem::current();
    const auto volumes = fs->volumes();
    const QString current = fs->currentFolder();
    if (DriveList::volumeOf(current, volumes) == mountPoint && fs->isFolder(current)) {
        return current;
    }
    const auto last = lastShownOn_.constFind(mountPoint);
    if (last != lastShownOn_.constEnd()) {
        const QString existing = nearestExisting(*last);
        if (DriveList::volumeOf(existing, volumes) == mountPoint) return existing;
    }
    return mountPoint;
}

void FolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openItem(currentItem());
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FolderList::openItem(QTreeWidgetItem* item) {
    if (item == nullptr) return;
    const QString folder = item->data(0, PathRole).toString();
    // Later, from the event loop: opening rebuilds the rows, including the one that was
    // activated, and the scan that follows a change lets other events run.
    QMetaObject::invokeMethod(
        this,
        [this, folder] {
            // Nothing above this call would catch a failure: show it here.
            try {
                const bool exists = FileSystem::current()->isFolder(folder);
                open(exists ? folder : nearestExisting(path_));
            } catch (const Failure& failure) {
                MessageBox::show(this, QString::fromStdString(failure.what()));
            }
        },
        Qt::QueuedConnection);
}

void FolderList::open(const QString& folder) {
    const QString volume = DriveList::volumeOf(folder, FileSystem::current()->volumes());
    const bool changed = folder != path_;
    path_ = folder;
    if (!volume.isEmpty()) lastShownOn_[volume] = folder;
    rebuild();
    if (changed) emit Change();
}

void FolderList::rebuild() {
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QTreeWidgetItem* current = new QTreeWidgetItem(this, QStringList(QStringLiteral("/")));
    current->setData(0, PathRole, QStringLiteral("/"));
    current->setIcon(0, openIcon);
    QString walked = QStringLiteral("/");
    for (const QString& name : path_.split(u'/', Qt::SkipEmptyParts)) {
        walked = joined(walked, name);
        current = new QTreeWidgetItem(current, QStringList(displayed(name)));
        current->setData(0, PathRole, walked);
        current->setIcon(0, openIcon);
    }

    QStringList children;
    try {
        children = FileSystem::current()->childFolders(path_);
    } catch (const Failure&) {
        // An unreadable folder is shown without children; the scan of it reports the failure.
    }
    std::sort(children.begin(), children.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    for (const QString& name : children) {
        auto* child = new QTreeWidgetItem(current, QStringList(displayed(name)));
        child->setData(0, PathRole, joined(path_, name));
        child->setIcon(0, closedIcon);
    }

    expandAll();
    setCurrentItem(current);
    scrollToItem(current);
}

QString FolderList::nearestExisting(const QString& folder) const {
    QString candidate = folder;
    const auto fs = FileSystem::current();
    while (candidate != "/" && !fs->isFolder(candidate)) candidate = parentOf(candidate);
    return candidate;
}

}  // namespace corvid
