#pragma once

#include <QString>

namespace corvid::test {

// How many threads of this process carry the name (as nameThisThread gave it).
int threadsNamed(const QString& name);

}  // namespace corvid::test
