#pragma once

#include "ui/form.h"

#include <memory>

class AnswerReview;
class QPushButton;
class TDBGrid;
class TDBNavigator;
class QWidget;

// The pupil's results: a grid and a two-button navigator over rez, as the results filter left it, and the
// review of the answers of the result under the cursor.
class TForm5 : public Form {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;

    QWidget* Image1;
    TDBGrid* DBGrid1;
    TDBNavigator* DBNavigator1;
    QPushButton* Button1;

    void Button1Click(); // the review of the current result
    // The review's window, made at its first showing; null before.
    AnswerReview* review() const { return m_review.get(); }

private:
    std::unique_ptr<AnswerReview> m_review;
};

extern TForm5* Form5;
