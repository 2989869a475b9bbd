#include "notation.h"

#include "base/failure.h"
#include "base/programmodule.h"
#include "synthmodule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace notation {
namespace {

constexpr int waitMs = 20000;

// The General MIDI SoundFonts of Debian's packages, the one the system names its default first.
const QStringList soundFonts = {QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"),
                                QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
                                QStringLiteral("/usr/share/sounds/sf3/default-GM.sf3"),
                                QStringLiteral("/usr/share/sounds/sf3/MuseScore_General.sf3"),
                                QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2")};

QString program(const QString& name, const QString& package) {
    const QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        throw Failure(QStringLiteral("Для нот нужна программа %1 из пакета %2, а она не установлена.")
                          .arg(name, package));
    return path;
}

// Runs the program in `folder`; its output and messages together.
QString run(const QString& path, const QStringList& arguments, const QString& folder) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, arguments);
    if (!process.waitForStarted(waitMs))
        throw Failure(QStringLiteral("Программа %1 не запускается: %2")
                          .arg(QFileInfo(path).fileName(), process.errorString()));
    if (!process.waitForFinished(waitMs)) {
        process.kill();
        process.waitForFinished();
        throw Failure(QStringLiteral("Программа %1 не справилась с нотами за %2 секунд.")
                          .arg(QFileInfo(path).fileName())
                          .arg(waitMs / 1000));
    }
    return QString::fromLocal8Bit(process.readAll());
}

// The engraver's first complaint as one sentence: "tune.abc:5:14: error: Not a note".
QString engraverMistake(const QString& output) {
    static const QRegularExpression error(QStringLiteral("^[^\\n]*:(\\d+):(\\d+): error: ([^\\n]*)$"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = error.match(output);
    if (!match.hasMatch())
        return {};
    QString message = match.captured(3).trimmed();
    if (message.endsWith(u'.'))
        message.chop(1);
    return QStringLiteral("В нотах ошибка (строка %1, знак %2): %3.")
        .arg(match.captured(1), match.captured(2), message);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Rendered render(const QString& abc) {
    const QString engraver = program(QStringLiteral("abcm2ps"), QStringLiteral("abcm2ps"));
    const QString converter = program(QStringLiteral("abc2midi"), QStringLiteral("abcmidi"));
    QString soundFont;
    for (const QString& candidate : soundFonts)
        if (QFileInfo::exists(candidate)) {
            soundFont = candidate;
            break;
        }
    if (soundFont.isEmpty())
        throw Failure(
            QStringLiteral("Для звука нот нужен банк звуков General MIDI (пакет timgm6mb-soundfont), а "
                           "он не установлен."));

    const QTemporaryDir folder;
    if (!folder.isValid())
        throw Failure(QStringLiteral("Не удалось создать временную папку: %1").arg(folder.errorString()));
    QFile tune(folder.filePath(QStringLiteral("tune.abc")));
    if (!tune.open(QIODevice::WriteOnly) || tune.write(abc.toUtf8() + '\n') < 0 || !tune.flush())
        throw Failure(
            QStringLiteral("Не удалось записать ноты во временный файл: %1").arg(tune.errorString()));
    tune.close();

    const QString engraved =
        run(engraver,
            {QStringLiteral("-g"), QStringLiteral("-O"), QStringLiteral("tune"), QStringLiteral("tune.abc")},
            folder.path());
    if (const QString mistake = engraverMistake(engraved); !mistake.isEmpty())
        throw Failure(mistake);
    Rendered rendered;
    rendered.svg = readAll(folder.filePath(QStringLiteral("tune001.svg")));
    if (rendered.svg.isEmpty())
        throw Failure(QStringLiteral("В записи нет мелодии: она начинается строкой «X:1», а перед нотами "
                                     "стоит тональность «K:»."));

    run(converter, {QStringLiteral("tune.abc"), QStringLiteral("-o"), QStringLiteral("tune.mid")},
        folder.path());
    const QString midi = folder.filePath(QStringLiteral("tune.mid"));
    if (!QFileInfo::exists(midi))
        throw Failure(QStringLiteral("Ноты не удалось превратить в звук: abc2midi не записал мелодию."));

    auto& synth =
        loadProgramModule<SynthModule>(QStringLiteral("esun_synth.so"), QStringLiteral("синтезатора звука"));
    QString reason;
    rendered.wave = synth.renderWave(midi, soundFont, &reason);
    if (rendered.wave.isEmpty())
        throw Failure(QStringLiteral("Ноты не удалось превратить в звук: %1.").arg(reason));
    return rendered;
}

} // namespace notation
