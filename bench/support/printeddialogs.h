#pragma once

#include "ui/dialogs.h"

#include <QString>

#include <cstdio>

// The dialog service of a benchmark: what the program would show in a box goes to the standard error, since
// nobody is there to answer; a question is answered no.
class PrintedDialogs final : public DialogService {
public:
    void failure(const QString& text) override { print(text); }
    void message(const QString& text) override { print(text); }
    void messageWithDetails(const QString& text, const QString& details) override {
        print(text + u'\n' + details);
    }
    void warning(const QString&, const QString& text) override { print(text); }
    bool confirmDelete() override { return false; }
    void applicationError(const QString& text) override { print(text); }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, QString*) override { return {}; }
    int shown = 0;

private:
    void print(const QString& text) {
        ++shown;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
};
