#include "platform/GraphFactory.h"

#include <utility>

#include "platform/FfmpegGraphFactory.h"

namespace corvid {

namespace {

std::shared_ptr<IGraphFactory>& installed() {
    static std::shared_ptr<IGraphFactory> factory = std::make_shared<FfmpegGraphFactory>();
    return factory;
}

}  // namespace

std::shared_ptr<IGraphFactory> GraphFactory::current() {
    return installed();
}

void GraphFactory::setCurrent(std::shared_ptr<IGraphFactory> factory) {
    installed() = std::move(factory);
}

GraphFactory::Scoped::Scoped(std::shared_ptr<IGraphFactory> factory) : previous_(current()) {
    setCurrent(std::move(factory));
}

GraphFactory::Scoped::~Scoped() {
    setCurrent(std::move(previous_));
}

}  // namespace corvid
