#include "clipplayer.h"

#include "base/failure.h"
#include "mediadevice.h"

#include <QDir>
#include <QTemporaryFile>
#include <QTimer>

namespace {

std::function<MediaDevice*()>& deviceMaker() {
    static std::function<MediaDevice*()> maker;
    return maker;
}

} // namespace

ClipPlayer::ClipPlayer(QObject* parent) : QObject(parent), m_timer(new QTimer(this)) {
    // The position shown moves in tenths of a second; the part's end is caught as closely.
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &ClipPlayer::tick);
}

ClipPlayer::~ClipPlayer() {
    close();
}

void ClipPlayer::setDeviceMakerForTesting(std::function<MediaDevice*()> maker) {
    deviceMaker() = std::move(maker);
}

MediaDevice& ClipPlayer::device() {
    if (!m_device) {
        m_device.reset(deviceMaker() ? deviceMaker()() : MediaDevice::fromModule());
        connect(m_device.get(), &MediaDevice::completed, this, [this] {
            if (m_playing)
                stop();
        });
    }
    return *m_device;
}

void ClipPlayer::setClip(const QByteArray& sound, const QString& type, std::optional<double> start,
                         std::optional<double> end) {
    close();
    m_sound = sound;
    m_type = type;
    m_start = start;
    m_end = end;
}

QString ClipPlayer::open() {
    if (m_file)
        return {};
    // The device plays files: the clip goes to one of its own, removed with it.
    auto file =
        std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/muzyka-XXXXXX.") + m_type);
    if (!file->open() || file->write(m_sound) != m_sound.size() || !file->flush())
        throw Failure(QStringLiteral("Звук вопроса не удалось подготовить к прослушиванию: %1")
                          .arg(file->errorString()));
    const int code = device().open(file->fileName());
    if (code != 0) {
        const QString text = device().errorText(code);
        return text.isEmpty() ? QStringLiteral("Звук вопроса не удаётся воспроизвести.") : text;
    }
    m_file = std::move(file);
    return {};
}

void ClipPlayer::prepare() {
    if (m_sound.isEmpty())
        return;
    if (const QString problem = open(); !problem.isEmpty())
        throw Failure(problem);
}

void ClipPlayer::play() {
    if (m_sound.isEmpty())
        return;
    prepare();
    MediaDevice& d = device();
    if (m_playing)
        d.pause();
    const qint64 start = startMs();
    if (start > 0)
        d.seek(start);
    else
        d.seekToStart();
    d.play();
    m_playing = true;
    m_timer->start();
    emit positionChanged();
}

void ClipPlayer::stop() {
    if (!m_playing)
        return;
    m_playing = false;
    m_timer->stop();
    if (m_device && m_device->isOpen())
        m_device->pause();
    emit positionChanged();
    emit stopped();
}

bool ClipPlayer::isPlaying() const {
    return m_playing;
}

bool ClipPlayer::hasAudioOutput() const {
    return !m_device || !m_device->isOpen() || m_device->hasAudioOutput();
}

qint64 ClipPlayer::startMs() const {
    return m_start ? qint64(*m_start * 1000) : 0;
}

qint64 ClipPlayer::position() const {
    if (!m_device || !m_file)
        return 0;
    return qBound(qint64(0), m_device->position() - startMs(), length());
}

qint64 ClipPlayer::length() const {
    if (!m_device || !m_file)
        return 0;
    const qint64 whole = m_device->length();
    const qint64 end = m_end ? qMin(whole, qint64(*m_end * 1000)) : whole;
    return qMax(qint64(0), end - startMs());
}

void ClipPlayer::tick() {
    emit positionChanged();
    if (m_end && m_device->position() >= qint64(*m_end * 1000))
        stop();
}

QString ClipPlayer::check(const QByteArray& sound, const QString& type) {
    setClip(sound, type, std::nullopt, std::nullopt);
    const QString problem = open();
    close();
    m_sound.clear();
    return problem;
}

void ClipPlayer::close() {
    stop();
    if (m_device && m_device->isOpen())
        m_device->close();
    m_file.reset();
}
