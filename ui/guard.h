#pragma once

#include "base/failure.h"
#include "dialogs.h"

#include <new>
#include <utility>

// Runs one handler; a failure ends it and reaches the default failure report, never the event loop.
template <typename F> bool guarded(F&& handler) {
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const Failure& f) {
        reportFailure(f.text());
    } catch (const std::bad_alloc&) {
        reportFailure(QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        reportFailure(QString::fromUtf8(e.what()));
    } catch (...) {
        reportFailure(QStringLiteral("Unknown failure"));
    }
    return false;
}

// Connects a signal to a member handler through `guarded`.
#define GUARD(obj, method) [obj]() { guarded([obj]() { (obj)->method(); }); }
