#include "sqlnames.h"

#include "connection.h"

#include <QHash>
#include <QSet>

#include <vector>

namespace {

struct Token {
    enum Type { Space, Word, QuotedName, Literal, Placeholder, Operator, Other };
    Type type = Other;
    QString text;
};

std::vector<Token> tokenize(const QString& sql) {
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    auto until = [&](qsizetype from, QChar close) {
        qsizetype j = from + 1;
        while (j < n) {
            if (sql[j] == close) {
                if (close != u']' && j + 1 < n && sql[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = sql[i];
        qsizetype end = i + 1;
        Token::Type type = Token::Other;
        if (c.isSpace()) {
            while (end < n && sql[end].isSpace())
                ++end;
            type = Token::Space;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            end = sql.indexOf(u'\n', i);
            end = end < 0 ? n : end;
            type = Token::Space;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            end = sql.indexOf(QLatin1String("*/"), i + 2);
            end = end < 0 ? n : end + 2;
            type = Token::Space;
        } else if (c == u'\'') {
            end = until(i, c);
            type = Token::Literal;
        } else if (c == u'"' || c == u'`' || c == u'[') {
            end = until(i, c == u'[' ? QChar(u']') : c);
            type = Token::QuotedName;
        } else if (c.isLetter() || c == u'_') {
            while (end < n &&
                   (sql[end].isLetterOrNumber() || sql[end] == u'_' || sql[end] == u'$' || sql[end].isMark()))
                ++end;
            type = Token::Word;
        } else if ((c == u':' || c == u'@' || c == u'$') && i + 1 < n &&
                   (sql[i + 1].isLetterOrNumber() || sql[i + 1] == u'_')) {
            while (end < n && (sql[end].isLetterOrNumber() || sql[end] == u'_'))
                ++end;
            type = Token::Placeholder;
        } else if (c == u'?') {
            while (end < n && sql[end].isDigit())
                ++end;
            type = Token::Placeholder;
        } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
            if (end < n && (sql[end] == u'=' || sql[end] == u'>'))
                ++end;
            type = Token::Operator;
        }
        tokens.push_back({type, sql.mid(i, end - i)});
        i = end;
    }
    return tokens;
}

QString unquoted(const QString& text) {
    const QChar open = text.front();
    const QChar close = open == u'[' ? QChar(u']') : open;
    QString inner = text.mid(1, text.endsWith(close) && text.size() > 1 ? text.size() - 2 : text.size() - 1);
    if (open != u'[')
        inner.replace(QString(2, open), QString(open));
    return inner;
}

bool isWord(const Token& t, const char* word) {
    return t.type == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

} // namespace

QString rewriteSql(const Connection& connection, const QString& sql) {
    QHash<QString, QString> tables;
    QHash<QString, QString> columns;
    for (const QString& table : connection.tableNames()) {
        tables.insert(table.toCaseFolded(), table);
        for (const auto& column : connection.columns(table))
            columns.insert(column.name.toCaseFolded(), column.name);
    }
    std::vector<Token> tokens = tokenize(sql);
    auto significant = [&](qsizetype from, int step) -> const Token* {
        for (qsizetype j = from + step; j >= 0 && j < qsizetype(tokens.size()); j += step)
            if (tokens[size_t(j)].type != Token::Space)
                return &tokens[size_t(j)];
        return nullptr;
    };
    static const QSet<QString> clauseEnds{
        QStringLiteral("where"), QStringLiteral("group"), QStringLiteral("order"), QStringLiteral("having"),
        QStringLiteral("limit"), QStringLiteral("union"), QStringLiteral("on"),    QStringLiteral("using")};
    const QString collation = QStringLiteral(" COLLATE ") + connection.backend().caseInsensitiveCollation();
    bool inFrom = false;
    QString out;
    for (qsizetype i = 0; i < qsizetype(tokens.size()); ++i) {
        Token& t = tokens[size_t(i)];
        const Token* prev = significant(i, -1);
        const Token* next = significant(i, 1);
        if (t.type == Token::Word) {
            const QString lower = t.text.toLower();
            if (lower == u"from" || lower == u"join")
                inFrom = true;
            else if (clauseEnds.contains(lower))
                inFrom = false;
        }
        if (t.type == Token::Word || t.type == Token::QuotedName) {
            const QString name = t.type == Token::Word ? t.text : unquoted(t.text);
            const QString folded = name.toCaseFolded();
            const bool tableContext = (prev && (isWord(*prev, "FROM") || isWord(*prev, "JOIN") ||
                                                (inFrom && prev->text == u","))) ||
                                      (next && next->text == u".");
            QString real;
            if (tableContext)
                real = tables.value(folded);
            if (real.isEmpty() && !tableContext)
                real = columns.value(folded, tables.value(folded));
            // A found name is always quoted: the server folds unquoted names to lower case.
            if (!real.isEmpty())
                t.text = Connection::quoted(real);
        }
        out += t.text;
        const bool value = t.type == Token::Literal || t.type == Token::Placeholder;
        if (value && ((prev && prev->type == Token::Operator) || (next && next->type == Token::Operator)))
            out += collation;
    }
    return out;
}
