#include "host/parse_thread.h"

#include <atomic>

namespace {

// Read by whichever thread reports a change, set at start-up and shut-down.
std::atomic<IParseThread*> GParseThread{nullptr};

} // namespace

IParseThread* ParseThread() {
    return GParseThread.load(std::memory_order_acquire);
}

void SetParseThread(IParseThread* Thread) {
    GParseThread.store(Thread, std::memory_order_release);
}
