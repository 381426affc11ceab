#pragma once

#include <QHash>
#include <QTreeWidget>

namespace corvid {

// The folder list: shows where the current folder lies, its ancestors from the root down and
// its child folders. The user opens a shown folder with a double-click or Enter.
class FolderList : public QTreeWidget {
    Q_OBJECT

public:
    // Shows nothing until a path is set.
    explicit FolderList(QWidget* parent = nullptr);

    QString Path() const { return path_; }

    // Shows a folder; a volume's mount point designates that volume's current folder. Raises
    // Change when the path changes. Throws Failure(FileSystem) when the folder does not exist.
    void setPath(const QString& path);

    // Reads the shown folder's child folders again. When the folder no longer exists, moves to
    // its nearest ancestor that does (raising Change).
    void refresh();

    // The folder a volume's designation leads to: the process's current folder when it lies on
    // that volume, else the folder last shown on it, else its mount point.
    QString currentFolderOf(const QString& mountPoint) const;

    // The full path a shown row stands for.
    static constexpr int PathRole = Qt::UserRole;

signals:
    void Change();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openItem(QTreeWidgetItem* item);
    void open(const QString& folder);
    void rebuild();
    QString nearestExisting(const QString& folder) const;

    QString path_;
    QHash<QString, QString> lastShownOn_;  // mount point -> folder
};

}  // namespace corvid
