#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace corvid {

// The thread of one stage of the pipeline (the demuxer, the decoders, the presenter), owned
// by it: started when made, asked to stop by stop(), joined when destroyed. A stage declares
// it last among its members, so that the thread starts after everything it uses is made
// and is joined before any of it goes.
class WorkerThread {
public:
    // `body` runs on the thread, named `name`, until it returns; it returns soon after
    // stopping() turns true. `interrupt` wakes whatever the body may wait on; it runs on the
    // caller's thread once stopping() is true.
    WorkerThread(const char* name, std::function<void()> body, std::function<void()> interrupt);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Asks, never waits, so that an owner can ask every stage before joining any.
    void stop();
    bool stopping() const { return stopping_.load(); }

private:
    std::atomic<bool> stopping_{false};  // made before the thread that reads it
    std::function<void()> interrupt_;
    std::thread thread_;
};

}  // namespace corvid
