#pragma once

#include <QString>

// Reads a value between quotes starting at text[at] (the opening quote, ' or "), in which a doubled quote
// stands for one; `at` ends after the closing quote. False when the text ends before the closing quote.
inline bool readQuoted(const QString& text, qsizetype& at, QString* value) {
    const QChar quote = text[at++];
    value->clear();
    while (at < text.size()) {
        if (text[at] == quote) {
            if (at + 1 < text.size() && text[at + 1] == quote) {
                *value += quote;
                at += 2;
                continue;
            }
            ++at;
            return true;
        }
        *value += text[at++];
    }
    return false;
}
