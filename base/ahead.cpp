#include "ahead.h"

#include <QThreadPool>

namespace {

struct OneThread : QThreadPool {
    OneThread() { setMaxThreadCount(1); }
};

QThreadPool& pool() {
    static OneThread thread;
    return thread;
}

} // namespace

void ahead::queue(std::function<void()> work) {
    pool().start(std::move(work));
}

void ahead::waitForAll() {
    pool().waitForDone();
}
