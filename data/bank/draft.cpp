#include "draft.h"

#include "base/failure.h"

#include <QRegularExpression>

#include <algorithm>

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

// A sound by its name or its first bytes; whatever else a question carries is taken for a picture.
bool looksLikeSound(const QString& name, const QByteArray& bytes) {
    static const QLatin1StringView extensions[] = {QLatin1StringView(".ogg"), QLatin1StringView(".oga"),
                                                   QLatin1StringView(".mp3"), QLatin1StringView(".wav"),
                                                   QLatin1StringView(".flac")};
    for (const QLatin1StringView extension : extensions)
        if (hasExtension(name, extension))
            return true;
    return bytes.startsWith("OggS") || bytes.startsWith("fLaC") || bytes.startsWith("ID3") ||
           (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE");
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

QString takeMedia(const QVector<QPair<QString, QByteArray>>& files,
                  const QVector<html::Reference>& references, const MediaCheck& check, Media* media) {
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
            continue;
        }
        const bool sound = looksLikeSound(name, bytes);
        QString type;
        try {
            type = sound ? check.sound(bytes, name) : check.picture(bytes, name);
        } catch (const Failure& failure) {
            QString reason = failure.text();
            if (reason.endsWith(u'.'))
                reason.chop(1);
            return reason;
        }
        if (sound) {
            if (!soundFile.isEmpty())
                return QStringLiteral("звуков два («%1» и «%2»), а у вопроса программы один")
                    .arg(soundFile, name);
            soundFile = name;
            media->sound = bytes;
            media->soundType = type;
        } else {
            if (!pictureFile.isEmpty())
                return QStringLiteral("картинок две («%1» и «%2»), а у вопроса программы одна")
                    .arg(pictureFile, name);
            pictureFile = name;
            media->picture = bytes;
            media->pictureType = type;
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
