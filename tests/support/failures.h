#pragma once

#include "base/failure.h"

#include <QString>

// The text of the failure an action throws; empty when it throws none.
template <typename F> QString failureText(F&& action) {
    try {
        action();
    } catch (const Failure& f) {
        return f.text();
    }
    return {};
}
