#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <optional>

class Connection;

// The teacher's item analysis of a topic: how each question of its stored tests was answered, from the
// answers the test window logged. A database without the log gives figures of no tests.
namespace itemanalysis {

// One logged answer of a test whose result was stored.
struct LoggedAnswer {
    int attempt = 0;
    int question = 0;
    std::optional<int> answerKey; // the chosen answer's key; none where the log kept only its text
    QString text;                 // the chosen answer's text
    bool correct = false;
};

struct Question {
    int key = 0;
    QString text;
};

// An answer the topic's question offers now.
struct OfferedAnswer {
    int key = 0;
    int question = 0;
    QString text;
    bool correct = false;
};

struct Choice {
    QString text;
    bool correct = false;
    int chosen = 0;
    bool offered = true; // false: chosen in a test, but no longer among the question's answers
};

struct QuestionFigures {
    int question = 0;
    QString text;
    int answered = 0;
    int correct = 0;
    // The share of correct answers among those given; none when nobody answered.
    std::optional<double> facility;
    // The correlation of the question's score (1 correct, 0 not) with the rest of the test's score (the
    // correct answers of the same test to its other questions), over the tests that answered it; none when
    // either score does not vary.
    std::optional<double> discrimination;
    QVector<Choice> choices;      // the offered answers in key order, then answers no longer offered
    bool mostFail = false;        // more than half of those who answered were wrong
    bool wrongBeatsRight = false; // a wrong answer was chosen more often than the correct ones together
    bool flagged() const { return mostFail || wrongBeatsRight; }
};

struct Figures {
    int tests = 0; // stored tests with at least one logged answer
    int answers = 0;
    QVector<QuestionFigures> questions; // the topic's questions in key order, then logged ones since deleted
};

Figures analyse(const QVector<Question>& questions, const QVector<OfferedAnswer>& offered,
                const QVector<LoggedAnswer>& log);

// Reads the topic's questions and answers and the logged answers of its stored tests (on the lab server
// through its function for teachers) and analyses them. Failures throw Failure.
Figures analyseTopic(const Connection& connection, int topic);

// Grades counted per group of results, for the chart.
enum class GroupBy { Class, Topic, Month };
struct GradeRow {
    QString category;
    std::array<int, 4> counts{}; // grades 2, 3, 4, 5
};
struct StoredResult {
    int topic = 0;
    QString className;
    QString topicName;
    QString month; // "yyyy-MM"
    int grade = 0;
};
// Every stored result the connection shows (a teacher's sign-in on the lab server shows all), with its
// class's and topic's names.
QVector<StoredResult> readResults(const Connection& connection);
// Groups in the order of their names (months in time order); grades outside 2 to 5 are left out.
QVector<GradeRow> countGrades(const QVector<StoredResult>& results, GroupBy by);

// Display helpers shared by the window, the report and the export.
QString percentText(std::optional<double> share); // "75 %", "—"
QString numberText(std::optional<double> value);  // "0,42", "—"
QString choicesText(const QVector<Choice>& choices);
QString flagText(const QuestionFigures& figures);

} // namespace itemanalysis
