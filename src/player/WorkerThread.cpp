#include "player/WorkerThread.h"

#include <utility>

#include "player/ThreadName.h"

namespace corvid {

WorkerThread::WorkerThread(const char* name, std::function<void()> body,
                           std::function<void()> interrupt)
    : interrupt_(std::move(interrupt)), thread_([name, body = std::move(body)] {
          nameThisThread(name);
          body();
      }) {}

WorkerThread::~WorkerThread() {
    stop();
    thread_.join();
}

void WorkerThread::stop() {
    stopping_ = true;
    if (interrupt_) interrupt_();
}

}  // namespace corvid
