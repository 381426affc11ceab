#include "platform/files/FolderPath.h"

namespace corvid {

QString folderPrefix(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString joined(const QString& folder, const QString& name) {
    return folderPrefix(folder) + name;
}

}  // namespace corvid
