#pragma once

#include <QString>

namespace corvid::test {

// How many threads of this process carry the name (as nameThisThread gave it).
int threadsNamed(const QString& name);
// How often the threads of this name went to sleep of their own accord (waits, naps), summed:
// each is a wake-up to come.
long sleepsOfThreadsNamed(const QString& name);

}  // namespace corvid::test
