#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "testing/gradescale.h"
#include "tests/support/recorder.h"
#include "tests/support/testdb.h"
#include "ui/builders.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString output;
    QString errors;
};

// Runs the sample-database maker that the build put beside this test.
ToolRun runTool(const QStringList& args) {
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/make_sample_db");
    if (!QFile::exists(tool))
        qFatal("make_sample_db is not built beside the tests (build the make_sample_db target)");
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished(60000))
        qFatal("make_sample_db did not finish");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QByteArray digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

// The sample database: the maker tool's behaviour, and the rows it puts in the file checked against the rules
// that the program and its users rely on.
class SampleDbTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_file;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("Primer.mdb"));
        const ToolRun run = runTool({m_file});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors));
        QVERIFY(run.output.contains(QStringLiteral("70 questions")));
        QVERIFY(QFile::exists(m_file));
        QVERIFY(!QFile::exists(m_file + QStringLiteral(".new")));
    }

    // --- the tool ---

    void refusesToOverwriteWithoutForce() {
        const QByteArray before = digest(m_file);
        const ToolRun run = runTool({m_file});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.errors.contains(m_file));
        QVERIFY(run.errors.contains(QStringLiteral("already exists")));
        QCOMPARE(digest(m_file), before);
    }

    void forceReplacesAnExistingFile() {
        const QString other = m_dir.filePath(QStringLiteral("other.mdb"));
        QFile junk(other);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a database");
        junk.close();
        QCOMPARE(runTool({QStringLiteral("--force"), other}).exitCode, 0);
        QCOMPARE(SqlFile(other, SqlFile::Checked).number(QStringLiteral("SELECT COUNT(*) FROM \"Тема\"")), 6);
        // The file made by --force is the same database as a fresh one.
        QCOMPARE(SqlFile(other, SqlFile::Checked).number(QStringLiteral("SELECT COUNT(*) FROM \"Ответы\"")),
                 SqlFile(m_file, SqlFile::Checked).number(QStringLiteral("SELECT COUNT(*) FROM \"Ответы\"")));
    }

    void badArgumentsFailWithAUsageText() {
        const ToolRun none = runTool({});
        QCOMPARE(none.exitCode, 1);
        QVERIFY(none.errors.contains(QStringLiteral("usage: make_sample_db [--force] <file>")));
        const ToolRun two = runTool({QStringLiteral("a.mdb"), QStringLiteral("b.mdb")});
        QCOMPARE(two.exitCode, 1);
        const ToolRun option = runTool({QStringLiteral("--overwrite"), m_file});
        QCOMPARE(option.exitCode, 1);
        QVERIFY(option.errors.contains(QStringLiteral("unknown option --overwrite")));
    }

    void aMissingFolderOrAFolderNameFails() {
        const QString nowhere = m_dir.filePath(QStringLiteral("no-such-folder/Primer.mdb"));
        const ToolRun run = runTool({nowhere});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.errors.contains(QStringLiteral("does not exist")));
        QVERIFY(!QFile::exists(nowhere));
        const ToolRun folder = runTool({QStringLiteral("--force"), m_dir.path()});
        QCOMPARE(folder.exitCode, 1);
        QVERIFY(folder.errors.contains(QStringLiteral("is a folder")));
    }

    void anUnwritableFolderFailsAndLeavesNothing() {
        if (QFileInfo(QStringLiteral("/root")).isWritable())
            QSKIP("running with rights that can write anywhere");
        QTemporaryDir locked;
        QVERIFY(QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner));
        const QString path = locked.filePath(QStringLiteral("Primer.mdb"));
        const ToolRun run = runTool({path});
        QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.errors.contains(QStringLiteral("cannot make")));
        QVERIFY(QDir(locked.path()).entryList(QDir::Files).isEmpty());
    }

    void aFailedBuildLeavesNoFileBehind() {
        // The file is built under a temporary name first; here that name is taken by a folder.
        const QString path = m_dir.filePath(QStringLiteral("blocked.mdb"));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("blocked.mdb.new")));
        const ToolRun run = runTool({path});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains(QStringLiteral("cannot make ") + path), qPrintable(run.errors));
        QVERIFY(!QFile::exists(path));
    }

    // --- the rows ---

    void classesAndPupils() {
        const SqlFile db(m_file, SqlFile::Checked);
        QVERIFY(db.number(QStringLiteral("SELECT COUNT(*) FROM \"класс\"")) >= 5);
        const auto pupils = db.rows(QStringLiteral("SELECT \"Имя\", \"Фамилия\", \"Отчество\", "
                                                   "\"id_класса\", \"ключ\", \"права\" FROM \"Ученики\""));
        QVERIFY(pupils.size() >= 18 && pupils.size() <= 25);
        QSet<QString> surnames;
        int teachers = 0;
        for (const auto& p : pupils) {
            for (int c : {0, 1, 2, 4})
                QVERIFY2(!p[c].toString().trimmed().isEmpty(), qPrintable(p[1].toString()));
            // Sign-in selects the first pupil of a surname, so namesakes could not all sign in.
            QVERIFY2(!surnames.contains(p[1].toString()), qPrintable(p[1].toString()));
            surnames << p[1].toString();
            // The results grid shows lookups cut to 20 characters.
            QVERIFY(p[0].toString().size() <= 20 && p[1].toString().size() <= 20);
            if (p[5].toInt() == 1)
                ++teachers;
            else
                QVERIFY2(!p[3].isNull(), qPrintable(p[1].toString())); // every pupil is in a class
        }
        QCOMPARE(teachers, 1);
        QCOMPARE(
            db.number(QStringLiteral("SELECT COUNT(*) FROM \"Ученики\" WHERE \"id_класса\" IS NOT NULL AND "
                                     "\"id_класса\" NOT IN (SELECT \"id_класса\" FROM \"класс\")")),
            0);
    }

    void theSignInsNamedForTryingTheProgram() {
        const SqlFile db(m_file, SqlFile::Checked);
        QCOMPARE(db.rows(QStringLiteral(
                     "SELECT \"ключ\", \"права\" FROM \"Ученики\" WHERE \"Фамилия\"='Смирнова'")),
                 (QList<QVariantList>{{QStringLiteral("музыка"), 1LL}}));
        QCOMPARE(
            db.rows(QStringLiteral("SELECT \"ключ\", \"права\" FROM \"Ученики\" WHERE \"Фамилия\"='Иванов'")),
            (QList<QVariantList>{{QStringLiteral("скрипка"), 0LL}}));
    }

    void topicsHaveEightToTwelveQuestions() {
        const SqlFile db(m_file, SqlFile::Checked);
        const auto topics = db.rows(QStringLiteral("SELECT t.\"тема\", (SELECT COUNT(*) FROM \"Вопрос\" q "
                                                   "WHERE q.\"id_темы\" = t.\"id_темы\") FROM \"Тема\" t"));
        QVERIFY(topics.size() >= 5);
        QSet<QString> names;
        for (const auto& t : topics) {
            const QString name = t[0].toString();
            QVERIFY2(!name.isEmpty() && name.size() <= 20, qPrintable(name));
            QVERIFY(!names.contains(name));
            names << name;
            QVERIFY2(t[1].toInt() >= 8 && t[1].toInt() <= 12, qPrintable(name));
        }
        for (const char* topic : {"Звукоряд", "Ключи", "Доли и размер", "Великие композиторы"})
            QVERIFY2(names.contains(QString::fromUtf8(topic)), topic);
        QCOMPARE(db.number(QStringLiteral("SELECT COUNT(*) FROM \"Вопрос\" WHERE \"id_темы\" IS NULL OR "
                                          "\"id_темы\" NOT IN (SELECT \"id_темы\" FROM \"Тема\")")),
                 0);
    }

    void questionsFitTheTestWindowAndTheTextFields() {
        const SqlFile db(m_file, SqlFile::Checked);
        // The test window shows a question on one unwrapped line, Arial 16 px, 713 px wide.
        const QFontMetrics metrics(ui::font(QStringLiteral("Arial"), 16));
        for (const auto& q : db.rows(QStringLiteral("SELECT \"вопрос\" FROM \"Вопрос\""))) {
            const QString text = q[0].toString();
            QVERIFY(!text.trimmed().isEmpty());
            QVERIFY(text.size() <= 255);
            QVERIFY2(metrics.horizontalAdvance(text) <= 713, qPrintable(text));
        }
        for (const auto& a : db.rows(QStringLiteral("SELECT \"ответ\" FROM \"Ответы\"")))
            QVERIFY(!a[0].toString().trimmed().isEmpty() && a[0].toString().size() <= 255);
    }

    void everyQuestionHasThreeOrFourAnswersExactlyOneCorrect() {
        const SqlFile db(m_file, SqlFile::Checked);
        const auto questions = db.rows(QStringLiteral("SELECT \"id_вопроса\", \"вопрос\" FROM \"Вопрос\""));
        QVERIFY(questions.size() >= 40);
        QList<int> correctPlaces;
        for (const auto& q : questions) {
            const auto answers = db.rows(QStringLiteral("SELECT \"ответ\", \"статус\" FROM \"Ответы\" WHERE "
                                                        "\"id_вопроса\" = %1 ORDER BY \"id_ответа\"")
                                             .arg(q[0].toLongLong()));
            QVERIFY2(answers.size() == 3 || answers.size() == 4, qPrintable(q[1].toString()));
            int correct = 0;
            QSet<QString> texts;
            for (int i = 0; i < answers.size(); ++i) {
                QVERIFY(answers[i][1].toInt() == 0 || answers[i][1].toInt() == 1);
                if (answers[i][1].toInt() == 1) {
                    ++correct;
                    correctPlaces << i;
                }
                // The test counts a chosen answer by its text: two equal texts would blur which is right.
                texts << answers[i][0].toString();
            }
            QVERIFY2(correct == 1, qPrintable(q[1].toString()));
            QCOMPARE(texts.size(), int(answers.size()));
        }
        // The correct answer is not always in the same place.
        QVERIFY(QSet<int>(correctPlaces.begin(), correctPlaces.end()).size() >= 3);
        QCOMPARE(db.number(QStringLiteral("SELECT COUNT(*) FROM \"Ответы\" WHERE \"id_вопроса\" IS NULL OR "
                                          "\"id_вопроса\" NOT IN (SELECT \"id_вопроса\" FROM \"Вопрос\")")),
                 0);
    }

    void resultsAreSpreadAndAgreeWithTheGradeScale() {
        const SqlFile db(m_file, SqlFile::Checked);
        const auto results = db.rows(QStringLiteral(
            "SELECT r.\"Дата\", r.\"Баллы\", r.\"Оценка\", r.\"id_ученика\", r.\"id_темы\", r.\"id_класса\", "
            "(SELECT COUNT(*) FROM \"Вопрос\" q WHERE q.\"id_темы\" = r.\"id_темы\"), "
            "(SELECT u.\"id_класса\" FROM \"Ученики\" u WHERE u.\"id_ученика\" = r.\"id_ученика\") "
            "FROM \"результаты\" r"));
        QVERIFY(results.size() >= 24);
        QSet<qint64> pupils, topics, grades;
        QSet<QString> dates;
        for (const auto& r : results) {
            const QDate date = QDate::fromString(r[0].toString(), Qt::ISODate);
            QVERIFY2(date.isValid(), qPrintable(r[0].toString()));
            QVERIFY(date.year() >= 2020);
            bool number = false;
            const int correct = r[1].toString().toInt(&number);
            QVERIFY(number);
            const int questions = r[6].toInt();
            QVERIFY(questions > 0 && correct >= 0 && correct <= questions);
            QCOMPARE(r[2].toInt(), gradescale::grade(gradescale::percentage(correct, questions)));
            QVERIFY(!r[7].isNull());              // the pupil exists
            QCOMPARE(r[5].toInt(), r[7].toInt()); // and the result carries his class
            pupils << r[3].toLongLong();
            topics << r[4].toLongLong();
            grades << r[2].toLongLong();
            dates << r[0].toString();
        }
        QVERIFY(pupils.size() >= 10);
        QCOMPARE(topics.size(), 6);
        QCOMPARE(grades, (QSet<qint64>{2, 3, 4, 5}));
        QVERIFY(dates.size() >= 10);
    }

    // --- the relations stored in the file ---

    void deletingAQuestionDeletesItsAnswers() {
        const QString copy = m_dir.filePath(QStringLiteral("relations.mdb"));
        QFile::remove(copy);
        QVERIFY(QFile::copy(m_file, copy));
        const SqlFile db(copy, SqlFile::Checked);
        QCOMPARE(db.exec(QStringLiteral("DELETE FROM \"Вопрос\" WHERE \"id_вопроса\" = 1")), QString());
        QCOMPARE(db.number(QStringLiteral("SELECT COUNT(*) FROM \"Ответы\" WHERE \"id_вопроса\" = 1")), 0);
        // A topic that still has questions cannot be deleted; one without questions can.
        QVERIFY(!db.exec(QStringLiteral("DELETE FROM \"Тема\" WHERE \"id_темы\" = 1")).isEmpty());
        QCOMPARE(db.exec(QStringLiteral("INSERT INTO \"Тема\" (\"тема\") VALUES ('Пустая')")), QString());
        QCOMPARE(db.exec(QStringLiteral("DELETE FROM \"Тема\" WHERE \"тема\" = 'Пустая'")), QString());
        // Results keep the keys of a deleted pupil.
        const qint64 before = db.number(QStringLiteral("SELECT COUNT(*) FROM \"результаты\""));
        const qint64 someone = db.number(QStringLiteral("SELECT \"id_ученика\" FROM \"результаты\" LIMIT 1"));
        QCOMPARE(db.exec(QStringLiteral("DELETE FROM \"Ученики\" WHERE \"id_ученика\" = %1").arg(someone)),
                 QString());
        QCOMPARE(db.number(QStringLiteral("SELECT COUNT(*) FROM \"результаты\"")), before);
    }

    // --- through the program's own data module ---

    void opensInTheDataModuleWithEveryLookupFound() {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        RecordingDialogs dialogs;
        {
            TDataModule11 dm;
            QCOMPARE(dialogs.shown.size(), 0);
            QCOMPARE(dm.ych->recordCount(), 21);
            QCOMPARE(dm.quest->recordCount(), 11); // the first topic's questions
            for (int row = 0; row < dm.rez->recordCount(); ++row)
                for (int pos = 1; pos <= 4; ++pos)
                    QVERIFY(!dm.rez->displayTextAt(row, pos).isEmpty());
            QVERIFY(dm.ych->locate(schema::pupils::surname, QStringLiteral("Смирнова")));
            QCOMPARE(dm.ych->asText(5), QStringLiteral("музыка"));
            QVERIFY(dm.ych->asBoolean(6));
        }
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(SampleDbTest)
#include "test_sampledb.moc"
