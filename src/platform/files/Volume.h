#pragma once

#include <QString>

namespace corvid {

// A mounted volume: what the drive list offers as a "drive".
struct Volume {
    QString mountPoint;
    QString device;
    QString type;

    bool operator==(const Volume&) const = default;
};

}  // namespace corvid
