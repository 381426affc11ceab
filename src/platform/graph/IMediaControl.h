#pragma once

#include <string>

namespace corvid {

// Loading and transport of one media graph. Every call throws Failure when it fails.
class IMediaControl {
public:
    virtual ~IMediaControl() = default;

    // Builds the playback graph for a file; synchronous. Throws when the file cannot
    // be opened or has no stream that can be decoded.
    virtual void RenderFile(const std::string& fileName) = 0;
    virtual void Run() = 0;
    virtual void Pause() = 0;
    // Holds the graph at position 0 with the first picture shown.
    virtual void Stop() = 0;
};

}  // namespace corvid
