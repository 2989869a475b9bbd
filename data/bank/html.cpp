#include "html.h"

#include <QHash>
#include <QUrl>

#include <optional>

namespace bank::html {

namespace {

const QString pluginFile = QStringLiteral("@@PLUGINFILE@@/");

// HTML's names of the Latin-1 characters, in the order of their code points from U+00A0.
const char* const latin1Names[] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// The others a teacher's editor writes: markup, typography, arrows and signs, and the three of music.
const QHash<QString, char32_t>& entities() {
    static const QHash<QString, char32_t> table = [] {
        QHash<QString, char32_t> t = {{QStringLiteral("quot"), U'"'},    {QStringLiteral("amp"), U'&'},
                                      {QStringLiteral("lt"), U'<'},      {QStringLiteral("gt"), U'>'},
                                      {QStringLiteral("apos"), U'\''},   {QStringLiteral("ndash"), 0x2013},
                                      {QStringLiteral("mdash"), 0x2014}, {QStringLiteral("lsquo"), 0x2018},
                                      {QStringLiteral("rsquo"), 0x2019}, {QStringLiteral("sbquo"), 0x201A},
                                      {QStringLiteral("ldquo"), 0x201C}, {QStringLiteral("rdquo"), 0x201D},
                                      {QStringLiteral("bdquo"), 0x201E}, {QStringLiteral("hellip"), 0x2026},
                                      {QStringLiteral("bull"), 0x2022},  {QStringLiteral("prime"), 0x2032},
                                      {QStringLiteral("Prime"), 0x2033}, {QStringLiteral("euro"), 0x20AC},
                                      {QStringLiteral("trade"), 0x2122}, {QStringLiteral("larr"), 0x2190},
                                      {QStringLiteral("rarr"), 0x2192},  {QStringLiteral("harr"), 0x2194},
                                      {QStringLiteral("uarr"), 0x2191},  {QStringLiteral("darr"), 0x2193},
                                      {QStringLiteral("minus"), 0x2212}, {QStringLiteral("le"), 0x2264},
                                      {QStringLiteral("ge"), 0x2265},    {QStringLiteral("ne"), 0x2260},
                                      {QStringLiteral("infin"), 0x221E}, {QStringLiteral("thinsp"), 0x2009},
                                      {QStringLiteral("ensp"), 0x2002},  {QStringLiteral("emsp"), 0x2003},
                                      {QStringLiteral("zwnj"), 0x200C},  {QStringLiteral("zwj"), 0x200D},
                                      {QStringLiteral("flat"), 0x266D},  {QStringLiteral("natur"), 0x266E},
                                      {QStringLiteral("sharp"), 0x266F}, {QStringLiteral("numero"), 0x2116},
                                      {QStringLiteral("dagger"), 0x2020}};
        for (int i = 0; i < int(std::size(latin1Names)); ++i)
            t.insert(QString::fromLatin1(latin1Names[i]), char32_t(0xA0 + i));
        return t;
    }();
    return table;
}

// The character a reference at `text[at]` ("&...;") stands for, and how long it is; 0 when it is none.
qsizetype decodeOne(const QString& text, qsizetype at, QString* out) {
    const qsizetype semicolon = text.indexOf(u';', at + 1);
    if (semicolon < 0 || semicolon - at > 32)
        return 0;
    const QString body = text.mid(at + 1, semicolon - at - 1);
    char32_t code = 0;
    if (body.startsWith(u'#')) {
        bool ok = false;
        const bool hex = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
        code = char32_t(body.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10));
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return 0;
    } else {
        const auto found = entities().constFind(body);
        if (found == entities().constEnd())
            return 0;
        code = *found;
    }
    *out = QString::fromUcs4(&code, 1);
    return semicolon - at + 1;
}

bool isNameStart(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Tags inside a line of text; every other tag parts words, as a paragraph or a line break does.
bool isInline(const QString& tag) {
    static const QStringList tags = {
        QStringLiteral("a"),      QStringLiteral("abbr"),   QStringLiteral("b"),     QStringLiteral("big"),
        QStringLiteral("cite"),   QStringLiteral("code"),   QStringLiteral("del"),   QStringLiteral("em"),
        QStringLiteral("font"),   QStringLiteral("i"),      QStringLiteral("ins"),   QStringLiteral("mark"),
        QStringLiteral("q"),      QStringLiteral("s"),      QStringLiteral("small"), QStringLiteral("span"),
        QStringLiteral("strike"), QStringLiteral("strong"), QStringLiteral("sub"),   QStringLiteral("sup"),
        QStringLiteral("tt"),     QStringLiteral("u")};
    return tags.contains(tag);
}

struct Tag {
    QString name; // lower case
    bool closing = false;
    QHash<QString, QString> attributes; // names lower case, values decoded
    qsizetype end = 0;                  // just past the ">"
};

// The tag that starts at `html[at]` ("<"), or nothing when the "<" starts none (as in "a < b").
std::optional<Tag> readTag(const QString& html, qsizetype at) {
    Tag tag;
    qsizetype i = at + 1;
    if (i < html.size() && html[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    if (i >= html.size() || !isNameStart(html[i]))
        return std::nullopt;
    const qsizetype nameStart = i;
    while (i < html.size() && (html[i].isLetterOrNumber() || html[i] == u'-' || html[i] == u':'))
        ++i;
    tag.name = html.mid(nameStart, i - nameStart).toLower();
    while (i < html.size() && html[i] != u'>') {
        if (html[i].isSpace() || html[i] == u'/') {
            ++i;
            continue;
        }
        const qsizetype attrStart = i;
        while (i < html.size() && !html[i].isSpace() && html[i] != u'=' && html[i] != u'>' && html[i] != u'/')
            ++i;
        const QString name = html.mid(attrStart, i - attrStart).toLower();
        while (i < html.size() && html[i].isSpace())
            ++i;
        QString value;
        if (i < html.size() && html[i] == u'=') {
            ++i;
            while (i < html.size() && html[i].isSpace())
                ++i;
            if (i < html.size() && (html[i] == u'"' || html[i] == u'\'')) {
                const QChar quote = html[i];
                const qsizetype close = html.indexOf(quote, i + 1);
                const qsizetype stop = close < 0 ? html.size() : close;
                value = html.mid(i + 1, stop - i - 1);
                i = close < 0 ? html.size() : close + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < html.size() && !html[i].isSpace() && html[i] != u'>')
                    ++i;
                value = html.mid(valueStart, i - valueStart);
            }
        }
        if (!name.isEmpty())
            tag.attributes.insert(name, decodeEntities(value));
    }
    tag.end = i < html.size() ? i + 1 : html.size();
    return tag;
}

// The reference a tag makes to a file of the question's own, or to a picture or sound outside the file.
void noteReference(const Tag& tag, Text* text) {
    static const QHash<QString, QString> sources = {
        {QStringLiteral("img"), QStringLiteral("src")},    {QStringLiteral("audio"), QStringLiteral("src")},
        {QStringLiteral("source"), QStringLiteral("src")}, {QStringLiteral("video"), QStringLiteral("src")},
        {QStringLiteral("embed"), QStringLiteral("src")},  {QStringLiteral("a"), QStringLiteral("href")},
        {QStringLiteral("object"), QStringLiteral("data")}};
    const auto attribute = sources.constFind(tag.name);
    if (attribute == sources.constEnd())
        return;
    const QString address = tag.attributes.value(*attribute).trimmed();
    if (address.isEmpty())
        return;
    if (!address.startsWith(pluginFile)) {
        // A link to a web page is text; a picture or a player of another place is something not carried.
        if (tag.name != u"a")
            text->outside.append(address);
        return;
    }
    QString name = address.mid(pluginFile.size());
    Reference reference;
    reference.tag = tag.name;
    const qsizetype hash = name.indexOf(u'#');
    if (hash >= 0) {
        reference.fragment = name.mid(hash + 1);
        name.truncate(hash);
    }
    const qsizetype query = name.indexOf(u'?');
    if (query >= 0)
        name.truncate(query);
    reference.file = QUrl::fromPercentEncoding(name.toUtf8());
    reference.plays = tag.attributes.value(QStringLiteral("data-plays"));
    text->references.append(reference);
}

} // namespace

QString decodeEntities(const QString& text) {
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString decoded;
        const qsizetype length = text[i] == u'&' ? decodeOne(text, i, &decoded) : 0;
        if (length > 0) {
            out += decoded;
            i += length - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

Text toPlain(const QString& html) {
    Text result;
    QString out;
    out.reserve(html.size());
    // Where the text of an open link to a file of the question began, and the file's name.
    qsizetype linkStart = -1;
    QString linkFile;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c != u'<') {
            const qsizetype next = html.indexOf(u'<', i);
            out += decodeEntities(html.mid(i, (next < 0 ? html.size() : next) - i));
            i = next < 0 ? html.size() : next;
            continue;
        }
        if (html.mid(i, 4) == u"<!--") {
            const qsizetype close = html.indexOf(QStringLiteral("-->"), i + 4);
            i = close < 0 ? html.size() : close + 3;
            continue;
        }
        if (i + 1 < html.size() && (html[i + 1] == u'!' || html[i + 1] == u'?')) {
            const qsizetype close = html.indexOf(u'>', i);
            i = close < 0 ? html.size() : close + 1;
            continue;
        }
        const std::optional<Tag> tag = readTag(html, i);
        if (!tag) {
            out += c;
            ++i;
            continue;
        }
        i = tag->end;
        if (!tag->closing && (tag->name == u"script" || tag->name == u"style")) {
            const qsizetype close = html.indexOf(QStringLiteral("</") + tag->name, i, Qt::CaseInsensitive);
            const qsizetype stop = close < 0 ? -1 : html.indexOf(u'>', close);
            i = stop < 0 ? html.size() : stop + 1;
            continue;
        }
        if (!tag->closing) {
            const qsizetype before = result.references.size();
            noteReference(*tag, &result);
            if (tag->name == u"a" && result.references.size() > before) {
                linkStart = out.size();
                linkFile = result.references.last().file;
            }
        } else if (tag->name == u"a" && linkStart >= 0) {
            if (out.mid(linkStart).simplified() == linkFile)
                out.truncate(linkStart);
            linkStart = -1;
        }
        if (!isInline(tag->name))
            out += u' ';
    }
    result.plain = out.simplified();
    return result;
}

} // namespace bank::html
