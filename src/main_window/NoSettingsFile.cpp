#include "main_window/NoSettingsFile.h"

#include <QSettings>
#include <QStandardPaths>

namespace corvid {

namespace {

void placeUserSettings(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

}  // namespace

NoSettingsFile::NoSettingsFile() {
    // A folder below a device file can never be made, not even by root: every write fails
    // quietly and every read finds nothing.
    placeUserSettings(QStringLiteral("/dev/null/corvid"));
}

NoSettingsFile::~NoSettingsFile() {
    placeUserSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

}  // namespace corvid
