#include "datamodule.h"

#include "passwords.h"

#include "base/failure.h"
#include "base/schema.h"
#include "data/engine/connection.h"
#include "data/engine/datasource.h"
#include "data/engine/query.h"
#include "data/engine/serverbackend.h"
#include "data/engine/table.h"
#include "ui/dialogs.h"

#include <QStringList>

TDataModule11* DataModule11 = nullptr;

TDataModule11::TDataModule11(QObject* parent, Open open) : QObject(parent) {
    setObjectName(QStringLiteral("DataModule11"));
    ADOConnection1 = new Connection(QStringLiteral("ADOConnection1"), this);
    ADOConnection1->setConnectionString(defaultConnectionString());
    // A computer lab keeps the tables on the school's server (the installed launcher sets this from
    // /etc/muzyka.conf); without it they are in the data folder's file.
    ADOConnection1->setServer(qEnvironmentVariable("MUZYKA_SERVER").trimmed());
    connect(ADOConnection1, &Connection::cannotWrite, this, [](const QString& text) { reportFailure(text); });
    // A school's Access file is converted at its first opening; the user learns once where each file is.
    connect(ADOConnection1, &Connection::converted, this,
            [](const QString& notice) { dialogs().message(notice); });

    const auto table = [this](const char* name, const QString& tableName) {
        return new Table(QString::fromLatin1(name), ADOConnection1, tableName, this);
    };
    ych = table("ych", schema::pupils::table);
    klass = table("klass", schema::classes::table);
    tema = table("tema", schema::topics::table);
    quest = table("quest", schema::questions::table);
    ans = table("ans", schema::answers::table);
    rez = table("rez", schema::results::table);

    using K = FieldKind;
    ych->addField(makeHiddenField(schema::pupilKey, K::AutoInc));
    ych->addField(makeField(schema::pupils::firstName, K::Text, 15));
    ych->addField(makeField(schema::pupils::surname, K::Text, 20));
    ych->addField(makeField(schema::pupils::patronymic, K::Text, 20));
    ych->addField(makeHiddenField(schema::classKey, K::Integer));
    ych->addField(makeField(schema::pupils::password, K::Text, 10));
    ych->addField(makeField(schema::pupils::rights, K::Boolean));
    ych->addField(makeLookupField(schema::pupils::className, schema::classKey, klass, schema::classes::name));

    klass->addField(makeHiddenField(schema::classKey, K::AutoInc));
    klass->addField(makeField(schema::classes::name, K::Text));

    tema->addField(makeHiddenField(schema::topicKey, K::AutoInc));
    tema->addField(makeField(schema::topics::name, K::Text, 20));

    quest->addField(makeHiddenField(schema::questionKey, K::AutoInc));
    quest->addField(makeField(schema::questions::text, K::Text, 255));
    quest->addField(makeHiddenField(schema::topicKey, K::Integer));

    ans->addField(makeHiddenField(schema::answers::key, K::AutoInc));
    ans->addField(makeField(schema::answers::text, K::Text, 25));
    ans->addField(makeHiddenField(schema::questionKey, K::Integer));
    ans->addField(makeField(schema::answers::correct, K::Boolean));

    rez->addField(makeHiddenField(schema::results::key, K::AutoInc));
    rez->addField(
        makeLookupField(schema::results::surname, schema::pupilKey, ych, schema::pupils::surname, 10));
    rez->addField(
        makeLookupField(schema::results::firstName, schema::pupilKey, ych, schema::pupils::firstName, 10));
    rez->addField(
        makeLookupField(schema::results::className, schema::classKey, klass, schema::classes::name, 2));
    rez->addField(
        makeLookupField(schema::results::topicName, schema::topicKey, tema, schema::topics::name, 15));
    rez->addField(makeField(schema::results::date, K::DateTime, 9));
    rez->addField(makeField(schema::results::points, K::Text, 2));
    rez->addField(makeField(schema::results::grade, K::Integer, 2));
    rez->addField(makeHiddenField(schema::pupilKey, K::Integer));
    rez->addField(makeHiddenField(schema::topicKey, K::Integer));
    rez->addField(makeHiddenField(schema::classKey, K::Integer));

    DataSource1 = new DataSource(QStringLiteral("DataSource1"), ych, this);
    DataSource2 = new DataSource(QStringLiteral("DataSource2"), klass, this);
    DataSource3 = new DataSource(QStringLiteral("DataSource3"), tema, this);
    DataSource4 = new DataSource(QStringLiteral("DataSource4"), quest, this);
    DataSource5 = new DataSource(QStringLiteral("DataSource5"), ans, this);
    DataSource6 = new DataSource(QStringLiteral("DataSource6"), rez, this);

    quest->setMaster(DataSource3, schema::topicKey, schema::topicKey);
    ans->setMaster(DataSource4, schema::questionKey, schema::questionKey);

    ADOQuery1 = new Query(QStringLiteral("ADOQuery1"), ADOConnection1, this);

    // Windows created before the data module bound their widgets by name; they attach now.
    for (DataSource* source : {DataSource1, DataSource2, DataSource3, DataSource4, DataSource5, DataSource6})
        DataSourceRegistry::instance().add(source);

    if (open == Open::Now)
        openAll();
}

TDataModule11::~TDataModule11() {
    for (DataSource* source : {DataSource1, DataSource2, DataSource3, DataSource4, DataSource5, DataSource6})
        DataSourceRegistry::instance().remove(source);
}

QString TDataModule11::defaultConnectionString() {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=Primer.mdb;"
                          "Mode=Share Deny None;Persist Security Info=False;"
                          "Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
                          "Jet OLEDB:Database Password=\"\";Jet OLEDB:Engine Type=5;"
                          "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
                          "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
                          "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
                          "Jet OLEDB:Don't Copy Locale on Compact=False;"
                          "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");
}

void TDataModule11::openAll() {
    // Each opening stands by itself: a failure is reported and the next one is tried. A server that cannot be
    // reached is told once, not once for every table.
    bool serverUnreachable = false;
    const auto attempt = [&](const auto& step) {
        if (serverUnreachable)
            return;
        try {
            step();
        } catch (const Failure& f) {
            reportFailure(f.text());
            serverUnreachable = !ADOConnection1->server().isEmpty() && !ADOConnection1->isConnected();
        }
    };
    for (Table* table : {ych, klass, tema, quest, ans, rez})
        attempt([table] { table->open(); });
    attempt([this] { ADOConnection1->open(); });
}

void TDataModule11::openAfterConnect() {
    ADOConnection1->open();
    for (Table* table : {klass, tema, quest, ans, rez, ych})
        table->open();
}

namespace {

// A failure of the server's functions as the program's sentence.
[[noreturn]] void serverFailed(const QString& lead, const backend::DatabaseError& error) {
    throw Failure(lead + (error.problem.isEmpty() ? error.text : error.problem));
}

} // namespace

void TDataModule11::sessionChanged() {
    // What the lab's views show depends on who is signed in: answers' keys to a teacher, results to their
    // pupil.
    for (Table* table : {ans, rez})
        if (table->isActive())
            table->refresh();
}

bool TDataModule11::passwordMatches(const QString& typed) {
    ServerBackend* server = ADOConnection1->serverBackend();
    if (!server)
        return passwords::matches(typed, ych->asText(schema::pupils::passwordPos));
    try {
        const QList<QVariantList> rows =
            server->call(QStringLiteral("SELECT session FROM muzyka.sign_in($1, $2)"),
                         {ych->value(schema::pupilKey), typed});
        server->setSession(rows.value(0).value(0).toString());
    } catch (const backend::DatabaseError& error) {
        if (error.state == u"MZ001" || error.state == u"MZ002")
            return false;
        serverFailed(QStringLiteral("ADOConnection1: "), error);
    }
    sessionChanged();
    return true;
}

TDataModule11::SignIn TDataModule11::signInBySurname(const QString& surname, const QString& password) {
    ServerBackend* server = ADOConnection1->serverBackend();
    if (!server) {
        ADOQuery1->setSql(QStringLiteral("SELECT ключ FROM Ученики WHERE фамилия=:surname"));
        ADOQuery1->bindValue(QStringLiteral(":surname"), surname);
        ADOQuery1->open();
        if (ADOQuery1->isEmpty())
            return SignIn::WrongLogin;
        return passwords::matches(password, ADOQuery1->fieldValue(schema::pupils::password).toString())
                   ? SignIn::Signed
                   : SignIn::WrongPassword;
    }
    try {
        const QList<QVariantList> rows = server->call(
            QStringLiteral("SELECT session FROM muzyka.sign_in_by_surname($1, $2)"), {surname, password});
        server->setSession(rows.value(0).value(0).toString());
    } catch (const backend::DatabaseError& error) {
        if (error.state == u"MZ001")
            return SignIn::WrongLogin;
        if (error.state == u"MZ002")
            return SignIn::WrongPassword;
        serverFailed(QStringLiteral("ADOConnection1: "), error);
    }
    sessionChanged();
    return SignIn::Signed;
}

void TDataModule11::signOut() {
    m_attempt = 0;
    ServerBackend* server = ADOConnection1->serverBackend();
    if (!server)
        return;
    try {
        server->call(QStringLiteral("SELECT muzyka.sign_out()"));
        server->setSession({});
    } catch (const backend::DatabaseError& error) {
        serverFailed(QStringLiteral("ADOConnection1: "), error);
    }
    sessionChanged();
}

bool TDataModule11::gradesOnServer() const {
    ServerBackend* server = ADOConnection1->serverBackend();
    if (!server)
        return false;
    try {
        const QList<QVariantList> rows = server->call(
            QStringLiteral("SELECT pg_catalog.to_regprocedure('muzyka.start_test(integer)') IS NOT NULL "
                           "AND NOT pg_catalog.pg_has_role(session_user, 'muzyka_owner', 'MEMBER')"));
        return rows.value(0).value(0).toString() == u"t";
    } catch (const backend::DatabaseError& error) {
        serverFailed(QStringLiteral("ADOConnection1: "), error);
    }
}

TDataModule11::ServerTest TDataModule11::beginTest(int topic) {
    ServerTest test;
    try {
        ServerBackend* server = ADOConnection1->serverBackend();
        m_attempt =
            server->call(QStringLiteral("SELECT muzyka.start_test($1)"), {topic}).value(0).value(0).toInt();
        // A server set up before tests had draws, or before plays were kept, lacks the functions.
        const QVariantList functions =
            server
                ->call(QStringLiteral(
                    "SELECT pg_catalog.to_regprocedure('muzyka.test_questions(integer)') IS NOT NULL, "
                    "pg_catalog.to_regprocedure('muzyka.play_clip(integer,integer)') IS NOT NULL"))
                .value(0);
        m_draws = functions.value(0).toString() == u"t";
        m_plays = functions.value(1).toString() == u"t";
        if (!m_draws)
            return test;
        const QList<QVariantList> rows = server->call(
            QStringLiteral("SELECT question, answers, answered, seconds_left FROM muzyka.test_questions($1)"),
            {m_attempt});
        for (const QVariantList& row : rows) {
            TestQuestion question{row.value(0).toInt(), {}};
            const QString answers = row.value(1).toString();
            for (const QString& key : answers.split(u',', Qt::SkipEmptyParts))
                question.answers << key.toInt();
            test.draw << question;
            if (row.value(2).toString() == u"t")
                ++test.answered;
            if (!row.value(3).isNull())
                test.secondsLeft = row.value(3).toInt();
        }
    } catch (const backend::DatabaseError& error) {
        serverFailed(QStringLiteral("Тест нельзя начать: "), error);
    }
    return test;
}

std::optional<int> TDataModule11::recordAnswer(int question, const QString& answer, QDate day,
                                               int secondsLeft) {
    QVariant points;
    try {
        points = ADOConnection1->serverBackend()
                     ->call(m_draws ? QStringLiteral("SELECT muzyka.answer_question($1, $2, $3, $4, $5)")
                                    : QStringLiteral("SELECT muzyka.answer_question($1, $2, $3, $4)"),
                            {m_attempt, question, answer, day.toString(Qt::ISODate), secondsLeft})
                     .value(0)
                     .value(0);
    } catch (const backend::DatabaseError& error) {
        serverFailed(QStringLiteral("Ответ не сохранён: "), error);
    }
    if (points.isNull())
        return std::nullopt;
    rez->readNewRows();
    return points.toInt();
}

void TDataModule11::recordPlay(int question) {
    if (!m_plays || !m_attempt)
        return;
    try {
        ADOConnection1->serverBackend()->call(QStringLiteral("SELECT muzyka.play_clip($1, $2)"),
                                              {m_attempt, question});
    } catch (const backend::DatabaseError& error) {
        serverFailed(QStringLiteral("Прослушивание не сохранено: "), error);
    }
}

int TDataModule11::clipPlays(int question) {
    if (!m_plays || !m_attempt)
        return 0;
    try {
        return ADOConnection1->serverBackend()
            ->call(QStringLiteral("SELECT muzyka.clip_plays($1, $2)"), {m_attempt, question})
            .value(0)
            .value(0)
            .toInt();
    } catch (const backend::DatabaseError& error) {
        serverFailed(QStringLiteral("Прослушивания вопроса не удалось прочесть: "), error);
    }
}

int TDataModule11::finishTest(QDate day) {
    int points = 0;
    try {
        points = ADOConnection1->serverBackend()
                     ->call(QStringLiteral("SELECT points FROM muzyka.finish_test($1, $2)"),
                            {m_attempt, day.toString(Qt::ISODate)})
                     .value(0)
                     .value(0)
                     .toInt();
    } catch (const backend::DatabaseError& error) {
        // A topic without questions fails as the grade scale fails on a file.
        if (error.state == u"MZ004")
            throw Failure(error.text);
        serverFailed(QStringLiteral("rez: Запись нельзя сохранить: "), error);
    }
    rez->readNewRows();
    return points;
}
