#pragma once

#include "app/startup.h"

#include <QtTest>

// A test executable's main() under the program's own application object, whose notify() is the last safety
// net for failures that escape a handler.
#define ESUN_TEST_MAIN(TestObject)                                                                           \
    int main(int argc, char** argv) {                                                                        \
        Application app(argc, argv);                                                                         \
        TestObject test;                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
