#include "app/form14.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "materials/form13.h"
#include "materials/form2.h"
#include "signin/form1.h"
#include "testing/form5.h"
#include "testing/form7.h"
#include "tests/support/instances.h"
#include "tests/support/sanitizers.h"
#include "tests/support/testmain.h"
#include "ui/bitbtn.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

// The main window: its controls as laid out, its four commands, and what pressing them again does.
class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void windowItself() {
        ProgramInstances program;
        QCOMPARE(Form14->windowTitle(), QStringLiteral("ЭСУН по дисциплине \"Музыка\" "));
        QCOMPARE(Form14->size(), QSize(652, 583));
        QCOMPARE(Form14->pos(), QPoint(157, 136));
        QCOMPARE(Form14->minimumSize(), Form14->maximumSize());
        QCOMPARE(Form14->palette().color(QPalette::Window),
                 QApplication::palette("QMenu").color(QPalette::Window));
        QVERIFY(Form14->autoFillBackground());
        QCOMPARE(Form14->font().pixelSize(), 11);
        QVERIFY(!Form14->isVisible());
    }

    // Start-up wires every link between windows; a window made on its own has buttons that fail in a
    // sentence.
    void windowLinks() {
        {
            ProgramInstances program;
            for (const WindowLink* link :
                 {&Form14->showStudyMaterials, &Form14->showTopicChoice, &Form14->showVideoLessons,
                  &Form14->showOwnResults, &Form2->showTopicChoice, &Form2->showOwnResults,
                  &Form1->showTeacherWindow, &Form1->showPupilWindow})
                QVERIFY(link->isSet());
        }
        RecordingDialogs dialogs;
        TForm14 alone;
        alone.showModeless();
        QTest::mouseClick(alone.BitBtn3, Qt::LeftButton);
        QCOMPARE(dialogs.failures(),
                 QStringList{QStringLiteral("Эта команда в программе не подключена: окно открыть нельзя.")});
    }

    void labels_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("italic");
        QTest::newRow("Label5") << "Label5"
                                << "Дорогой ученик!!! " << QRect(208, 8, 146, 23) << 19 << true;
        QTest::newRow("Label6") << "Label6"
                                << "Хочу познакомить с электронным средством учебного назначения!"
                                << QRect(48, 48, 555, 23) << 19 << true;
        QTest::newRow("Label7") << "Label7"
                                << "Для этого Нажимай на разделы, с которыми хочешь познакомиться!"
                                << QRect(48, 80, 566, 23) << 19 << true;
        QTest::newRow("Label1") << "Label1"
                                << "Материалы для изучения " << QRect(200, 176, 312, 33) << 29 << false;
        QTest::newRow("Label2") << "Label2"
                                << "Тестирование" << QRect(200, 312, 168, 33) << 29 << false;
        QTest::newRow("Label4") << "Label4"
                                << "Видеоуроки" << QRect(208, 456, 145, 33) << 29 << false;
    }
    void labels() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, place);
        QFETCH(int, pixelSize);
        QFETCH(bool, italic);
        ProgramInstances program;
        auto* label = Form14->findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->geometry(), place);
        QCOMPARE(label->font().family(), QStringLiteral("Liberation Sans Narrow"));
        QCOMPARE(label->font().pixelSize(), pixelSize);
        QVERIFY(label->font().bold());
        QCOMPARE(label->font().italic(), italic);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(label->focusPolicy() == Qt::NoFocus);
    }

    void pictureButtons() {
        ProgramInstances program;
        const QList<QPair<TBitBtn*, QRect>> buttons{{Form14->BitBtn4, {32, 128, 153, 121}},
                                                    {Form14->BitBtn3, {24, 272, 161, 121}},
                                                    {Form14->BitBtn1, {24, 424, 161, 121}},
                                                    {Form14->BitBtn5, {488, 536, 147, 41}}};
        for (const auto& [button, place] : buttons) {
            QCOMPARE(button->geometry(), place);
            QCOMPARE(Form14->findChild<TBitBtn*>(button->objectName()), button);
        }
        QCOMPARE(Form14->BitBtn4->glyph().size(), QSize(153, 129));
        QCOMPARE(Form14->BitBtn3->glyph().size(), QSize(153, 129));
        QVERIFY(Form14->BitBtn4->glyph().toImage() != Form14->BitBtn3->glyph().toImage());
        QCOMPARE(Form14->BitBtn1->glyph().size(), QSize(246, 138));
        QCOMPARE(Form14->BitBtn5->glyph().size(), QSize(32, 32));
        for (TBitBtn* b : {Form14->BitBtn4, Form14->BitBtn3, Form14->BitBtn1})
            QVERIFY(b->text().isEmpty());
        QCOMPARE(Form14->BitBtn5->text(), QStringLiteral("РЕЗУЛЬТАТ ТЕСТА!"));
        const QFont f = Form14->BitBtn5->font();
        QCOMPARE(f.family(), QStringLiteral("Liberation Sans Narrow"));
        QCOMPARE(f.pixelSize(), 13);
        QVERIFY(f.bold() && !f.italic());
        QCOMPARE(Form14->BitBtn5->palette().color(QPalette::ButtonText), QColor(Qt::black));
    }

    void tabOrder() {
        ProgramInstances program;
        QCOMPARE(nextTabStop(Form14->BitBtn1), Form14->BitBtn3);
        QCOMPARE(nextTabStop(Form14->BitBtn3), Form14->BitBtn4);
        QCOMPARE(nextTabStop(Form14->BitBtn4), Form14->BitBtn5);
        Form14->showModeless();
        QVERIFY(QTest::qWaitForWindowActive(Form14));
        // Opening puts the focus on the first control in the tab order.
        QCOMPARE(Form14->focusWidget(), Form14->BitBtn1);
        for (QWidget* expected :
             {static_cast<QWidget*>(Form14->BitBtn3), static_cast<QWidget*>(Form14->BitBtn4),
              static_cast<QWidget*>(Form14->BitBtn5)}) {
            QTest::keyClick(Form14->focusWidget(), Qt::Key_Tab);
            QCOMPARE(Form14->focusWidget(), expected);
        }
    }

    void commandsShowTheirWindows() {
        ProgramInstances program;
        Form14->showModeless();
        QTest::mouseClick(Form14->BitBtn4, Qt::LeftButton);
        QVERIFY(Form2->isVisible());
        QTest::mouseClick(Form14->BitBtn3, Qt::LeftButton);
        QVERIFY(Form7->isVisible());
        QTest::mouseClick(Form14->BitBtn1, Qt::LeftButton);
        QVERIFY(Form13->isVisible());
        QVERIFY(Form14->isVisible());
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    void pressingAPictureButtonTwiceShowsTheWindowOnce() {
        ProgramInstances program;
        Form14->showModeless();
        const QList<QPair<TBitBtn*, Form*>> commands{
            {Form14->BitBtn4, Form2}, {Form14->BitBtn3, Form7}, {Form14->BitBtn1, Form13}};
        for (const auto& [button, window] : commands) {
            QSignalSpy shown(window, &Form::shown);
            QTest::mouseClick(button, Qt::LeftButton);
            window->move(window->pos() + QPoint(5, 5)); // the user moved it: nothing gets reset
            const QPoint place = window->pos();
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(shown.count(), 1);
            QVERIFY(window->isVisible());
            QCOMPARE(window->pos(), place);
        }
    }

    void resultsOfTheCurrentPupil() {
        ProgramInstances program;
        Table* ych = DataModule11->ych;
        Table* rez = DataModule11->rez;
        ych->setFilterText(QStringLiteral("Фамилия ='Петрова'"));
        ych->setFiltered(true);
        Form14->showModeless();
        QTest::mouseClick(Form14->BitBtn5, Qt::LeftButton);
        QVERIFY(Form5->isVisible());
        QVERIFY(rez->filtered());
        QCOMPARE(rez->recordCount(), 2); // Петрова's two results
        for (int row = 0; row < rez->recordCount(); ++row)
            QCOMPARE(rez->valueAt(row, 8).toInt(), 1);
    }

    void pressingResultsAgainKeepsTheResultsCursor() {
        ProgramInstances program;
        DataModule11->ych->setFilterText(QStringLiteral("Фамилия ='Петрова'"));
        DataModule11->ych->setFiltered(true);
        Table* rez = DataModule11->rez;
        Form14->showModeless();
        QTest::mouseClick(Form14->BitBtn5, Qt::LeftButton);
        QCOMPARE(rez->recordCount(), 2);
        rez->next(); // the pupil looked at his second result
        const QString filter = rez->filterText();
        Form14->raise();
        QSignalSpy shown(Form5, &Form::shown);
        QTest::mouseClick(Form14->BitBtn5, Qt::LeftButton);
        QCOMPARE(rez->filterText(), filter);
        QVERIFY(rez->filtered());
        QCOMPARE(rez->recordCount(), 2);
        QCOMPARE(rez->recNo(), 1); // the same filter text set again is no change
        QCOMPARE(shown.count(), 0);
        QVERIFY(Form5->isVisible());
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    void enterOnAFocusedButtonClicksIt() {
        ProgramInstances program;
        Form14->showModeless();
        Form14->BitBtn4->setFocus();
        QTest::keyClick(Form14->BitBtn4, Qt::Key_Return);
        QVERIFY(Form2->isVisible());
        Form14->BitBtn3->setFocus();
        QTest::keyClick(Form14->BitBtn3, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(Form7->isVisible());
    }

    void aFailingCommandIsReportedAndTheWindowStays() {
        ProgramInstances program;
        // No current pupil: the surname matches nobody.
        DataModule11->ych->setFilterText(QStringLiteral("Фамилия ='Никто'"));
        DataModule11->ych->setFiltered(true);
        Form14->showModeless();
        QTest::mouseClick(Form14->BitBtn5, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures().size(), 1);
        QVERIFY(!Form5->isVisible());
        QVERIFY(Form14->isVisible());
        QVERIFY(Form14->isEnabled());
        // The window goes on working.
        QTest::mouseClick(Form14->BitBtn4, Qt::LeftButton);
        QVERIFY(Form2->isVisible());
    }

    void lookAtIt() {
        ProgramInstances program;
        const QString path = qEnvironmentVariable("ESUN_SHOT");
        if (path.isEmpty())
            QSKIP("set ESUN_SHOT to a PNG path to look at the window");
        Form14->showModeless();
        QVERIFY(QTest::qWaitForWindowExposed(Form14));
        QVERIFY(Form14->grab().save(path));
    }
};

ESUN_TEST_MAIN(MainWindowTest)

#include "test_mainwindow.moc"
