#include "startup.h"

#include <QApplication>

int runProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
