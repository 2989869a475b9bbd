#pragma once

#include "attemptlog.h"
#include "data/topicsettings.h"
#include "testwalk.h"
#include "ui/form.h"
#include "ui/groupbox.h"

#include <QVariant>

#include <optional>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QuestionMediaPanel;
class RadioGroup;
class TDBText;

// The timed test: walks the current topic's questions one way, counts the chosen answers that are marked
// correct, and stores one result row when the pupil finishes or the countdown runs out.
class TForm3 : public Form {
    Q_OBJECT
public:
    static constexpr int TestSeconds = 900;

    explicit TForm3(QWidget* parent = nullptr);

    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label3;
    TGroupBox* GroupBox1;
    TDBText* DBText1;
    QuestionMediaPanel* MediaPanel1; // the current question's picture and sound
    RadioGroup* RadioGroup1;
    QFrame* Panel1;
    QLabel* Label1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QTimer* Timer1;

    // Handlers; each throws Failure, and the controls reach them through guarded().
    void FormCreate();
    void Button1Click(); // the start command
    void Timer1Timer();  // the one-second tick
    void RadioGroup1Click();
    void Button2Click(); // the next-question command
    void Button3Click(); // the finish command

    int countdown() const { return m_countdown; }
    int questionCounter() const { return m_questions; }
    int correctCounter() const { return m_correct; }
    // Whether this test's result row has been stored (the next showing then starts a fresh test).
    bool resultStored() const { return m_stored; }
    // Its pupil signed out: a test in progress ends and stores its row as at the time-out, and the window
    // is made fresh for the next pupil (even when storing failed).
    void pupilSignedOut();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void loadAnswers();
    void showQuestionMedia();
    void orderTabs();
    void endWalk();
    void storeResult();
    void startFreshTest();
    void setLabel1(const QString& text);
    void takeOwner();
    void continueWalk();

    // Whose test it is: the pupil, topic and class current when it started. The row is theirs, whoever and
    // whatever is current when it is stored (the grade counts the walk's questions; as stored, quest's as
    // it stands).
    struct Owner {
        QVariant pupil;
        QVariant topic;
        QVariant klass;
    };
    static Owner currentOwner();
    // Appends the result row of `owner`'s test.
    static void postRow(const Owner& owner, int correct, int grade);
    std::optional<Owner> m_owner;
    TopicSettings m_settings; // the topic's, read when the test starts
    TestWalk m_walk;
    AttemptLog m_log; // on a file; the lab server keeps its own

    int m_countdown = 0;
    int m_questions = 0;
    int m_correct = 0;
    bool m_stored = false;
    bool m_serverGrades = false; // the lab server grades this test
    // The plays of the clip of the question on screen: counted in the window, and taken from the log for a
    // test taken up again, so that neither a restart nor the window shown again gives plays back.
    struct Plays {
        int question = 0;
        int played = 0;
    };
    Plays m_plays;
    int currentQuestion() const;
    void countPlay();
};

extern TForm3* Form3;
