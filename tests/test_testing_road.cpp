#include "app/form14.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "data/widgets/dblookupcombobox.h"
#include "signin/form1.h"
#include "testing/form3.h"
#include "testing/form5.h"
#include "testing/form7.h"
#include "testing/radiogroup.h"
#include "tests/support/controls.h"
#include "tests/support/instances.h"
#include "tests/support/testbackend.h"
#include "ui/bitbtn.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

// The pupil's whole road through the running program: sign in, pick a topic, take the test, look at the
// results; then a second test on another topic in the same run.
class TestingRoadTest : public QObject {
    Q_OBJECT

private:
    // Takes the test on the topic chosen in the topic window, answering in order, and finishes it.
    static void takeTest(const QStringList& answers, QString* endText) {
        later([answers, endText]() {
            QTest::mouseClick(Form3->Button1, Qt::LeftButton);
            for (const QString& answer : answers) {
                chooseAnswer(answer);
                QTest::mouseClick(Form3->Button2, Qt::LeftButton);
            }
            *endText = Form3->Label1->text();
            QTest::mouseClick(Form3->Button3, Qt::LeftButton);
            if (Form3->isVisible()) {
                Form3->close();
                QFAIL("\"Закончить\" left the test window open");
            }
        });
        QTest::mouseClick(Form7->Button1, Qt::LeftButton);
        QVERIFY(!Form3->isVisible());
    }

    // The rows of rez as the results grid lists them: topic, points, grade, class; sorted.
    static QStringList shownRows() {
        const Table* rez = DataModule11->rez;
        QStringList rows;
        for (int row = 0; row < rez->recordCount(); ++row) {
            QStringList cells;
            for (const char* field : {"Тема", "Баллы", "Оценка", "Класс"})
                cells << rez->displayTextAt(row, rez->fieldPos(QString::fromUtf8(field)));
            rows << cells.join(QLatin1Char(' '));
        }
        rows.sort();
        return rows;
    }

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    void pupilTakesTwoTestsAndSeesBothResults() {
        ProgramInstances program(ProgramInstances::Query);
        later([]() {
            QTest::mouseClick(Form1->Edit2, Qt::LeftButton);
            typeText(Form1->Edit2, QStringLiteral("Соколов"));
            typeText(Form1->Edit1, QStringLiteral("do-re-mi"));
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
        });
        QVERIFY(startup::signIn());
        Form14->showModeless();

        QTest::mouseClick(Form14->BitBtn3, Qt::LeftButton);
        QVERIFY(Form7->isVisible());
        Form7->DBLookupComboBox1->setKeyValue(1);
        QString endText;
        takeTest({QStringLiteral("5"), QStringLiteral("Диез")}, &endText);
        QCOMPARE(endText, QStringLiteral("Тест закончен, Набранные баллы : 2"));

        QTest::mouseClick(Form14->BitBtn5, Qt::LeftButton);
        QVERIFY(Form5->isVisible());
        Table* rez = DataModule11->rez;
        QCOMPARE(rez->filterText(), QStringLiteral("id_ученика ='2'"));
        // The sample's earlier result and the new one, with the pupil's own class.
        QCOMPARE(shownRows(), (QStringList{"Ключи 1 3 5Б", "Нотная грамота 2 5 5Б"}));

        // A second test on another topic in the same run.
        Form7->DBLookupComboBox1->setKeyValue(2);
        takeTest({QStringLiteral("Басовый")}, &endText);
        QCOMPARE(endText, QStringLiteral("Тест закончен, Набранные баллы : 0"));
        QTest::mouseClick(Form7->Button2, Qt::LeftButton);
        QCOMPARE(shownRows(), (QStringList{"Ключи 0 2 5Б", "Ключи 1 3 5Б", "Нотная грамота 2 5 5Б"}));
        QCOMPARE(program.dialogs.failures(), QStringList());
    }
};

QTEST_MAIN(TestingRoadTest)
#include "test_testing_road.moc"
