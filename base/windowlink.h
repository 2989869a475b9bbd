#pragma once

#include "failure.h"

#include <functional>
#include <utility>

// What a window opens in another subsystem's window, set by the start-up wiring. A link that was never set
// fails with a sentence of the program's own instead of an exception from the standard library.
class WindowLink {
public:
    WindowLink& operator=(std::function<void()> open) {
        m_open = std::move(open);
        return *this;
    }
    bool isSet() const { return static_cast<bool>(m_open); }
    void operator()() const {
        if (!m_open)
            throw Failure(QStringLiteral("Эта команда в программе не подключена: окно открыть нельзя."));
        m_open();
    }

private:
    std::function<void()> m_open;
};
