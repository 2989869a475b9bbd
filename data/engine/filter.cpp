#include "filter.h"

#include "formats.h"
#include "quoting.h"
#include "storage.h"

#include "base/failure.h"

#include <QRegularExpression>
#include <QScopedValueRollback>

#include <vector>

namespace filter {

namespace {

enum class Tri : quint8 { False, True, Unknown };

Tri negate(Tri t) {
    if (t == Tri::Unknown)
        return t;
    return t == Tri::True ? Tri::False : Tri::True;
}

// One operand's value while a row is tested. Integers, yes/no and date-times compare as whole numbers.
struct Val {
    enum Type : quint8 { Null, Number, Real, Text };
    Type type = Null;
    qint64 i = 0;
    double d = 0;
    QString s;

    static Val number(qint64 v) { return {Number, v, 0, {}}; }
    static Val real(double v) { return {Real, 0, v, {}}; }
    static Val text(QString v) { return {Text, 0, 0, std::move(v)}; }
    double asDouble() const { return type == Real ? d : double(i); }
    QString asText() const {
        if (type == Text)
            return s;
        return type == Real ? QString::number(d) : QString::number(i);
    }
};

enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

template <typename T> Tri order(const T& a, const T& b, Op op) {
    bool r = false;
    switch (op) {
    case Op::Eq:
        r = a == b;
        break;
    case Op::Ne:
        r = a != b;
        break;
    case Op::Lt:
        r = a < b;
        break;
    case Op::Gt:
        r = a > b;
        break;
    case Op::Le:
        r = a <= b;
        break;
    case Op::Ge:
        r = a >= b;
        break;
    }
    return r ? Tri::True : Tri::False;
}

Tri compareVals(const Val& a, const Val& b, Op op) {
    if (a.type == Val::Null || b.type == Val::Null)
        return Tri::Unknown;
    if (a.type == Val::Number && b.type == Val::Number)
        return order(a.i, b.i, op);
    if (a.type != Val::Text && b.type != Val::Text)
        return order(a.asDouble(), b.asDouble(), op);
    if (a.type == Val::Text && b.type == Val::Text)
        return order(QString::compare(a.s, b.s, Qt::CaseInsensitive), 0, op);
    // Text against a number: numerically when the text is a number, else as texts.
    const Val& text = a.type == Val::Text ? a : b;
    bool ok = false;
    const double number = text.s.trimmed().toDouble(&ok);
    if (ok)
        return a.type == Val::Text ? order(number, b.asDouble(), op) : order(a.asDouble(), number, op);
    return order(QString::compare(a.asText(), b.asText(), Qt::CaseInsensitive), 0, op);
}

struct Operand {
    bool isField = false;
    FieldInfo field;
    Val constant;

    Val get(const RowSource& rows, int row) const {
        if (!isField)
            return constant;
        if (const Column* column = rows.column(field.pos)) {
            if (column->isNull(row))
                return {};
            if (column->isText())
                return Val::text(column->textAt(row));
            return Val::number(column->intAt(row));
        }
        const QVariant value = rows.value(row, field.pos);
        return value.isNull() ? Val() : Val::text(value.toString());
    }

    QString text(const RowSource& rows, int row) const {
        if (!isField)
            return constant.asText();
        if (const Column* column = rows.column(field.pos)) {
            if (column->isText())
                return column->textAt(row);
            return formats::displayText(field.kind, column->value(row));
        }
        return rows.value(row, field.pos).toString();
    }

    bool isNull(const RowSource& rows, int row) const {
        if (!isField)
            return constant.type == Val::Null;
        if (const Column* column = rows.column(field.pos))
            return column->isNull(row);
        return rows.value(row, field.pos).isNull();
    }
};

// A constant compared with a field is read as a value of that field's kind.
Val coerce(const Val& c, const FieldInfo& field) {
    if (c.type == Val::Null)
        return c;
    switch (field.kind) {
    case FieldKind::AutoInc:
    case FieldKind::Integer: {
        if (c.type != Val::Text)
            return c;
        bool ok = false;
        const qlonglong v = c.s.trimmed().toLongLong(&ok);
        if (!ok)
            throw Failure(
                QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(c.s, field.name));
        return Val::number(v);
    }
    case FieldKind::Boolean: {
        if (c.type != Val::Text)
            return Val::number(c.asDouble() != 0 ? 1 : 0);
        bool ok = false;
        const qlonglong v = c.s.trimmed().toLongLong(&ok);
        if (ok)
            return Val::number(v != 0 ? 1 : 0);
        const QVariant b = formats::parseTyped(FieldKind::Boolean, c.s.trimmed(), field.name);
        return b.isNull() ? Val() : Val::number(b.toBool() ? 1 : 0);
    }
    case FieldKind::DateTime: {
        const QDateTime v = c.type == Val::Text ? formats::parseDateTime(c.s) : QDateTime();
        if (!v.isValid())
            throw Failure(QStringLiteral("'%1' is not a valid date and time").arg(c.asText()));
        return Val::number(Column::encodeDateTime(v));
    }
    case FieldKind::Text:
    case FieldKind::Lookup:
        break;
    }
    return Val::text(c.asText());
}

} // namespace

class Node {
public:
    virtual ~Node() = default;
    virtual Tri test(const RowSource& rows, int row) const = 0;
};

namespace {

class Compare : public Node {
public:
    // `a` is a field; a constant `b` is read as a value of that field's kind once, here.
    Compare(Operand a, Op op, Operand b) : m_a(std::move(a)), m_op(op), m_b(std::move(b)) {
        if (!m_b.isField)
            m_b.constant = coerce(m_b.constant, m_a.field);
    }
    Tri test(const RowSource& rows, int row) const override {
        return compareVals(m_a.get(rows, row), m_b.get(rows, row), m_op);
    }

private:
    Operand m_a;
    Op m_op;
    Operand m_b;
};

class IsNull : public Node {
public:
    IsNull(Operand a, bool negated) : m_a(std::move(a)), m_negated(negated) {}
    Tri test(const RowSource& rows, int row) const override {
        return m_a.isNull(rows, row) != m_negated ? Tri::True : Tri::False;
    }

private:
    Operand m_a;
    bool m_negated;
};

class Like : public Node {
public:
    Like(Operand a, const QString& pattern) : m_a(std::move(a)) {
        QString regex;
        for (const QChar c : pattern)
            regex += (c == u'*' || c == u'%') ? QStringLiteral(".*") : QRegularExpression::escape(QString(c));
        m_regex.setPattern(QRegularExpression::anchoredPattern(regex));
        m_regex.setPatternOptions(QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption |
                                  QRegularExpression::UseUnicodePropertiesOption);
    }
    Tri test(const RowSource& rows, int row) const override {
        if (m_a.isNull(rows, row))
            return Tri::Unknown;
        return m_regex.match(m_a.text(rows, row)).hasMatch() ? Tri::True : Tri::False;
    }

private:
    Operand m_a;
    QRegularExpression m_regex;
};

class Not : public Node {
public:
    explicit Not(std::unique_ptr<Node> a) : m_a(std::move(a)) {}
    Tri test(const RowSource& rows, int row) const override { return negate(m_a->test(rows, row)); }

private:
    std::unique_ptr<Node> m_a;
};

// A run of terms joined by the same AND or OR, held side by side so that a long run never nests deeply.
class Logic : public Node {
public:
    Logic(std::vector<std::unique_ptr<Node>> terms, bool isAnd) : m_terms(std::move(terms)), m_and(isAnd) {}
    Tri test(const RowSource& rows, int row) const override {
        const Tri decisive = m_and ? Tri::False : Tri::True;
        bool unknown = false;
        for (const auto& term : m_terms) {
            const Tri t = term->test(rows, row);
            if (t == decisive)
                return t;
            unknown = unknown || t == Tri::Unknown;
        }
        return unknown ? Tri::Unknown : negate(decisive);
    }

private:
    std::vector<std::unique_ptr<Node>> m_terms;
    bool m_and;
};

struct Token {
    enum Type { End, Word, Name, String, Number, Operator, Open, Close, Minus };
    Type type = End;
    QString text;
};

std::vector<Token> tokenize(const QString& text) {
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'\'' || c == u'"') {
            QString value;
            if (!readQuoted(text, i, &value))
                throw Failure(QStringLiteral("Unterminated string in filter expression"));
            tokens.push_back({Token::String, value});
        } else if (c == u'[') {
            const qsizetype end = text.indexOf(u']', i + 1);
            if (end < 0)
                throw Failure(QStringLiteral("Unterminated field name in filter expression"));
            tokens.push_back({Token::Name, text.mid(i + 1, end - i - 1).trimmed()});
            i = end + 1;
        } else if (c.isDigit()) {
            const qsizetype start = i;
            while (i < n && (text[i].isDigit() || text[i] == u'.'))
                ++i;
            tokens.push_back({Token::Number, text.mid(start, i - start)});
        } else if (c.isLetter() || c == u'_') {
            const qsizetype start = i;
            while (i < n && (text[i].isLetterOrNumber() || text[i] == u'_' || text[i].isMark()))
                ++i;
            tokens.push_back({Token::Word, text.mid(start, i - start)});
        } else if (c == u'(') {
            tokens.push_back({Token::Open, QStringLiteral("(")});
            ++i;
        } else if (c == u')') {
            tokens.push_back({Token::Close, QStringLiteral(")")});
            ++i;
        } else if (c == u'-') {
            tokens.push_back({Token::Minus, QStringLiteral("-")});
            ++i;
        } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
            // The two-character operators are <=, >=, <> and !=; "==" is two "=" and so malformed.
            QString op(c);
            if (i + 1 < n && ((c != u'=' && text[i + 1] == u'=') || (c == u'<' && text[i + 1] == u'>')))
                op += text[i + 1];
            if (op == u"!")
                throw Failure(QStringLiteral("Invalid character '!' in filter expression"));
            tokens.push_back({Token::Operator, op});
            i += op.size();
        } else {
            throw Failure(QStringLiteral("Invalid character '%1' in filter expression").arg(c));
        }
    }
    tokens.push_back({Token::End, {}});
    return tokens;
}

class Parser {
public:
    Parser(const QString& text, const std::function<FieldInfo(const QString&)>& resolve)
        : m_tokens(tokenize(text)), m_resolve(resolve) {}

    std::unique_ptr<Node> parse() {
        auto root = parseOr();
        if (peek().type != Token::End)
            throw Failure(QStringLiteral("Filter expression incorrectly terminated"));
        return root;
    }

private:
    const Token& peek() const { return m_tokens[m_at]; }
    const Token& take() { return m_tokens[m_at++]; }
    bool isWord(const Token& t, const char* word) const {
        return t.type == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isKeyword(const Token& t) const {
        for (const char* word : {"AND", "OR", "NOT", "LIKE", "IS"})
            if (isWord(t, word))
                return true;
        return false;
    }
    bool takeWord(const char* word) {
        if (!isWord(peek(), word))
            return false;
        ++m_at;
        return true;
    }
    [[noreturn]] void expected(const QString& what) const {
        if (peek().type == Token::End)
            throw Failure(QStringLiteral("Incomplete filter expression: %1 expected at the end").arg(what));
        throw Failure(QStringLiteral("%1 expected in filter expression before '%2'").arg(what, peek().text));
    }

    std::unique_ptr<Node> parseOr() {
        std::vector<std::unique_ptr<Node>> terms;
        terms.push_back(parseAnd());
        while (takeWord("OR"))
            terms.push_back(parseAnd());
        if (terms.size() == 1)
            return std::move(terms.front());
        return std::make_unique<Logic>(std::move(terms), false);
    }

    std::unique_ptr<Node> parseAnd() {
        std::vector<std::unique_ptr<Node>> factors;
        factors.push_back(parseFactor());
        while (takeWord("AND"))
            factors.push_back(parseFactor());
        if (factors.size() == 1)
            return std::move(factors.front());
        return std::make_unique<Logic>(std::move(factors), true);
    }

    // NOT and brackets nest by recursion: their depth is limited, so that no text can exhaust the stack.
    std::unique_ptr<Node> parseFactor() {
        if (m_depth >= maxDepth)
            throw Failure(QStringLiteral("Выражение фильтра вложено слишком глубоко: допускается не более %1 "
                                         "уровней скобок и NOT.")
                              .arg(maxDepth));
        const QScopedValueRollback<int> deeper(m_depth, m_depth + 1);
        if (takeWord("NOT"))
            return std::make_unique<Not>(parseFactor());
        if (peek().type == Token::Open) {
            take();
            auto node = parseOr();
            if (peek().type != Token::Close)
                expected(QStringLiteral("')'"));
            take();
            return node;
        }
        // Each comparison names a field first, so that typed text closing its quotes early (5' OR '1'='1)
        // cannot turn into a test of constants.
        if (peek().type != Token::End && peek().type != Token::Name &&
            (peek().type != Token::Word || isKeyword(peek()) || isWord(peek(), "NULL") ||
             isWord(peek(), "TRUE") || isWord(peek(), "FALSE")))
            throw Failure(QStringLiteral("Field name expected in filter expression"));
        Operand left = parseOperand();
        const Token& next = peek();
        if (next.type == Token::Operator) {
            const QString op = take().text;
            Operand right = parseOperand();
            const bool nullTest = !right.isField && right.constant.type == Val::Null;
            if (nullTest && (op == u"=" || op == u"<>" || op == u"!="))
                return std::make_unique<IsNull>(std::move(left), op != u"=");
            return std::make_unique<Compare>(std::move(left), toOp(op), std::move(right));
        }
        const bool negated = isWord(next, "NOT") && isWord(m_tokens[m_at + 1], "LIKE");
        if (negated)
            take();
        if (takeWord("LIKE")) {
            if (peek().type != Token::String)
                expected(QStringLiteral("A quoted pattern"));
            auto like = std::make_unique<Like>(std::move(left), take().text);
            if (negated)
                return std::make_unique<Not>(std::move(like));
            return like;
        }
        if (takeWord("IS")) {
            const bool isNot = takeWord("NOT");
            if (!takeWord("NULL"))
                expected(QStringLiteral("NULL"));
            return std::make_unique<IsNull>(std::move(left), isNot);
        }
        if (left.isField && left.field.kind == FieldKind::Boolean)
            return std::make_unique<Compare>(std::move(left), Op::Eq, Operand{false, {}, Val::number(1)});
        expected(QStringLiteral("A comparison"));
    }

    static Op toOp(const QString& op) {
        if (op == u"=")
            return Op::Eq;
        if (op == u"<>" || op == u"!=")
            return Op::Ne;
        if (op == u"<")
            return Op::Lt;
        if (op == u">")
            return Op::Gt;
        if (op == u"<=")
            return Op::Le;
        if (op == u">=")
            return Op::Ge;
        throw Failure(QStringLiteral("Invalid operator '%1' in filter expression").arg(op));
    }

    Operand parseOperand() {
        const Token& t = peek();
        switch (t.type) {
        case Token::String:
            return {false, {}, Val::text(take().text)};
        case Token::Number:
        case Token::Minus:
            return {false, {}, parseNumber()};
        case Token::Name:
            return fieldOperand(take().text);
        case Token::Word:
            if (isKeyword(t))
                break;
            if (takeWord("NULL"))
                return {};
            if (takeWord("TRUE"))
                return {false, {}, Val::number(1)};
            if (takeWord("FALSE"))
                return {false, {}, Val::number(0)};
            return fieldOperand(take().text);
        case Token::End:
        case Token::Operator:
        case Token::Open:
        case Token::Close:
            break;
        }
        expected(QStringLiteral("A field name or value"));
    }

    Val parseNumber() {
        const bool negative = peek().type == Token::Minus;
        if (negative)
            take();
        if (peek().type != Token::Number)
            expected(QStringLiteral("A number"));
        const QString text = (negative ? QStringLiteral("-") : QString()) + take().text;
        bool ok = false;
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            return Val::number(whole);
        const double real = text.toDouble(&ok);
        if (!ok)
            throw Failure(QStringLiteral("'%1' is not a valid number in filter expression").arg(text));
        return Val::real(real);
    }

    Operand fieldOperand(const QString& name) {
        FieldInfo info = m_resolve(name);
        if (info.pos < 0)
            throw Failure(QStringLiteral("Field '%1' not found").arg(name));
        return {true, std::move(info), {}};
    }

    static constexpr int maxDepth = 256;

    std::vector<Token> m_tokens;
    size_t m_at = 0;
    int m_depth = 0;
    const std::function<FieldInfo(const QString&)>& m_resolve;
};

} // namespace

QString quotedValue(const QString& text) {
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

Expression::Expression(const QString& text, const std::function<FieldInfo(const QString&)>& resolve) {
    if (!text.trimmed().isEmpty())
        m_root = Parser(text, resolve).parse();
}

Expression::~Expression() = default;

bool Expression::matches(const RowSource& rows, int row) const {
    return !m_root || m_root->test(rows, row) == Tri::True;
}

} // namespace filter
