// GIFT: questions parted by blank lines, "//" comment lines, "$CATEGORY:" lines, "::title::", an optional
// "[format]", the answers between braces ("=" the correct one, "~" a wrong one, "#" feedback), and "\"
// before a character that would otherwise mean something.

#include "draft.h"
#include "html.h"

#include <QStringList>

#include <algorithm>

namespace bank {

namespace {

// Escaped characters stand in as characters of the private use area while the question is taken apart.
const QString specials = QStringLiteral("~=#{}:\\");
constexpr char16_t firstStandIn = 0xE000;

QString hideEscapes(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const qsizetype special = specials.indexOf(text[i + 1]);
            if (special >= 0) {
                out += QChar(char16_t(firstStandIn + special));
                ++i;
                continue;
            }
            if (text[i + 1] == u'n') {
                out += u'\n';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString restoreEscapes(QString text) {
    for (qsizetype i = 0; i < specials.size(); ++i)
        text.replace(QChar(char16_t(firstStandIn + i)), specials[i]);
    return text;
}

struct Part {
    QString text;
    QString format; // "html", "moodle", "plain", "markdown"
};

// A text of the question as the program's plain text, by the question's format.
html::Text plain(const QString& text, const QString& format) {
    const QString restored = restoreEscapes(text);
    if (format == u"plain" || format == u"markdown")
        return {restored.simplified(), {}, {}};
    return html::toPlain(restored);
}

// "[html]" and the like at the start of a text: the format, taken off.
QString takeFormat(QString* text) {
    static const QStringList formats = {QStringLiteral("html"), QStringLiteral("moodle"),
                                        QStringLiteral("plain"), QStringLiteral("markdown")};
    const QString trimmed = text->trimmed();
    for (const QString& format : formats) {
        const QString marker = u'[' + format + u']';
        if (trimmed.startsWith(marker)) {
            *text = trimmed.mid(marker.size());
            return format;
        }
    }
    return {};
}

// The answers between the braces; a sentence in `problem` when the program cannot take them.
QVector<draft::Answer> readAnswers(QString block, const QString& format, QString* problem) {
    // General feedback ("####…") ends the block.
    const qsizetype general = block.indexOf(QStringLiteral("####"));
    if (general >= 0)
        block.truncate(general);
    const QString body = block.trimmed();
    const QString upper = body.section(u'#', 0, 0).trimmed().toUpper();
    if (body.isEmpty()) {
        *problem = QStringLiteral("вопрос-эссе программа не принимает");
        return {};
    }
    if (body.startsWith(u'#')) {
        *problem = QStringLiteral("числовой вопрос программа не принимает");
        return {};
    }
    if (upper == u"T" || upper == u"TRUE" || upper == u"F" || upper == u"FALSE") {
        const bool truth = upper.startsWith(u'T');
        return {{QStringLiteral("Верно"), truth ? 100.0 : 0.0},
                {QStringLiteral("Неверно"), truth ? 0.0 : 100.0}};
    }
    if (!body.contains(u'~')) {
        *problem = body.contains(QStringLiteral("->"))
                       ? QStringLiteral("вопрос на соответствие программа не принимает")
                       : QStringLiteral("вопрос с кратким ответом программа не принимает");
        return {};
    }
    QVector<draft::Answer> answers;
    bool marked = false; // an answer marked correct with "="
    qsizetype i = 0;
    while (i < body.size()) {
        const QChar marker = body[i];
        if (marker != u'=' && marker != u'~') {
            *problem =
                QStringLiteral("ответ «%1» не начат знаком «=» или «~»").arg(restoreEscapes(body.mid(i, 20)));
            return {};
        }
        qsizetype next = i + 1;
        while (next < body.size() && body[next] != u'=' && body[next] != u'~')
            ++next;
        QString answer = body.mid(i + 1, next - i - 1);
        i = next;
        // Feedback after "#" is not kept: the program gives none per answer.
        const qsizetype feedback = answer.indexOf(u'#');
        if (feedback >= 0)
            answer.truncate(feedback);
        marked = marked || marker == u'=';
        double fraction = marker == u'=' ? 100 : 0;
        // "%50%": a weight of the answer.
        if (answer.startsWith(u'%')) {
            const qsizetype close = answer.indexOf(u'%', 1);
            bool ok = false;
            const double weight = close > 0 ? answer.mid(1, close - 1).toDouble(&ok) : 0;
            if (!ok) {
                *problem = QStringLiteral("вес ответа «%1» не число").arg(restoreEscapes(answer));
                return {};
            }
            fraction = weight;
            answer = answer.mid(close + 1);
        }
        if (answer.contains(QStringLiteral("->"))) {
            *problem = QStringLiteral("вопрос на соответствие программа не принимает");
            return {};
        }
        const html::Text text = plain(answer, format);
        if (!text.references.isEmpty() || !text.outside.isEmpty()) {
            *problem = QStringLiteral("в ответе картинка или звук, а программа показывает ответы текстом");
            return {};
        }
        answers.append({text.plain, fraction});
    }
    // Marks shared out among "~" answers: Moodle's kind with check boxes.
    const auto weighted =
        std::count_if(answers.begin(), answers.end(), [](const auto& a) { return a.fraction > 0; });
    if (!marked && weighted > 1)
        *problem = QStringLiteral("вопрос с несколькими верными ответами программа не принимает");
    return answers;
}

draft::Draft readQuestion(QString text, int line, const QString& topic) {
    draft::Draft d;
    d.line = line;
    d.topic = topic;
    text = hideEscapes(text).trimmed();
    if (text.startsWith(QStringLiteral("::"))) {
        const qsizetype close = text.indexOf(QStringLiteral("::"), 2);
        if (close < 0) {
            d.problem = QStringLiteral("название вопроса не закрыто знаками «::»");
            return d;
        }
        d.title = restoreEscapes(text.mid(2, close - 2)).simplified();
        text = text.mid(close + 2);
    }
    const QString format = takeFormat(&text);
    const qsizetype open = text.indexOf(u'{');
    const qsizetype close = text.lastIndexOf(u'}');
    if (open < 0) {
        d.text = plain(text, format).plain;
        d.problem = QStringLiteral("в нём нет ответов в фигурных скобках: это описание, а не вопрос");
        return d;
    }
    if (close < open) {
        d.text = plain(text.left(open), format).plain;
        d.problem = QStringLiteral("нет закрывающей скобки «}» после ответов");
        return d;
    }
    QString answerBlock = text.mid(open + 1, close - open - 1);
    const QString answerFormat = takeFormat(&answerBlock);
    const QString after = text.mid(close + 1).trimmed();
    // Answers in the middle of the sentence: a missing word, shown as a gap.
    QString questionText = text.left(open);
    if (!after.isEmpty())
        questionText +=
            QStringLiteral("_____") + (after[0].isLetterOrNumber() ? QStringLiteral(" ") : QString()) + after;
    const html::Text plainText = plain(questionText, format);
    d.text = plainText.plain;
    if (!plainText.references.isEmpty() || !plainText.outside.isEmpty()) {
        d.problem = QStringLiteral("картинка или звук не вложены в файл (в GIFT их не вложить)");
        return d;
    }
    if (answerBlock.contains(u'{') || after.contains(u'{')) {
        d.problem = QStringLiteral("фигурная скобка без «\\» внутри вопроса");
        return d;
    }
    d.answers = readAnswers(answerBlock, answerFormat.isEmpty() ? format : answerFormat, &d.problem);
    return d;
}

} // namespace

Contents readGift(const QByteArray& data) {
    Contents contents;
    QString topic;
    const QStringList lines = QString::fromUtf8(data).split(u'\n');
    QString block;
    int blockLine = 0;
    auto flush = [&] {
        if (!block.trimmed().isEmpty())
            draft::finish(readQuestion(block, blockLine, topic), &contents);
        block.clear();
    };
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QStringLiteral("//")))
            continue;
        if (trimmed.isEmpty()) {
            flush();
            continue;
        }
        if (trimmed.startsWith(QStringLiteral("$CATEGORY:"))) {
            flush();
            topic = draft::topicOfCategory(trimmed.mid(10));
            continue;
        }
        if (block.isEmpty())
            blockLine = n + 1;
        block += line + u'\n';
    }
    flush();
    return contents;
}

} // namespace bank
