#include "base/failure.h"
#include "testing/gradescale.h"

#include <QtTest>

// The grade scale and the truncated percentage of correct answers.
class GradeScaleTest : public QObject {
    Q_OBJECT

private slots:
    void percentageAndGrade_data() {
        QTest::addColumn<int>("correct");
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("percentage");
        QTest::addColumn<int>("grade");
        QTest::newRow("0 of 5") << 0 << 5 << 0 << 2;
        QTest::newRow("1 of 3") << 1 << 3 << 33 << 2;
        QTest::newRow("2 of 3") << 2 << 3 << 66 << 3;
        QTest::newRow("3 of 4") << 3 << 4 << 75 << 3;
        QTest::newRow("10 of 13") << 10 << 13 << 76 << 4;
        QTest::newRow("5 of 6") << 5 << 6 << 83 << 4;
        QTest::newRow("6 of 7") << 6 << 7 << 85 << 4;
        QTest::newRow("13 of 15") << 13 << 15 << 86 << 5;
        QTest::newRow("7 of 7") << 7 << 7 << 100 << 5;
        QTest::newRow("1 of 1") << 1 << 1 << 100 << 5;
        // Whole percentages stay whole, never one below (29 / 100 × 100 is 28.999… in binary).
        QTest::newRow("29 of 100") << 29 << 100 << 29 << 2;
        QTest::newRow("29 of 50") << 29 << 50 << 58 << 2;
        QTest::newRow("57 of 100") << 57 << 100 << 57 << 2;
        // Several records with one correct text can count past the questions: still full marks.
        QTest::newRow("4 of 3") << 4 << 3 << 133 << 5;
        QTest::newRow("2 of 1") << 2 << 1 << 200 << 5;
    }

    void percentageAndGrade() {
        QFETCH(int, correct);
        QFETCH(int, questions);
        QFETCH(int, percentage);
        QFETCH(int, grade);
        QCOMPARE(gradescale::percentage(correct, questions), percentage);
        QCOMPARE(gradescale::grade(percentage), grade);
    }

    void scaleBoundaries() {
        const QList<QPair<int, int>> table{{0, 2},  {65, 2}, {66, 3},  {75, 3}, {76, 4},
                                           {85, 4}, {86, 5}, {100, 5}, {101, 5}};
        for (const auto& [percentage, grade] : table)
            QCOMPARE(gradescale::grade(percentage), grade);
    }

    void topicWithoutQuestionsFailsAsTheDivision() {
        try {
            gradescale::percentage(0, 0);
            QFAIL("0 of 0 must fail");
        } catch (const Failure& f) {
            QCOMPARE(f.text(), QStringLiteral("Invalid floating point operation."));
        }
        try {
            gradescale::percentage(2, 0);
            QFAIL("2 of 0 must fail");
        } catch (const Failure& f) {
            QCOMPARE(f.text(), QStringLiteral("Floating point division by zero."));
        }
    }
};

QTEST_APPLESS_MAIN(GradeScaleTest)
#include "test_testing_grades.moc"
