#include "bank.h"

#include "base/failure.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace bank {

namespace {

// Larger than any bank of a school: a file beyond it is not read into memory.
constexpr qint64 largestFile = qint64(1) << 30;

// The line of the first bytes that are not UTF-8, 0 when all are.
int firstNonUtf8Line(const QByteArray& data) {
    int line = 0;
    for (const QByteArray& text : data.split('\n')) {
        ++line;
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder(text);
        if (decoder.hasError())
            return line;
    }
    return 0;
}

} // namespace

Contents readFile(const QString& path, const MediaCheck& check) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists())
        throw Failure(QStringLiteral("Файла «%1» нет.").arg(path));
    if (info.isDir())
        throw Failure(QStringLiteral("«%1» — папка, а не файл вопросов.").arg(path));
    if (info.size() > largestFile)
        throw Failure(QStringLiteral("Файл «%1» больше 1 ГБ: это не банк вопросов.").arg(name));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Файл «%1» не прочитать: нет права на чтение.").arg(path));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Файл «%1» не прочитать: ошибка ввода-вывода.").arg(path));
    if (data.startsWith("\xef\xbb\xbf"))
        data.remove(0, 3);
    if (data.trimmed().startsWith('<'))
        return readMoodleXml(data, name, check);
    if (const int line = firstNonUtf8Line(data))
        throw Failure(QStringLiteral("Файл «%1» не в кодировке UTF-8 (строка %2): сохраните его в UTF-8; "
                                     "ничего не импортировано.")
                          .arg(name)
                          .arg(line));
    return readGift(data);
}

} // namespace bank
