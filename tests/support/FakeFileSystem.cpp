#include "support/FakeFileSystem.h"

#include "util/Failure.h"

namespace corvid {

namespace {

Failure fakeFailure(const QString& text) {
    return Failure(Failure::FileSystem, text.toStdString());
}

bool isRecordingName(const QString& name) {
    return !name.startsWith(u'.') && name.endsWith(QStringLiteral(".asf"), Qt::CaseInsensitive);
}

}  // namespace

class FakeRecordingReader : public IFolderReader {
public:
    FakeRecordingReader(FakeFileSystem& fs, const QString& folder, QStringList names)
        : fs_(fs), folder_(folder), names_(std::move(names)) {}

    std::optional<QString> next() override {
        const auto vanish = fs_.vanishAfter_.find(folder_);
        if (vanish != fs_.vanishAfter_.end() && returned_ >= vanish->second) {
            fs_.vanishAfter_.erase(vanish);
            fs_.remove(folder_);
        }
        if (!fs_.isFolderNode(folder_)) {
            throw fakeFailure(
                QStringLiteral("The folder \"%1\" was removed while it was being read.")
                    .arg(folder_));
        }
        while (index_ < names_.size()) {
            const QString& name = names_[index_++];
            const QString path = FakeFileSystem::joined(folder_, name);
            const auto node = fs_.nodes_.find(path);
            if (node == fs_.nodes_.end() || node->second.folder || !isRecordingName(name)) {
                continue;
            }
            ++returned_;
            ++fs_.calls_.namesRead;
            return name;
        }
        return std::nullopt;
    }

private:
    FakeFileSystem& fs_;
    QString folder_;
    QStringList names_;
    qsizetype index_ = 0;
    int returned_ = 0;
};

FakeFileSystem::FakeFileSystem() {
    nodes_[QStringLiteral("/")].folder = true;
}

QString FakeFileSystem::normalized(const QString& path) {
    QString result = path;
    while (result.size() > 1 && result.endsWith(u'/')) result.chop(1);
    return result;
}

QString FakeFileSystem::parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString FakeFileSystem::nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString FakeFileSystem::joined(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

bool FakeFileSystem::isFolderNode(const QString& path) const {
    const auto node = nodes_.find(normalized(path));
    return node != nodes_.end() && node->second.folder;
}

void FakeFileSystem::add(const QString& rawPath, bool folder) {
    const QString path = normalized(rawPath);
    if (nodes_.count(path) != 0) return;
    const QString parent = parentOf(path);
    if (nodes_.count(parent) == 0) add(parent, true);
    nodes_[parent].children.append(nameOf(path));
    nodes_[path].folder = folder;
}

void FakeFileSystem::addFile(const QString& path) {
    add(path, false);
}

void FakeFileSystem::addFolder(const QString& path) {
    add(path, true);
}

void FakeFileSystem::remove(const QString& rawPath) {
    const QString path = normalized(rawPath);
    const auto node = nodes_.find(path);
    if (node == nodes_.end() || path == "/") return;
    for (const QString& child : QStringList(node->second.children)) remove(joined(path, child));
    nodes_.erase(path);
    nodes_[parentOf(path)].children.removeOne(nameOf(path));
}

bool FakeFileSystem::exists(const QString& path) const {
    return nodes_.count(normalized(path));
}

void FakeFileSystem::setUnreadable(const QString& folder) {
    unreadable_.insert(normalized(folder));
}

void FakeFileSystem::vanishWhileReading(const QString& folder, int names) {
    vanishAfter_[normalized(folder)] = names;
}

const FakeFileSystem::Node& FakeFileSystem::openFolder(const QString& rawFolder) const {
    const QString folder = normalized(rawFolder);
    const auto node = nodes_.find(folder);
    if (node == nodes_.end() || !node->second.folder) {
        throw fakeFailure(
            QStringLiteral("The folder \"%1\" does not exist (any more).").arg(folder));
    }
    if (unreadable_.count(folder) != 0) {
        throw fakeFailure(
            QStringLiteral("The folder \"%1\" cannot be read: permission denied.").arg(folder));
    }
    return node->second;
}

std::unique_ptr<IFolderReader> FakeFileSystem::readRecordingFiles(const QString& folder) {
    const Node& node = openFolder(folder);
    ++calls_.readersOpened;
    return std::make_unique<FakeRecordingReader>(*this, normalized(folder), node.children);
}

std::optional<QString> FakeFileSystem::findFile(const QString& fullName) {
    ++calls_.findFile;
    const QString folder = parentOf(fullName);
    const QString name = nameOf(fullName);
    const Node& node = openFolder(folder);
    if (name.isEmpty() || name.startsWith(u'.')) return std::nullopt;
    for (const QString& child : node.children) {
        ++calls_.entriesScannedByFindFile;
        const QString path = joined(folder, child);
        if (child.compare(name, Qt::CaseInsensitive) == 0 && !nodes_.at(path).folder) return path;
    }
    return std::nullopt;
}

bool FakeFileSystem::isOrdinaryFile(const QString& fullName) {
    ++calls_.isOrdinaryFile;
    testedFiles_.append(fullName);
    const auto node = nodes_.find(normalized(fullName));
    return node != nodes_.end() && !node->second.folder && !nameOf(fullName).startsWith(u'.');
}

bool FakeFileSystem::isFolder(const QString& path) {
    ++calls_.isFolder;
    return isFolderNode(path);
}

QStringList FakeFileSystem::childFolders(const QString& folder) {
    ++calls_.childFolders;
    const Node& node = openFolder(folder);
    QStringList names;
    for (const QString& child : node.children) {
        if (!child.startsWith(u'.') && nodes_.at(joined(normalized(folder), child)).folder) {
            names.append(child);
        }
    }
    return names;
}

std::vector<Volume> FakeFileSystem::volumes() {
    ++calls_.volumes;
    std::vector<Volume> present;
    for (const Volume& volume : volumes_) {
        if (isFolderNode(volume.mountPoint)) present.push_back(volume);
    }
    return present;
}

}  // namespace corvid
