#pragma once

#include <memory>

namespace corvid {

class FilgraphManager;

// Creates media graphs; the engine asks it for a new, empty graph on every open.
class IGraphFactory {
public:
    virtual ~IGraphFactory() = default;

    // Throws Failure when no graph can be created.
    virtual std::shared_ptr<FilgraphManager> CreateFilgraphManager() = 0;
};

}  // namespace corvid
