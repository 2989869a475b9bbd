#include "review.h"

#include "base/failure.h"
#include "data/engine/connection.h"
#include "data/engine/query.h"
#include "data/engine/serverbackend.h"

#include <QHash>

namespace review {

QString noLogText() {
    return QStringLiteral("Ответы этого теста не записаны: разбор есть только у тестов, пройденных после "
                          "того, как программа стала записывать ответы.");
}

QString closedText() {
    return QStringLiteral("Учитель не открыл разбор ответов по этой теме.");
}

QString unfinishedText() {
    return QStringLiteral("Разбор по этой теме откроется, когда начатый тест по ней будет закончен.");
}

namespace {

Sheet refused(const QString& why) {
    return {Shown::Nothing, why, {}};
}

Shown shownFor(int level) {
    return level >= 2 ? Shown::Answers : level == 1 ? Shown::Marks : Shown::Nothing;
}

// The lab server decides what the pupil may see and gives only that.
Sheet onServer(ServerBackend& server, int result) {
    QList<QVariantList> rows;
    try {
        rows = server.call(QStringLiteral("SELECT * FROM muzyka.review($1)"), {result});
    } catch (const backend::DatabaseError& error) {
        if (error.state == u"MZ010")
            return refused(noLogText());
        if (error.state == u"MZ011")
            return refused(closedText());
        if (error.state == u"MZ012")
            return refused(unfinishedText());
        throw Failure(QStringLiteral("Разбор нельзя показать: ") +
                      (error.problem.isEmpty() ? error.text : error.problem));
    }
    Sheet sheet;
    sheet.shown = shownFor(rows.isEmpty() ? 1 : rows.first().value(0).toInt());
    for (const QVariantList& r : std::as_const(rows)) {
        Item item;
        item.number = r.value(1).toInt();
        item.question = r.value(2).toString();
        if (!r.value(3).isNull())
            item.answer = r.value(3).toString();
        if (!r.value(4).isNull())
            item.correct = r.value(4).toString() == u"t";
        item.rightAnswers = r.value(5).toString();
        sheet.items.append(item);
    }
    return sheet;
}

bool hasTable(const Connection& connection, const QString& name) {
    return !connection.resolveTableName(name).isEmpty();
}

Sheet onFile(const Connection& connection, int result) {
    if (!hasTable(connection, QStringLiteral("попытки")) ||
        !hasTable(connection, QStringLiteral("ответы_попытки")))
        return refused(noLogText());
    Query query(QStringLiteral("Review"), const_cast<Connection*>(&connection));
    const auto open = [&](const QString& sql, const QVector<QPair<QString, QVariant>>& values) {
        query.setSql(sql);
        for (const auto& [name, value] : values)
            query.bindValue(name, value);
        query.open();
    };
    open(QStringLiteral("SELECT id_попытки, id_ученика, id_темы FROM попытки WHERE id_результата = :result"),
         {{QStringLiteral(":result"), result}});
    if (query.isEmpty())
        return refused(noLogText());
    const QVariant attempt = query.valueAt(0, 0);
    const QVariant pupil = query.valueAt(0, 1);
    const QVariant topic = query.valueAt(0, 2);

    int level = 0;
    if (hasTable(connection, QStringLiteral("НастройкиТемы"))) {
        open(QStringLiteral("SELECT разбор FROM НастройкиТемы WHERE id_темы = :topic"),
             {{QStringLiteral(":topic"), topic}});
        level = query.valueAt(0, 0).toInt();
    }
    const Shown shown = shownFor(level);
    if (shown == Shown::Nothing)
        return refused(closedText());
    // A test of the topic begun and not stored: its questions may be among these.
    open(QStringLiteral("SELECT count(*) FROM попытки WHERE id_ученика = :pupil AND id_темы = :topic "
                        "AND id_результата IS NULL"),
         {{QStringLiteral(":pupil"), pupil}, {QStringLiteral(":topic"), topic}});
    if (query.valueAt(0, 0).toInt() > 0)
        return refused(unfinishedText());

    QHash<int, QString> questionText;
    open(QStringLiteral("SELECT id_вопроса, вопрос FROM Вопрос WHERE id_темы = :topic"),
         {{QStringLiteral(":topic"), topic}});
    for (int row = 0; row < query.rowCount(); ++row)
        questionText.insert(query.valueAt(row, 0).toInt(), query.valueAt(row, 1).toString());
    QHash<int, QStringList> right;
    if (shown == Shown::Answers) {
        open(QStringLiteral("SELECT a.id_вопроса, a.ответ FROM Ответы a JOIN Вопрос q ON q.id_вопроса = "
                            "a.id_вопроса WHERE q.id_темы = :topic AND a.статус <> 0 ORDER BY a.id_ответа"),
             {{QStringLiteral(":topic"), topic}});
        for (int row = 0; row < query.rowCount(); ++row)
            right[query.valueAt(row, 0).toInt()].append(query.valueAt(row, 1).toString());
    }

    Sheet sheet;
    sheet.shown = shown;
    QHash<int, int> itemOf; // question -> index in sheet.items
    const auto add = [&](int question) {
        Item item;
        item.number = int(sheet.items.size()) + 1;
        item.question = questionText.value(question, QStringLiteral("(вопрос удалён)"));
        if (shown == Shown::Answers)
            item.rightAnswers = right.value(question).join(QStringLiteral("; "));
        itemOf.insert(question, int(sheet.items.size()));
        sheet.items.append(item);
    };
    // The questions in the order the test asked them, then any answered that the draw does not list.
    if (hasTable(connection, QStringLiteral("вопросы_попытки"))) {
        open(QStringLiteral(
                 "SELECT id_вопроса FROM вопросы_попытки WHERE id_попытки = :attempt ORDER BY номер"),
             {{QStringLiteral(":attempt"), attempt}});
        for (int row = 0; row < query.rowCount(); ++row)
            add(query.valueAt(row, 0).toInt());
    }
    open(QStringLiteral("SELECT id_вопроса, ответ, верно FROM ответы_попытки WHERE id_попытки = :attempt "
                        "ORDER BY время, rowid"),
         {{QStringLiteral(":attempt"), attempt}});
    for (int row = 0; row < query.rowCount(); ++row) {
        const int question = query.valueAt(row, 0).toInt();
        if (!itemOf.contains(question))
            add(question);
        Item& item = sheet.items[itemOf.value(question)];
        item.answer = query.valueAt(row, 1).toString();
        item.correct = query.valueAt(row, 2).toInt() != 0;
    }
    return sheet;
}

} // namespace

Sheet load(const Connection& connection, int result) {
    ServerBackend* server = connection.serverBackend();
    return server ? onServer(*server, result) : onFile(connection, result);
}

} // namespace review
