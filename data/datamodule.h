#pragma once

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class Connection;
class DataSource;
class Query;
class Table;

// The one gateway to the database: the connection, the six table objects with their field lists, lookups
// and master-detail links, their data sources and the free query. Creating it opens the database, each
// opening attempted by itself and each failure shown by the default failure report.
class TDataModule11 : public QObject {
    Q_OBJECT
public:
    enum class Open { Now, Later };
    explicit TDataModule11(QObject* parent = nullptr, Open open = Open::Now);
    ~TDataModule11() override;

    // The 555-character built-in connection string (Data Source=Primer.mdb).
    static QString defaultConnectionString();

    // Opens the connection (through the first table) and then each table in `order`, reporting each
    // failure and going on; an open table stays open and where it is.
    void openAll();
    // The sign-in window's reconnect: the connection, then klass, tema, quest, ans, rez, ych.
    void openAfterConnect();

    // --- signing in and the test's result ---------------------------------------------------------------
    // On a file the program compares passwords and grades tests itself, as it always has. On the school's
    // server the server does both for the lab's login: it compares the password and records the sign-in,
    // keeps each answer as it is given, grades the test and stores its one row; the program only asks.

    // Whether `typed` is the password of ych's current pupil; on the server a match signs him in.
    bool passwordMatches(const QString& typed);
    enum class SignIn { Signed, WrongLogin, WrongPassword };
    // The sign-in by surname of the query variant; on the server a match signs the pupil in.
    SignIn signInBySurname(const QString& surname, const QString& password);
    // Ends the sign-in the server recorded; nothing on a file.
    void signOut();
    // The server grades the test (a lab login on the server); false on a file and for the administrator.
    bool gradesOnServer() const;
    // A question of the test the server drew: its key and its answers' keys in the order to offer them
    // (empty: stored order).
    struct TestQuestion {
        int question = 0;
        QList<int> answers;
    };
    // A test the server began: its questions in order; for one taken up again (its program was killed), how
    // many were answered and the seconds left then.
    struct ServerTest {
        QList<TestQuestion> draw;
        int answered = 0;
        std::optional<int> secondsLeft;
    };
    // Begins a test of `topic` for the pupil signed in, or takes up his unfinished one.
    ServerTest beginTest(int topic);
    // The answer chosen for a question of the test begun, with the seconds left; the correct answers once the
    // last question was answered and the test stored.
    std::optional<int> recordAnswer(int question, const QString& answer, QDate day, int secondsLeft);
    // Ends the test begun before every question was answered and stores its row; the correct answers.
    int finishTest(QDate day);
    // One more play of the clip of a question of the test begun, kept before the pupil hears it; and the
    // plays so far (for a test taken up again). Nothing and none on a server set up before plays were kept.
    void recordPlay(int question);
    int clipPlays(int question);

    Connection* ADOConnection1 = nullptr;
    Table* ych = nullptr;
    Table* klass = nullptr;
    Table* tema = nullptr;
    Table* quest = nullptr;
    Table* ans = nullptr;
    Table* rez = nullptr;
    DataSource* DataSource1 = nullptr;
    DataSource* DataSource2 = nullptr;
    DataSource* DataSource3 = nullptr;
    DataSource* DataSource4 = nullptr;
    DataSource* DataSource5 = nullptr;
    DataSource* DataSource6 = nullptr;
    Query* ADOQuery1 = nullptr;

private:
    void sessionChanged();

    int m_attempt = 0;    // the test begun on the server
    bool m_draws = false; // the server draws tests and keeps the seconds left
    bool m_plays = false; // the server keeps the plays of each clip
};

extern TDataModule11* DataModule11;
