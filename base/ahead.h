#pragma once

#include <functional>
#include <future>
#include <memory>
#include <type_traits>
#include <utility>

// Work done ahead of need on one background thread, one piece after another in the order queued, while the
// main thread goes on: the start-up has a core to spare for what its windows will wait for.
namespace ahead {

void queue(std::function<void()> work);
// Waits until everything queued is done; the program calls it before its application object goes.
void waitForAll();

// Queues `work`; the future gives its result, or throws its failure.
template <typename Work> std::future<std::invoke_result_t<Work>> compute(Work work) {
    using Result = std::invoke_result_t<Work>;
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
    std::future<Result> result = task->get_future();
    queue([task] { (*task)(); });
    return result;
}

} // namespace ahead
