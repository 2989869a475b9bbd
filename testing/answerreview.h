#pragma once

#include "data/review.h"
#include "ui/form.h"

class QLabel;
class QPushButton;
class QTableWidget;

// The pupil's review of one stored test: its questions and his answers, marked and with the correct answers
// as far as the topic allows. Shown from the results window for the result under its cursor.
class AnswerReview : public Form {
    Q_OBJECT
public:
    explicit AnswerReview(QWidget* parent = nullptr);

    // Shows `sheet` (of a review that shows something) under `heading`.
    void showSheet(const QString& heading, const review::Sheet& sheet);

    QLabel* Label1;
    QTableWidget* Grid;
    QPushButton* Button1;
};
