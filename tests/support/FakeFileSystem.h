#pragma once

#include <map>
#include <set>

#include "platform/files/IFileSystem.h"

namespace corvid {

// An in-memory file system for tests: entries are listed in the order they were added, every
// call is counted, and faults that no permission bit can produce for root can be injected.
class FakeFileSystem : public IFileSystem {
public:
    struct Calls {
        int readersOpened = 0;
        int namesRead = 0;
        int findFile = 0;
        int entriesScannedByFindFile = 0;
        int isOrdinaryFile = 0;
        int isFolder = 0;
        int childFolders = 0;
        int volumes = 0;
    };

    FakeFileSystem();

    // Adds a file or a folder, creating missing parent folders.
    void addFile(const QString& path);
    void addFolder(const QString& path);
    // Removes a file or a folder with everything in it.
    void remove(const QString& path);
    bool exists(const QString& path) const;

    // Opening, listing or searching the folder fails as for a folder without read permission.
    void setUnreadable(const QString& folder);
    // The folder disappears after `names` recording names were read from it.
    void vanishWhileReading(const QString& folder, int names);

    void setVolumes(std::vector<Volume> volumes) { volumes_ = std::move(volumes); }
    void setCurrentFolder(const QString& folder) { currentFolder_ = folder; }

    const Calls& calls() const { return calls_; }
    // The full names given to isOrdinaryFile, in order.
    const QStringList& testedFiles() const { return testedFiles_; }
    void resetCalls() {
        calls_ = Calls{};
        testedFiles_.clear();
    }

    std::unique_ptr<IFolderReader> readRecordingFiles(const QString& folder) override;
    std::optional<QString> findFile(const QString& fullName) override;
    bool isOrdinaryFile(const QString& fullName) override;
    bool isFolder(const QString& path) override;
    QStringList childFolders(const QString& folder) override;
    std::vector<Volume> volumes() override;
    QString currentFolder() override { return currentFolder_; }

private:
    friend class FakeRecordingReader;

    struct Node {
        bool folder = false;
        QStringList children;  // names, in the order they were added
    };

    static QString normalized(const QString& path);
    static QString parentOf(const QString& path);
    static QString nameOf(const QString& path);
    static QString joined(const QString& folder, const QString& name);
    void add(const QString& path, bool folder);
    bool isFolderNode(const QString& path) const;
    // Throws as the local file system does when the folder cannot be opened.
    const Node& openFolder(const QString& folder) const;

    std::map<QString, Node> nodes_;
    std::set<QString> unreadable_;
    std::map<QString, int> vanishAfter_;
    std::vector<Volume> volumes_;
    QString currentFolder_ = QStringLiteral("/");
    Calls calls_;
    QStringList testedFiles_;
};

}  // namespace corvid
