#pragma once

#include <memory>

#include "platform/IGraphFactory.h"

namespace corvid {

// The process-wide graph factory: the FFmpeg player core unless a test installed another.
class GraphFactory {
public:
    static std::shared_ptr<IGraphFactory> current();
    static void setCurrent(std::shared_ptr<IGraphFactory> factory);

    // Installs a factory for the lifetime of the scope (tests).
    class Scoped {
    public:
        explicit Scoped(std::shared_ptr<IGraphFactory> factory);
        ~Scoped();
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        std::shared_ptr<IGraphFactory> previous_;
    };
};

}  // namespace corvid
