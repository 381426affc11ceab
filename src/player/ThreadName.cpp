#include "player/ThreadName.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace corvid {

void nameThisThread(const char* name) {
    constexpr std::size_t kLongest = 15;  // the kernel's limit, without the terminator
    const std::string kept(name, std::min(std::strlen(name), kLongest));
    pthread_setname_np(pthread_self(), kept.c_str());
}

}  // namespace corvid
