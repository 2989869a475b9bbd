#pragma once

#include "bank.h"
#include "html.h"

#include <QPair>

// A question as a reader found it, before the program's rules decide whether it can take it: what both
// readers share.
namespace bank::draft {

struct Answer {
    QString text;
    double fraction = 0; // per cent of the mark: 100 the correct one, 0 or less a wrong one
};

struct Draft {
    QString title;
    int line = 0;
    QString topic;
    QString text;
    QVector<Answer> answers;
    Media media;
    QString problem; // set by the reader when it already knows the question cannot be taken
};

// Takes the draft into `contents`: as a question, or as a skipped one with the first rule it breaks.
void finish(const Draft& draft, Contents* contents);
// The first rule of the program the draft breaks, empty when none.
QString problem(const Draft& draft);

// The files a question carries (name, bytes) and the HTML's references to them, as media: a file that looks
// like a sound is checked as one, any other as a picture. A sentence for the teacher when they cannot be (a
// file `check` refuses, two pictures…), empty when they can.
QString takeMedia(const QVector<QPair<QString, QByteArray>>& files,
                  const QVector<html::Reference>& references, const MediaCheck& check, Media* media);

// The topic a category's path names: its last level ("$course$/top/Музыка/Тема" gives "Тема", "//" in a
// name is a "/"); empty when the path names only a context or its top.
QString topicOfCategory(const QString& path);

// How the list names a question: its title, else the beginning of its text.
QString titleOf(const QString& title, const QString& text);

} // namespace bank::draft
