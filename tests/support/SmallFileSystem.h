#pragma once

#include <QString>
#include <QStringList>

namespace corvid::test {

// A file system of a few kilobytes mounted (tmpfs) on a new folder for the life of the
// object, so that writing more than fits fails as on a full disk. Mounting needs root;
// where it fails, mounted() is false and error() says why.
class SmallFileSystem {
public:
    SmallFileSystem(const QString& folder, const QString& size);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const QString& error() const { return error_; }
    QString filePath(const QString& name) const;
    // Every file on it, hidden ones too.
    QStringList files() const;

private:
    QString folder_;
    bool mounted_ = false;
    QString error_;
};

}  // namespace corvid::test
