#pragma once

#include <QString>

namespace corvid {

// Paths have "/" as their only separator, and a folder that already ends in one (the root)
// gets no second: "/" and "x" make "/x", never "//x".

// The folder's path with "/" appended unless it already ends in one.
QString folderPrefix(const QString& folder);
// The path of `name` inside `folder`.
QString joined(const QString& folder, const QString& name);

}  // namespace corvid
