#pragma once

#include "failure.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <clocale>
#include <cstdio>

// What the program's command-line tools share.
namespace tool {

// One line on `stream`, in the system's encoding.
inline void say(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

// The whole of a tool's main(): `parse` makes the command of the arguments (an empty optional when they are
// none of the tool's forms: the usage, exit code 2), `run` carries it out and gives the exit code; a Failure
// is one line after the tool's name, exit code 1. libpq's own messages stay in English, so that the failures
// it reports are told apart and said in Russian.
template <typename Parse, typename Run>
int main(int argc, char** argv, const char* name, const char* usage, Parse parse, Run run) {
    const QCoreApplication application(argc, argv);
    std::setlocale(LC_MESSAGES, "C");
    const auto command = parse(QCoreApplication::arguments().mid(1));
    if (!command) {
        say(stderr, QString::fromUtf8(usage));
        return 2;
    }
    try {
        return run(*command);
    } catch (const Failure& failure) {
        say(stderr, QString::fromUtf8(name) + QStringLiteral(": ") + failure.text());
        return 1;
    }
}

} // namespace tool
