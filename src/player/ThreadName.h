#pragma once

namespace corvid {

// Names the calling thread as a profiler, a debugger and top show it ("corvid-demux");
// at most 15 characters are kept.
void nameThisThread(const char* name);

}  // namespace corvid
