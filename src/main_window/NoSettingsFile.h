#pragma once

namespace corvid {

// While it lives, the toolkit's user settings are neither read nor written. Qt's own file
// dialog otherwise writes the folder last visited, its history and its sidebar to the user's
// configuration folder each time a dialog closes, and reads them back at the next start; Corvid
// remembers nothing across starts and writes no file of its own.
class NoSettingsFile {
public:
    NoSettingsFile();
    // Gives the settings back the user's configuration folder.
    ~NoSettingsFile();
    NoSettingsFile(const NoSettingsFile&) = delete;
    NoSettingsFile& operator=(const NoSettingsFile&) = delete;
};

}  // namespace corvid
