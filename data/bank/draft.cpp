#include "draft.h"

#include <QRegularExpression>

namespace bank {

QString Skipped::sentence() const {
    return QStringLiteral("строка %1, «%2»: %3").arg(line).arg(title, reason);
}

namespace draft {

namespace {

constexpr int titleLength = 60;

QString beginning(const QString& text) {
    return text.size() <= 30 ? text : text.left(30) + u'…';
}

QString tooLong(const QString& what, qsizetype length) {
    return QStringLiteral("в %1 %2 знаков, а программа хранит не больше %3")
        .arg(what)
        .arg(length)
        .arg(longestText);
}

bool hasExtension(const QString& name, QLatin1StringView extension) {
    return name.endsWith(extension, Qt::CaseInsensitive);
}

// "t=5,12", "t=npt:5", "t=,12": the seconds of a clip (the media fragment of a web address).
void readFragment(const QString& fragment, Media* media) {
    for (const QString& part : fragment.split(u'&')) {
        if (!part.startsWith(QLatin1String("t=")))
            continue;
        QString range = part.mid(2);
        if (range.startsWith(QLatin1String("npt:")))
            range = range.mid(4);
        const QStringList ends = range.split(u',');
        bool ok = false;
        const double start = ends.value(0).toDouble(&ok);
        if (ok && start > 0)
            media->start = start;
        const double end = ends.value(1).toDouble(&ok);
        if (ok && end > 0)
            media->end = end;
    }
}

} // namespace

QString titleOf(const QString& title, const QString& text) {
    const QString name = title.simplified();
    if (!name.isEmpty())
        return name;
    if (text.isEmpty())
        return QStringLiteral("без названия");
    return text.size() <= titleLength ? text : text.left(titleLength) + u'…';
}

QString problem(const Draft& draft) {
    if (!draft.problem.isEmpty())
        return draft.problem;
    if (draft.text.size() > longestText)
        return tooLong(QStringLiteral("тексте вопроса"), draft.text.size());
    if (draft.text.isEmpty() && draft.media.picture.isEmpty() && draft.media.sound.isEmpty())
        return QStringLiteral("нет текста вопроса");
    if (draft.answers.isEmpty())
        return QStringLiteral("нет ответов");
    int correct = 0;
    for (const Answer& answer : draft.answers) {
        if (answer.text.isEmpty())
            return QStringLiteral("ответ без текста (картинок в ответах программа не показывает)");
        if (answer.text.size() > longestText)
            return tooLong(QStringLiteral("ответе «%1»").arg(beginning(answer.text)), answer.text.size());
        if (answer.fraction > 0 && answer.fraction < 100)
            return QStringLiteral(
                       "ответ «%1» оценён в %2 %, а программа знает только верный и неверный ответ")
                .arg(beginning(answer.text))
                .arg(answer.fraction);
        if (answer.fraction >= 100)
            ++correct;
    }
    if (correct == 0)
        return QStringLiteral("нет верного ответа");
    if (correct > 1)
        return QStringLiteral("верных ответов %1, а в вопросе программы верный ответ один").arg(correct);
    return {};
}

void finish(const Draft& draft, Contents* contents) {
    const QString title = titleOf(draft.title, draft.text);
    const QString reason = problem(draft);
    if (!reason.isEmpty()) {
        contents->skipped.append({title, draft.line, reason});
        return;
    }
    Question question;
    question.topic = draft.topic;
    question.text = draft.text;
    question.media = draft.media;
    question.title = title;
    question.line = draft.line;
    for (const Answer& answer : draft.answers)
        question.answers.append({answer.text, answer.fraction >= 100});
    contents->questions.append(question);
}

QString pictureType(const QByteArray& bytes) {
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return QStringLiteral("png");
    if (bytes.startsWith("\xff\xd8\xff"))
        return QStringLiteral("jpeg");
    // SVG is XML text whose root is <svg>: after a declaration, comments or a doctype.
    QByteArray head = bytes.left(4096);
    if (head.startsWith("\xef\xbb\xbf"))
        head = head.mid(3);
    if (head.trimmed().startsWith('<') && head.contains("<svg"))
        return QStringLiteral("svg");
    return {};
}

QString soundType(const QByteArray& bytes) {
    if (bytes.startsWith("OggS"))
        return QStringLiteral("ogg");
    if (bytes.startsWith("fLaC"))
        return QStringLiteral("flac");
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE")
        return QStringLiteral("wav");
    if (bytes.startsWith("ID3") ||
        (bytes.size() > 1 && quint8(bytes[0]) == 0xff && (quint8(bytes[1]) & 0xe0) == 0xe0))
        return QStringLiteral("mp3");
    return {};
}

QString takeMedia(const QVector<QPair<QString, QByteArray>>& files,
                  const QVector<html::Reference>& references, Media* media) {
    for (const html::Reference& reference : references) {
        const bool carried = std::any_of(files.begin(), files.end(),
                                         [&](const auto& file) { return file.first == reference.file; });
        if (!carried)
            return QStringLiteral("файл «%1», на который ссылается текст, не вложен в вопрос")
                .arg(reference.file);
    }
    QString pictureFile;
    QString soundFile;
    for (const auto& [name, bytes] : files) {
        if (hasExtension(name, QLatin1StringView(".abc"))) {
            media->abc = QString::fromUtf8(bytes);
        } else if (const QString picture = pictureType(bytes); !picture.isEmpty()) {
            if (!pictureFile.isEmpty())
                return QStringLiteral("картинок две («%1» и «%2»), а у вопроса программы одна")
                    .arg(pictureFile, name);
            pictureFile = name;
            media->picture = bytes;
            media->pictureType = picture;
        } else if (const QString sound = soundType(bytes); !sound.isEmpty()) {
            if (!soundFile.isEmpty())
                return QStringLiteral("звуков два («%1» и «%2»), а у вопроса программы один")
                    .arg(soundFile, name);
            soundFile = name;
            media->sound = bytes;
            media->soundType = sound;
        } else {
            return QStringLiteral("файл «%1» — не картинка (PNG, JPEG, SVG) и не звук (Ogg, MP3, WAV, FLAC)")
                .arg(name);
        }
    }
    for (const html::Reference& reference : references) {
        if (reference.file != soundFile)
            continue;
        readFragment(reference.fragment, media);
        bool ok = false;
        const int plays = reference.plays.toInt(&ok);
        if (ok && plays > 0)
            media->plays = plays;
    }
    return {};
}

QString topicOfCategory(const QString& path) {
    // Levels are parted by "/"; a "/" inside a name is written "//".
    static const QRegularExpression single(QStringLiteral("(?<!/)/(?!/)"));
    QStringList levels = path.trimmed().split(single);
    for (QString& level : levels)
        level = level.replace(QStringLiteral("//"), QStringLiteral("/")).trimmed();
    const QString last = levels.isEmpty() ? QString() : levels.last();
    if (last.isEmpty() || last == u"top" || (last.startsWith(u'$') && last.endsWith(u'$')))
        return {};
    return last;
}

} // namespace draft
} // namespace bank
