// Moodle XML: <quiz> holding <question type="...">; a question of type "category" names the category of
// those after it.

#include "draft.h"
#include "html.h"

#include "base/failure.h"

#include <QHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace bank {

namespace {

// An element with its text and children, read whole: a question is small enough (its files aside).
struct Node {
    QString name;
    QXmlStreamAttributes attributes;
    QString content;
    QVector<Node> children;

    const Node* child(QStringView childName) const {
        for (const Node& node : children)
            if (node.name == childName)
                return &node;
        return nullptr;
    }
    // The text of <name><text>…</text></name>, or of <name>…</name> as older files write it.
    QString textOf(QStringView childName) const {
        const Node* node = child(childName);
        if (!node)
            return {};
        const Node* text = node->child(u"text");
        return text ? text->content : node->content;
    }
    QString attribute(const QString& attributeName) const {
        return attributes.value(attributeName).toString();
    }
};

Node readNode(QXmlStreamReader& reader) {
    Node node;
    node.name = reader.name().toString();
    node.attributes = reader.attributes();
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            node.children.append(readNode(reader));
            break;
        case QXmlStreamReader::Characters:
            node.content += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            return node;
        default:
            break;
        }
    }
    return node;
}

// Why the program cannot take a question of this type.
QString kindProblem(const QString& type) {
    static const QHash<QString, QString> kinds = {
        {QStringLiteral("essay"), QStringLiteral("эссе")},
        {QStringLiteral("matching"), QStringLiteral("на соответствие")},
        {QStringLiteral("shortanswer"), QStringLiteral("с кратким ответом")},
        {QStringLiteral("numerical"), QStringLiteral("числовой")},
        {QStringLiteral("calculated"), QStringLiteral("вычисляемый")},
        {QStringLiteral("calculatedsimple"), QStringLiteral("вычисляемый")},
        {QStringLiteral("calculatedmulti"), QStringLiteral("вычисляемый")},
        {QStringLiteral("multianswer"), QStringLiteral("со вложенными ответами")},
        {QStringLiteral("description"), QStringLiteral("описание, а не вопрос,")},
        {QStringLiteral("ddwtos"), QStringLiteral("с перетаскиванием")},
        {QStringLiteral("gapselect"), QStringLiteral("с выбором пропущенных слов")},
        {QStringLiteral("random"), QStringLiteral("случайный")},
        {QStringLiteral("randomsamatch"), QStringLiteral("на соответствие")}};
    const QString kind = kinds.value(type);
    return kind.isEmpty() ? QStringLiteral("вопрос типа «%1» программа не принимает").arg(type)
                          : QStringLiteral("вопрос %1 (%2) программа не принимает").arg(kind, type);
}

// A text element's content as plain text, by its format.
html::Text plainText(const Node* node) {
    if (!node)
        return {};
    const Node* text = node->child(u"text");
    const QString content = text ? text->content : QString();
    const QString format = node->attribute(QStringLiteral("format"));
    if (format == u"plain_text" || format == u"markdown")
        return {content.simplified(), {}, {}};
    return html::toPlain(content);
}

// The files embedded in an element; false with `problem` set when one cannot be decoded.
bool readFiles(const Node* node, QVector<QPair<QString, QByteArray>>* files, QString* problem) {
    if (!node)
        return true;
    for (const Node& file : node->children) {
        if (file.name != u"file")
            continue;
        const QString name = file.attribute(QStringLiteral("name"));
        auto decoded = QByteArray::fromBase64Encoding(file.content.toLatin1().simplified().replace(' ', ""),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (file.attribute(QStringLiteral("encoding")) != u"base64" || !decoded) {
            *problem = QStringLiteral("вложенный файл «%1» испорчен (не base64)").arg(name);
            return false;
        }
        files->append({name, *decoded});
    }
    return true;
}

draft::Draft readQuestion(const Node& question, const QString& type, int line, const QString& topic,
                          const MediaCheck& check) {
    draft::Draft d;
    d.line = line;
    d.topic = topic;
    d.title = question.textOf(u"name").simplified();
    const Node* questionText = question.child(u"questiontext");
    const html::Text text = plainText(questionText);
    d.text = text.plain;
    if (type != u"multichoice" && type != u"truefalse") {
        d.problem = kindProblem(type);
        return d;
    }
    const QString single = question.textOf(u"single").trimmed().toLower();
    if (type == u"multichoice" && single != u"true" && single != u"1") {
        d.problem = QStringLiteral("вопрос с несколькими ответами (флажками) программа не принимает");
        return d;
    }
    if (!text.outside.isEmpty()) {
        d.problem = QStringLiteral("картинка или звук не вложены в файл, а взяты по адресу «%1»")
                        .arg(text.outside[0]);
        return d;
    }
    QVector<QPair<QString, QByteArray>> files;
    if (!readFiles(questionText, &files, &d.problem))
        return d;
    d.problem = draft::takeMedia(files, text.references, check, &d.media);
    if (!d.problem.isEmpty())
        return d;
    for (const Node& node : question.children) {
        if (node.name != u"answer")
            continue;
        const html::Text answer = plainText(&node);
        if (!answer.references.isEmpty() || !answer.outside.isEmpty() || node.child(u"file")) {
            d.problem = QStringLiteral("в ответе картинка или звук, а программа показывает ответы текстом");
            return d;
        }
        QString answerText = answer.plain;
        if (type == u"truefalse")
            answerText =
                answerText.toLower() == u"true" ? QStringLiteral("Верно") : QStringLiteral("Неверно");
        d.answers.append({answerText, node.attribute(QStringLiteral("fraction")).toDouble()});
    }
    return d;
}

QString xmlProblem(const QXmlStreamReader& reader) {
    switch (reader.error()) {
    case QXmlStreamReader::PrematureEndOfDocumentError:
        return QStringLiteral("файл обрывается, не закрыв разметку");
    case QXmlStreamReader::NotWellFormedError:
        return QStringLiteral("разметка нарушена (%1)").arg(reader.errorString());
    default:
        return reader.errorString();
    }
}

} // namespace

Contents readMoodleXml(const QByteArray& data, const QString& fileName, const MediaCheck& check) {
    Contents contents;
    QXmlStreamReader reader(data);
    QString topic;
    if (reader.readNextStartElement()) {
        if (reader.name() != u"quiz")
            throw Failure(
                QStringLiteral("Файл «%1» — не вопросы Moodle XML: в нём разметка «%2», а не «quiz»; "
                               "ничего не импортировано.")
                    .arg(fileName, reader.name().toString()));
        while (reader.readNextStartElement()) {
            if (reader.name() != u"question") {
                reader.skipCurrentElement();
                continue;
            }
            const int line = int(reader.lineNumber());
            const Node question = readNode(reader);
            const QString type = question.attribute(QStringLiteral("type"));
            if (type == u"category")
                topic = draft::topicOfCategory(question.textOf(u"category"));
            else
                draft::finish(readQuestion(question, type, line, topic, check), &contents);
        }
    }
    if (reader.hasError())
        throw Failure(QStringLiteral("Файл «%1» — испорченный XML: в строке %2 %3; ничего не импортировано.")
                          .arg(fileName)
                          .arg(reader.lineNumber())
                          .arg(xmlProblem(reader)));
    return contents;
}

namespace {

void writeText(QXmlStreamWriter& xml, const QString& element, const QString& text,
               const QString& format = {}) {
    xml.writeStartElement(element);
    if (!format.isEmpty())
        xml.writeAttribute(QStringLiteral("format"), format);
    xml.writeTextElement(QStringLiteral("text"), text);
    xml.writeEndElement();
}

QString extensionOf(const QString& type) {
    return type == u"jpeg" ? QStringLiteral("jpg") : type;
}

// The question's HTML: its text, then its picture and its player, which point at the files embedded.
QString questionHtml(const Question& question) {
    QString out = QStringLiteral("<p>%1</p>").arg(question.text.toHtmlEscaped());
    const Media& media = question.media;
    if (!media.picture.isEmpty())
        out += QStringLiteral("<p><img src=\"@@PLUGINFILE@@/picture.%1\" alt=\"\" /></p>")
                   .arg(extensionOf(media.pictureType));
    if (!media.sound.isEmpty()) {
        QString source = QStringLiteral("@@PLUGINFILE@@/sound.") + extensionOf(media.soundType);
        if (media.start || media.end)
            source += QStringLiteral("#t=%1,%2")
                          .arg(media.start ? QString::number(*media.start) : QStringLiteral("0"),
                               media.end ? QString::number(*media.end) : QString());
        if (source.endsWith(u','))
            source.chop(1);
        const QString plays =
            media.plays ? QStringLiteral(" data-plays=\"%1\"").arg(*media.plays) : QString();
        // The player's source carries the part of the clip as a media fragment and the plays as data-plays.
        out += QStringLiteral("<p><audio controls=\"controls\" src=\"%1\"%2></audio></p>").arg(source, plays);
    }
    return out;
}

void writeFile(QXmlStreamWriter& xml, const QString& name, const QByteArray& bytes) {
    xml.writeStartElement(QStringLiteral("file"));
    xml.writeAttribute(QStringLiteral("name"), name);
    xml.writeAttribute(QStringLiteral("path"), QStringLiteral("/"));
    xml.writeAttribute(QStringLiteral("encoding"), QStringLiteral("base64"));
    xml.writeCharacters(QString::fromLatin1(bytes.toBase64()));
    xml.writeEndElement();
}

QString questionName(const Question& question, int number) {
    const QString name = draft::titleOf({}, question.text);
    return question.text.isEmpty() ? QStringLiteral("Вопрос %1").arg(number) : name;
}

} // namespace

QByteArray writeMoodleXml(const QString& topic, const QVector<Question>& questions) {
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("quiz"));

    xml.writeStartElement(QStringLiteral("question"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("category"));
    QString category = topic;
    writeText(xml, QStringLiteral("category"),
              QStringLiteral("$course$/top/") + category.replace(u'/', QStringLiteral("//")));
    xml.writeEndElement();

    int number = 0;
    for (const Question& question : questions) {
        ++number;
        int correct = 0;
        for (const Answer& answer : question.answers)
            correct += answer.correct ? 1 : 0;
        xml.writeStartElement(QStringLiteral("question"));
        xml.writeAttribute(QStringLiteral("type"), QStringLiteral("multichoice"));
        writeText(xml, QStringLiteral("name"), questionName(question, number));
        xml.writeStartElement(QStringLiteral("questiontext"));
        xml.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
        xml.writeTextElement(QStringLiteral("text"), questionHtml(question));
        const Media& media = question.media;
        if (!media.picture.isEmpty())
            writeFile(xml, QStringLiteral("picture.") + extensionOf(media.pictureType), media.picture);
        if (!media.sound.isEmpty())
            writeFile(xml, QStringLiteral("sound.") + extensionOf(media.soundType), media.sound);
        if (!media.abc.isEmpty())
            writeFile(xml, QStringLiteral("melody.abc"), media.abc.toUtf8());
        xml.writeEndElement();
        writeText(xml, QStringLiteral("generalfeedback"), {}, QStringLiteral("html"));
        xml.writeTextElement(QStringLiteral("defaultgrade"), QStringLiteral("1"));
        xml.writeTextElement(QStringLiteral("penalty"), QStringLiteral("0"));
        xml.writeTextElement(QStringLiteral("hidden"), QStringLiteral("0"));
        // A question of several correct answers is Moodle's kind with check boxes, their marks shared out.
        xml.writeTextElement(QStringLiteral("single"),
                             correct > 1 ? QStringLiteral("false") : QStringLiteral("true"));
        // The program shows the answers in their stored order.
        xml.writeTextElement(QStringLiteral("shuffleanswers"), QStringLiteral("false"));
        xml.writeTextElement(QStringLiteral("answernumbering"), QStringLiteral("none"));
        for (const Answer& answer : question.answers) {
            xml.writeStartElement(QStringLiteral("answer"));
            const double fraction = answer.correct ? 100.0 / correct : 0;
            xml.writeAttribute(QStringLiteral("fraction"), QString::number(fraction, 'g', 7));
            xml.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
            xml.writeTextElement(QStringLiteral("text"), answer.text.toHtmlEscaped());
            writeText(xml, QStringLiteral("feedback"), {}, QStringLiteral("html"));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

QString exportProblem(const Question& question) {
    draft::Draft d;
    d.text = question.text;
    d.media = question.media;
    for (const Answer& answer : question.answers)
        d.answers.append({answer.text, answer.correct ? 100.0 : 0.0});
    return draft::problem(d);
}

} // namespace bank
