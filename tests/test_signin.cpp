#include "admin/form9.h"
#include "app/form14.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/query.h"
#include "data/engine/table.h"
#include "data/widgets/dblookupcombobox.h"
#include "signin/form1.h"
#include "testing/form3.h"
#include "testing/form7.h"
#include "tests/support/faults.h"
#include "tests/support/input.h"
#include "tests/support/instances.h"
#include "tests/support/testbackend.h"
#include "tests/support/testdb.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

#include <optional>
#include <sys/stat.h>

namespace {

const QString apostropheRows = QStringLiteral(R"sql(
INSERT INTO "Ученики" VALUES (5, 'Шарль', 'Д''Артаньян', '', 1, 'mushket', 0);
)sql");

// The direct variant's "Войти".
void clickEnter() {
    QTest::mouseClick(Form1->Button1, Qt::LeftButton);
}

// After every direct attempt the window is signed out.
void verifySignedOut() {
    QVERIFY(Form1->Edit1->text().isEmpty());
    QVERIFY(Form1->Edit2->text().isEmpty());
    QVERIFY(!Form1->Edit1->isEnabled());
    QVERIFY(!DataModule11->ych->filtered());
    QCOMPARE(DataModule11->ych->recNo(), 0);
}

} // namespace

// The sign-in window in both of its variants, the surname filter, and the connection file.
class SignInTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    void windowAndControls() {
        ProgramInstances program;
        QCOMPARE(Form1->windowTitle(), QStringLiteral("Авторизация"));
        QCOMPARE(Form1->size(), QSize(442, 299));
        QCOMPARE(Form1->pos(), QPoint(772, 187));
        QCOMPARE(Form1->minimumSize(), Form1->maximumSize());
        QCOMPARE(Form1->font().family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(Form1->font().pixelSize(), 16);
        QCOMPARE(Form1->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Base));

        QCOMPARE(Form1->Image1->geometry(), QRect(-8, -8, 513, 369));
        QCOMPARE(Form1->Image1->picture().size(), QSize(449, 305));
        QCOMPARE(Form1->children().indexOf(Form1->Image1), 0); // beneath every other control

        const QList<QPair<QWidget*, QRect>> places{
            {Form1->Label1, {80, 56, 101, 27}},   {Form1->Label2, {80, 128, 83, 27}},
            {Form1->Edit2, {192, 56, 193, 26}},   {Form1->Edit1, {192, 128, 193, 26}},
            {Form1->Button1, {184, 192, 89, 41}}, {Form1->Button3, {184, 192, 89, 41}},
            {Form1->Button2, {0, 0, 177, 33}}};
        for (const auto& [control, place] : places) {
            QCOMPARE(control->geometry(), place);
            QCOMPARE(Form1->findChild<QWidget*>(control->objectName()), control);
        }
        QCOMPARE(Form1->Label1->text(), QStringLiteral("Фамилия"));
        QCOMPARE(Form1->Label2->text(), QStringLiteral("Пароль"));
        for (QLabel* label : {Form1->Label1, Form1->Label2}) {
            QCOMPARE(label->font().pixelSize(), 24);
            QVERIFY(!label->font().bold());
            QVERIFY(label->autoFillBackground()); // opaque on the window colour
        }
        for (QPushButton* b : {Form1->Button1, Form1->Button3}) {
            QCOMPARE(b->text(), QStringLiteral("Войти"));
            QCOMPARE(b->font().family(), QStringLiteral("Liberation Sans Narrow"));
            QCOMPARE(b->font().pixelSize(), 24);
            QVERIFY(b->font().bold());
            QCOMPARE(b->palette().color(QPalette::ButtonText), QColor(0, 0, 255));
        }
        QCOMPARE(Form1->Button2->text(), QStringLiteral("Подключиться к БД"));
        QCOMPARE(Form1->Button2->font().pixelSize(), 19);
        QCOMPARE(Form1->Edit2->font().pixelSize(), 16);

        QCOMPARE(nextTabStop(Form1->Edit1), Form1->Edit2);
        QCOMPARE(nextTabStop(Form1->Edit2), Form1->Button1);
        QCOMPARE(nextTabStop(Form1->Button1), Form1->Button2);
        QCOMPARE(nextTabStop(Form1->Button2), Form1->Button3);
        QVERIFY(Form1->Edit1->isEnabled());
        QCOMPARE(Form1->Edit1->echoMode(), QLineEdit::Normal);
    }

    void focusIsInThePasswordBoxAtOpening() {
        ProgramInstances program;
        QWidget* focused = nullptr;
        later([&] {
            focused = Form1->focusWidget();
            Form1->close();
        });
        QCOMPARE(Form1->showModal(), int(Form::mrCancel));
        QCOMPARE(focused, Form1->Edit1);
    }

    void directVariantWithoutConnectFile() {
        ProgramInstances program;
        QVERIFY(!Form1->Button1->isHidden());
        QVERIFY(Form1->Button3->isHidden());
        QVERIFY(Form1->Button2->isEnabled());
    }

    void queryVariantWithConnectFile() {
        ProgramInstances program(ProgramInstances::Query);
        QVERIFY(Form1->Button1->isHidden());
        QVERIFY(!Form1->Button3->isHidden());
        QVERIFY(!Form1->Button2->isEnabled());
    }

    void folderNamedConnectIniKeepsTheDirectVariant() {
        ProgramInstances program(ProgramInstances::Direct, TestDatabase::smallRowsSql(), false);
        QVERIFY(QDir(program.folder.path()).mkdir(QStringLiteral("Connect.ini")));
        startup::createInstances();
        startup::createSignInWindow();
        QVERIFY(!Form1->Button1->isHidden());
        QVERIFY(Form1->Button3->isHidden());
        QVERIFY(Form1->Button2->isEnabled());
    }

    void passwordTypedBeforeTheFirstClickShowsInClear() {
        ProgramInstances program;
        Form1->showModeless();
        typeText(Form1->Edit1, QStringLiteral("nota"));
        QCOMPARE(Form1->Edit1->displayText(), QStringLiteral("nota"));
        QTest::mouseClick(Form1->Edit2, Qt::LeftButton);
        QVERIFY(Form1->Edit1->text().isEmpty());
        typeText(Form1->Edit1, QStringLiteral("nota"));
        QCOMPARE(Form1->Edit1->text(), QStringLiteral("nota"));
        QVERIFY(Form1->Edit1->displayText() != QStringLiteral("nota"));
        QCOMPARE(Form1->Edit1->echoMode(), QLineEdit::Password);
    }

    void clickInTheSurnameBoxStartsAfresh() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Петрова"), QStringLiteral("x"));
        QVERIFY(DataModule11->ych->filtered());
        Form1->Edit1->setEnabled(false);
        QTest::mouseClick(Form1->Edit2, Qt::LeftButton);
        QVERIFY(Form1->Edit1->isEnabled());
        QVERIFY(Form1->Edit1->text().isEmpty());
        QVERIFY(Form1->Edit2->text().isEmpty());
        QVERIFY(!DataModule11->ych->filtered());
        // Reaching the box by Tab is no click: nothing is emptied.
        typeText(Form1->Edit1, QStringLiteral("abc"));
        Form1->Edit1->setFocus();
        QTest::keyClick(Form1->Edit1, Qt::Key_Tab);
        QCOMPARE(Form1->Edit1->text(), QStringLiteral("abc"));
    }

    void surnameFilterFollowsEveryKeystroke() {
        ProgramInstances program;
        Table* ych = DataModule11->ych;
        Form1->showModeless();
        QTest::mouseClick(Form1->Edit2, Qt::LeftButton);
        typeText(Form1->Edit2, QStringLiteral("Соко"));
        QVERIFY(ych->filtered());
        QCOMPARE(ych->filterText(), QStringLiteral("Фамилия ='Соко'"));
        QCOMPARE(ych->recordCount(), 0); // only the complete surname selects a pupil
        typeText(Form1->Edit2, QStringLiteral("лов"));
        QCOMPARE(ych->recordCount(), 2);
        QCOMPARE(ych->value(0).toInt(), 2); // the first of the two is the current pupil
        QTest::keyClick(Form1->Edit2, Qt::Key_Backspace);
        QCOMPARE(ych->recordCount(), 0);
        Form1->Edit2->clear();
        QVERIFY(!ych->filtered());
        QCOMPARE(ych->recordCount(), 4);
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    void directPupilGetsTheMainWindowModally() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Петрова"), QStringLiteral("nota"));
        bool inside = false;
        QCOMPARE(shownModally({Form14, Form9}, clickEnter,
                              [&] {
                                  inside = Form14->isVisible() && Form14->isEnabled() &&
                                           !Form1->isEnabled() && !Form9->isVisible() &&
                                           DataModule11->ych->value(0).toInt() == 1;
                              }),
                 Form14);
        QVERIFY(inside);
        QVERIFY(!Form14->isVisible());
        QVERIFY(Form1->isEnabled());
        verifySignedOut();
        QCOMPARE(program.dialogs.shown.size(), 0);
    }

    void directTeacherGetsTheManagementWindow() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Ивановна"), QStringLiteral("teach"));
        bool inside = false;
        QCOMPARE(shownModally({Form14, Form9}, clickEnter,
                              [&] { inside = !Form14->isVisible() && !Form1->isEnabled(); }),
                 Form9);
        QVERIFY(inside);
        verifySignedOut();
    }

    void directWrongPasswordSignsOutSilently() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Петрова"), QStringLiteral("NOTA")); // letter case counts
        QCOMPARE(shownModally({Form14, Form9}, clickEnter), nullptr);
        verifySignedOut();
        QCOMPARE(program.dialogs.shown.size(), 0);
    }

    void directUnknownSurnameIsRefusedWhateverThePassword_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("empty") << QString();
        QTest::newRow("a pupil's key") << "nota";
        QTest::newRow("the teacher's key") << "teach";
    }
    void directUnknownSurnameIsRefusedWhateverThePassword() {
        QFETCH(QString, password);
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Никто"), password);
        QCOMPARE(shownModally({Form14, Form9}, clickEnter), nullptr);
        verifySignedOut();
        QCOMPARE(program.dialogs.shown.size(), 0);
    }

    void directEmptySurnameComparesWithTheFirstRow() {
        ProgramInstances program;
        Form1->showModeless();
        QTest::mouseClick(Form1->Edit2, Qt::LeftButton);
        typeText(Form1->Edit1, QStringLiteral("do-re-mi")); // the second row's key
        QCOMPARE(shownModally({Form14, Form9}, clickEnter), nullptr);
        verifySignedOut();
        QTest::mouseClick(Form1->Edit2, Qt::LeftButton);
        typeText(Form1->Edit1, QStringLiteral("nota")); // the first row's key
        QCOMPARE(shownModally({Form14, Form9}, clickEnter), Form14);
        verifySignedOut();
    }

    void directTwoPupilsOfOneSurname() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Соколов"), QStringLiteral("sol")); // the second Соколов's key
        QCOMPARE(shownModally({Form14, Form9}, clickEnter), nullptr);
        typeSignIn(QStringLiteral("Соколов"), QStringLiteral("do-re-mi"));
        int pupil = 0;
        QCOMPARE(
            shownModally({Form14, Form9}, clickEnter, [&] { pupil = DataModule11->ych->value(0).toInt(); }),
            Form14);
        QCOMPARE(pupil, 2);
    }

    void directSignInAgainAfterReturning() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Петрова"), QStringLiteral("nota"));
        QCOMPARE(shownModally({Form14, Form9}, clickEnter), Form14);
        typeSignIn(QStringLiteral("Соколов"), QStringLiteral("do-re-mi"));
        QCOMPARE(shownModally({Form14, Form9}, clickEnter), Form14);
        QCOMPARE(program.dialogs.shown.size(), 0);
    }

    // A test that its pupil hid ends when he signs out: the row is his, on the topic he started, and the
    // next pupil finds a fresh test.
    void signingOutEndsTheHiddenTestOfThePupil() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Соколов"), QStringLiteral("do-re-mi"));
        QCOMPARE(shownModally({Form14, Form9}, clickEnter,
                              [] {
                                  Form7->DBLookupComboBox1->setKeyValue(2);
                                  later([] {
                                      Form3->Button1->click();
                                      Form3->close(); // the close box only hides it, the countdown goes on
                                  });
                                  Form7->Button1->click();
                                  Form7->DBLookupComboBox1->setKeyValue(
                                      1); // another topic is current at the sign-out
                              }),
                 Form14);
        QCOMPARE(program.db.firstRow(QStringLiteral("SELECT id_ученика, id_темы, id_класса, Баллы FROM "
                                                    "результаты ORDER BY id_результата DESC")),
                 QStringList({"2", "2", "2", "0"}));
        QVERIFY(!Form3->Timer1->isActive());
        QVERIFY(!Form3->Button1->isHidden()); // the start command is offered again
        QCOMPARE(Form3->countdown(), TForm3::TestSeconds);
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    // While the main window is shown from it, the greyed sign-in window does not answer its close box.
    void theDisabledSignInWindowKeepsItsCloseBoxShut() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Петрова"), QStringLiteral("nota"));
        bool stayed = false;
        QCOMPARE(shownModally({Form14, Form9}, clickEnter,
                              [&] {
                                  Form1->windowHandle()->close();
                                  stayed = Form1->isVisible();
                              }),
                 Form14);
        QVERIFY(stayed);
        Form1->windowHandle()->close(); // enabled again, it closes
        QVERIFY(!Form1->isVisible());
    }

    void maskCharacterIsAnAsterisk() {
        ProgramInstances program;
        Form1->showModeless();
        typeSignIn(QStringLiteral("Петрова"), QStringLiteral("nota"));
        QCOMPARE(Form1->Edit1->displayText(), QStringLiteral("****"));
    }

    void queryUnknownSurname() {
        ProgramInstances program(ProgramInstances::Query);
        later([] {
            typeSignIn(QStringLiteral("Никто"), QStringLiteral("nota"));
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
            QVERIFY(Form1->isVisible());
            Form1->close();
        });
        QCOMPARE(Form1->showModal(), int(Form::mrCancel));
        QCOMPARE(program.dialogs.messages(), QStringList{"Введён неверный логин!"});
        QCOMPARE(Form1->Edit2->text(), QStringLiteral("Никто"));
        QCOMPARE(Form1->Edit1->text(), QStringLiteral("nota"));
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    void queryWrongPassword() {
        ProgramInstances program(ProgramInstances::Query);
        Form1->showModeless();
        typeSignIn(QStringLiteral("Петрова"), QStringLiteral("NOTA"));
        QTest::mouseClick(Form1->Button3, Qt::LeftButton);
        QCOMPARE(program.dialogs.messages(), QStringList{"Неверный пароль!"});
        QVERIFY(Form1->isVisible());
        QCOMPARE(Form1->Edit2->text(), QStringLiteral("Петрова"));
        QCOMPARE(Form1->Edit1->text(), QStringLiteral("NOTA"));
        QCOMPARE(Form1->modalResult(), int(Form::mrNone));
    }

    void querySuccessClosesWithOk_data() { addSignInRows(); }
    void querySuccessClosesWithOk() {
        QFETCH(QString, surname);
        QFETCH(QString, password);
        ProgramInstances program(ProgramInstances::Query);
        later([&] {
            typeSignIn(surname, password);
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
        });
        QCOMPARE(Form1->showModal(), int(Form::mrOk));
        QVERIFY(!Form1->isVisible());
        QVERIFY(!Form9->isVisible()); // the rights flag plays no part here
        QCOMPARE(program.dialogs.shown.size(), 0);
        // The surname filter outlives the window.
        QVERIFY(DataModule11->ych->filtered());
        QCOMPARE(DataModule11->ych->asText(2), surname);
        // On the server the server compares the password; the query is the file's.
        QCOMPARE(DataModule11->ADOQuery1->isActive(), !testbackend::onServer());
    }

    void queryTwoPupilsOfOneSurname() {
        ProgramInstances program(ProgramInstances::Query);
        Form1->showModeless();
        typeSignIn(QStringLiteral("Соколов"), QStringLiteral("sol"));
        QTest::mouseClick(Form1->Button3, Qt::LeftButton);
        QCOMPARE(program.dialogs.messages(), QStringList{"Неверный пароль!"});
        Form1->Edit1->clear();
        typeText(Form1->Edit1, QStringLiteral("do-re-mi"));
        QTest::mouseClick(Form1->Button3, Qt::LeftButton);
        QCOMPARE(Form1->modalResult(), int(Form::mrOk));
        QCOMPARE(DataModule11->ych->value(0).toInt(), 2);
    }

    // A surname with an apostrophe signs in like any other, in both variants.
    void apostropheInTheSurname() {
        {
            ProgramInstances program(ProgramInstances::Direct, TestDatabase::smallRowsSql() + apostropheRows);
            Form1->showModeless();
            typeSignIn(QStringLiteral("Д'Артаньян"), QStringLiteral("mushket"));
            QCOMPARE(DataModule11->ych->recordCount(), 1);
            int pupil = 0;
            QCOMPARE(shownModally({Form14, Form9}, clickEnter,
                                  [&] { pupil = DataModule11->ych->value(0).toInt(); }),
                     Form14);
            QCOMPARE(pupil, 5);
            QCOMPARE(program.dialogs.shown.size(), 0);
        }
        {
            ProgramInstances program(ProgramInstances::Query, TestDatabase::smallRowsSql() + apostropheRows);
            Form1->showModeless();
            typeSignIn(QStringLiteral("Д'Артаньян"), QStringLiteral("mushket"));
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
            QCOMPARE(program.dialogs.shown.size(), 0);
            QCOMPARE(Form1->modalResult(), int(Form::mrOk));
        }
    }

    // Letter case of the surname does not matter in either variant, as the database compares text.
    void surnameLetterCaseIsIgnored() {
        {
            ProgramInstances program;
            Form1->showModeless();
            typeSignIn(QStringLiteral("пЕТРОВА"), QStringLiteral("nota"));
            QCOMPARE(DataModule11->ych->recordCount(), 1);
            QCOMPARE(shownModally({Form14, Form9}, clickEnter), Form14);
        }
        {
            ProgramInstances program(ProgramInstances::Query);
            Form1->showModeless();
            typeSignIn(QStringLiteral("пЕТРОВА"), QStringLiteral("nota"));
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
            QCOMPARE(program.dialogs.shown.size(), 0);
            QCOMPARE(Form1->modalResult(), int(Form::mrOk));
        }
    }

    // Typed text never changes what the filter or the query means.
    void textThatLooksLikeSql_data() {
        QTest::addColumn<QString>("surname");
        QTest::newRow("or") << "' OR '1'='1";
        QTest::newRow("or without quote") << "x' OR 'a'='a";
        QTest::newRow("comment") << "Петрова'--";
        QTest::newRow("statement") << "'; DELETE FROM Ученики; --";
    }
    void textThatLooksLikeSql() {
        QFETCH(QString, surname);
        {
            ProgramInstances program;
            Form1->showModeless();
            typeSignIn(surname, QStringLiteral("nota"));
            QCOMPARE(DataModule11->ych->recordCount(), 0);
            QCOMPARE(shownModally({Form14, Form9}, clickEnter), nullptr);
            verifySignedOut();
            QCOMPARE(program.dialogs.shown.size(), 0);
        }
        {
            ProgramInstances program(ProgramInstances::Query);
            Form1->showModeless();
            typeSignIn(surname, QStringLiteral("nota"));
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
            QCOMPARE(program.dialogs.failures(), QStringList());
            QCOMPARE(program.dialogs.messages(), QStringList{"Введён неверный логин!"});
            QCOMPARE(Form1->modalResult(), int(Form::mrNone));
            DataModule11->ych->refresh();
            QCOMPARE(DataModule11->ych->recordCount(), 0); // still filtered to the typed text
            DataModule11->ych->setFiltered(false);
            QCOMPARE(DataModule11->ych->recordCount(), 4); // nobody was deleted
        }
    }

    void cancelledFileDialogChangesNothing() {
        ProgramInstances program;
        Form1->showModeless();
        const QString before = DataModule11->ADOConnection1->connectionString();
        DataModule11->klass->close();
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        QCOMPARE(program.dialogs.texts(QStringLiteral("open")).size(), 1);
        QVERIFY(!QFile::exists(program.connectFilePath()));
        QCOMPARE(DataModule11->ADOConnection1->connectionString(), before);
        QVERIFY(!DataModule11->klass->isActive());
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    void connectWritesTheFileAndOpensTheChosenDatabase() {
        ProgramInstances program;
        Form1->showModeless();
        QDir(program.db.folder()).mkpath(QStringLiteral("Школа"));
        const QString chosen = program.db.folder() + QStringLiteral("/Школа/Другая.mdb");
        QVERIFY(QFile::copy(program.db.path(), chosen));
        for (Table* t : {DataModule11->klass, DataModule11->tema, DataModule11->ych})
            t->close();
        program.dialogs.setNextFileName(chosen);
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures(), QStringList());

        QFile file(program.connectFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray expected =
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=%1\r\n")
                .arg(chosen)
                .toUtf8();
        QCOMPARE(file.readAll(), expected);
        // The engine is given the same line with the path quoted.
        QCOMPARE(
            DataModule11->ADOConnection1->connectionString(),
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=\"%1\"").arg(chosen));
        for (Table* t : {DataModule11->klass, DataModule11->tema, DataModule11->quest, DataModule11->ans,
                         DataModule11->rez, DataModule11->ych})
            QVERIFY(t->isActive());
        // This run keeps the direct variant.
        QVERIFY(!Form1->Button1->isHidden());
        QVERIFY(Form1->Button3->isHidden());
        QVERIFY(Form1->Button2->isEnabled());

        // Written whole again: the second choice replaces the first line.
        program.dialogs.setNextFileName(program.db.path());
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=%1\r\n")
                     .arg(program.db.path())
                     .toUtf8());

        // The next start offers the query variant and opens the built-in database again.
        startup::destroyInstances();
        startup::createInstances();
        startup::createSignInWindow();
        QVERIFY(Form1->Button1->isHidden());
        QVERIFY(!Form1->Button3->isHidden());
        QVERIFY(!Form1->Button2->isEnabled());
        QCOMPARE(DataModule11->ADOConnection1->connectionString(), TDataModule11::defaultConnectionString());
        QVERIFY(DataModule11->ych->isActive());
    }

    // The engine opens the very file chosen, whatever its name holds; Connect.ini keeps the path unquoted.
    void connectOpensTheChosenFileWhateverItsName_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("a semicolon") << "9;А.mdb";
        QTest::newRow("a blank at the end") << "Школа.mdb ";
        QTest::newRow("a blank in front") << " Школа.mdb";
        QTest::newRow("double quotes") << "\"Школа\" №9.mdb";
        QTest::newRow("apostrophes") << "'Школа'.mdb";
        QTest::newRow("an item inside") << "a;Data Source=Primer.mdb";
    }

    void connectOpensTheChosenFileWhateverItsName() {
        SKIP_ON_SERVER("the rows of the file chosen, where a server keeps the tables");
        QFETCH(QString, name);
        ProgramInstances program;
        Form1->showModeless();
        const QString chosen = program.db.folder() + u'/' + name;
        QVERIFY(QFile::copy(program.db.path(), chosen));
        SqlFile(chosen).exec(QStringLiteral("INSERT INTO \"класс\" VALUES (99, 'выбранная')"));
        program.dialogs.setNextFileName(chosen);
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures(), QStringList());
        QVERIFY(DataModule11->klass->locate(schema::classes::name, QStringLiteral("выбранная")));
        QFile file(program.connectFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=%1\r\n")
                     .arg(chosen)
                     .toUtf8());
    }

    void surnameTypedBeforeConnectingFiltersWhenYchOpens() {
        ProgramInstances program;
        Form1->showModeless();
        DataModule11->ych->close();
        typeSignIn(QStringLiteral("Соколов"), QStringLiteral("do-re-mi"));
        program.dialogs.setNextFileName(program.db.path());
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures(), QStringList());
        QVERIFY(DataModule11->ych->isActive());
        QCOMPARE(DataModule11->ych->recordCount(), 2);
    }

    void connectFileThatCannotBeWritten_data() {
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QString>("message");
        QTest::newRow("taken by a folder") << "folder"
                                           << "File access denied.";
        QTest::newRow("taken by a pipe") << "pipe"
                                         << "File access denied.";
        QTest::newRow("no such folder") << "missing"
                                        << "Path not found.";
        QTest::newRow("a full disk") << "full"
                                     << "Disk full.";
    }
    void connectFileThatCannotBeWritten() {
        QFETCH(QString, taken);
        QFETCH(QString, message);
        ProgramInstances program;
        Form1->showModeless();
        if (taken == u"missing")
            appinfo::setProgramFolderForTesting(program.folder.filePath(QStringLiteral("нет")));
        else if (taken == u"folder")
            QVERIFY(QDir(program.folder.path()).mkdir(QStringLiteral("Connect.ini")));
        else if (taken == u"pipe")
            QCOMPARE(mkfifo(QFile::encodeName(program.connectFilePath()).constData(), 0600), 0);
        const QString before = DataModule11->ADOConnection1->connectionString();
        DataModule11->klass->close();
        program.dialogs.setNextFileName(program.db.path());
        {
            std::optional<FullDisk> full;
            if (taken == u"full")
                full.emplace();
            QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        }
        QCOMPARE(program.dialogs.failures(), QStringList{message});
        // Nothing after the failed write ran, and no file was left half written.
        QCOMPARE(DataModule11->ADOConnection1->connectionString(), before);
        QVERIFY(!DataModule11->klass->isActive());
        QVERIFY(Form1->isVisible());
        if (taken == u"full")
            QVERIFY(!QFile::exists(program.connectFilePath()));
        QCOMPARE(QDir(QFileInfo(program.connectFilePath()).absolutePath())
                     .entryList({QStringLiteral(".Connect.ini*")}, QDir::Hidden | QDir::Files),
                 QStringList());
    }

    // Connect.ini reached through a link is written where the link points; the link stays.
    void connectFileBehindALink() {
        ProgramInstances program;
        Form1->showModeless();
        QVERIFY(QDir(program.folder.path()).mkdir(QStringLiteral("настройки")));
        const QString real = program.folder.filePath(QStringLiteral("настройки/Connect.ini"));
        QVERIFY(QFile::link(QStringLiteral("настройки/Connect.ini"), program.connectFilePath()));
        program.dialogs.setNextFileName(program.db.path());
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures(), QStringList());
        QVERIFY(QFileInfo(program.connectFilePath()).isSymLink());
        QFile file(real);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith(QFile::encodeName(program.db.path()) + "\r\n"));
    }

    // A chosen file that cannot be opened changes nothing: Connect.ini would make the next start the query
    // variant over a database that is not there.
    void chosenFileThatIsNoDatabase() {
        ProgramInstances program;
        Form1->showModeless();
        const QString chosen = program.db.folder() + QStringLiteral("/notes.txt");
        QFile notes(chosen);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a database at all, just some notes\n");
        notes.close();
        const QString before = DataModule11->ADOConnection1->connectionString();
        program.dialogs.setNextFileName(chosen);
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures().size(), 1);
        QVERIFY(program.dialogs.failures().first().startsWith(QStringLiteral("ADOConnection1: ")));
        QVERIFY(!QFile::exists(program.connectFilePath()));
        QCOMPARE(DataModule11->ADOConnection1->connectionString(), before);
        QVERIFY(DataModule11->ych->isActive());
    }

    void lookAtIt() {
        ProgramInstances program;
        const QString path = qEnvironmentVariable("ESUN_SHOT");
        if (path.isEmpty())
            QSKIP("set ESUN_SHOT to a PNG path to look at the window");
        Form1->showModeless();
        QVERIFY(QTest::qWaitForWindowExposed(Form1));
        typeText(Form1->Edit1, QStringLiteral("пароль"));
        QVERIFY(Form1->grab().save(path));
    }
};

ESUN_TEST_MAIN(SignInTest)

#include "test_signin.moc"
