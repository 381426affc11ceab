#pragma once

namespace corvid {

// Installs the real graph factory, file system and file chooser: what the program uses
// unless a test installs fakes of its own.
void installDefaultServices();

}  // namespace corvid
