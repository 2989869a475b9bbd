#include "qtmediadevice.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>

VideoView::VideoView(QWidget* parent) : QWidget(parent), m_sink(new QVideoSink(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(m_sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        m_frame = frame;
        update();
    });
}

void VideoView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_frame.isValid()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // A frame is converted for painting once, however often it is painted (a hidden window paints none).
    QVideoFrame::PaintOptions options;
    options.backgroundColor = Qt::black;
    m_frame.paint(&p, rect(), options);
}

QtMediaDevice::QtMediaDevice(QObject* parent) : MediaDevice(parent) {
    chooseBackend();
}

QtMediaDevice::~QtMediaDevice() {
    close();
}

void QtMediaDevice::chooseBackend() {
    // Qt 6.4's GStreamer backend stalls on a second player in one process under a real X server and fails
    // some first plays; the FFmpeg backend plays every time. The backend is fixed by the first multimedia
    // call of the process, so this has to come before it.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

int QtMediaDevice::open(const QString& path) {
    close();
    auto* player = new QMediaPlayer(this);
    // The FFmpeg backend crashes with an audio output on a machine without an audio device.
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        m_audio = new QAudioOutput(player);
        player->setAudioOutput(m_audio);
    }
    int error = 0;
    QEventLoop loop;
    connect(player, &QMediaPlayer::errorOccurred, &loop, [&](QMediaPlayer::Error code, const QString& text) {
        error = code;
        recordError(code, text);
        loop.quit();
    });
    const auto settled = [player] {
        const auto status = player->mediaStatus();
        return status != QMediaPlayer::NoMedia && status != QMediaPlayer::LoadingMedia;
    };
    connect(player, &QMediaPlayer::mediaStatusChanged, &loop, [&] {
        if (settled())
            loop.quit();
    });
    QTimer::singleShot(openTimeoutMs, &loop, [&] {
        error = OpenTimedOut;
        loop.quit();
    });
    // The file is handed over open: Qt 6.4's FFmpeg backend cannot open a path with non-ASCII letters
    // (such as the lessons' own folder) from a URL.
    auto* file = new QFile(path, player);
    if (!file->open(QIODevice::ReadOnly)) {
        recordError(QMediaPlayer::ResourceError, file->errorString());
        m_audio = nullptr;
        delete player;
        return QMediaPlayer::ResourceError;
    }
    player->setSourceDevice(file, QUrl::fromLocalFile(path));
    // The device opens waiting; the pupil's input waits with it.
    if (error == 0 && !settled())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (error == 0 && player->mediaStatus() == QMediaPlayer::InvalidMedia)
        error = player->error() != QMediaPlayer::NoError ? player->error() : QMediaPlayer::FormatError;
    if (error == 0 && !settled())
        error = OpenTimedOut;
    if (error != 0) {
        m_audio = nullptr;
        delete player;
        return error;
    }
    m_player = player;
    connect(player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error code, const QString& text) {
                m_playerError = code;
                recordError(code, text);
                if (m_notifyPending) {
                    m_notifyPending = false;
                    emit completed(NoticeFailure);
                }
            });
    connect(player, &QMediaPlayer::playbackStateChanged, this, &QtMediaDevice::checkCompleted);
    connect(player, &QMediaPlayer::mediaStatusChanged, this, &QtMediaDevice::checkCompleted);
    return 0;
}

void QtMediaDevice::close() {
    if (!m_player)
        return;
    m_notifyPending = false;
    QMediaPlayer* player = m_player;
    m_player = nullptr;
    m_audio = nullptr;
    player->disconnect(this);
    player->stop();
    player->setVideoOutput(nullptr);
    delete m_video;
    delete player;
}

bool QtMediaDevice::canPlay() const {
    if (!m_player)
        return false;
    const auto status = m_player->mediaStatus();
    return status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferingMedia ||
           status == QMediaPlayer::BufferedMedia || status == QMediaPlayer::EndOfMedia;
}

bool QtMediaDevice::hasVideo() const {
    return m_player && m_player->hasVideo();
}

qint64 QtMediaDevice::length() const {
    return m_player ? m_player->duration() : 0;
}

qint64 QtMediaDevice::position() const {
    if (!m_player)
        return 0;
    // At the end the player may stop a few milliseconds short of the length.
    if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        return length();
    return m_player->position();
}

MediaDevice::Mode QtMediaDevice::mode() const {
    if (!m_player)
        return NotReady;
    switch (m_player->playbackState()) {
    case QMediaPlayer::PlayingState:
        return Playing;
    case QMediaPlayer::PausedState:
        return Paused;
    case QMediaPlayer::StoppedState:
        break;
    }
    return canPlay() ? Stopped : NotReady;
}

int QtMediaDevice::attachDisplay(QWidget* window) {
    if (!m_player)
        return NotOpen;
    if (!window) {
        m_player->setVideoOutput(nullptr);
        delete m_video;
        return 0;
    }
    if (!m_video || m_video->parentWidget() != window) {
        delete m_video;
        m_video = new VideoView(window);
        m_video->setObjectName(QStringLiteral("video"));
        m_video->setFocusPolicy(Qt::NoFocus);
    }
    m_video->setGeometry(window->contentsRect());
    m_video->show();
    m_player->setVideoSink(m_video->videoSink());
    return 0;
}

int QtMediaDevice::seekToStart() {
    if (!m_player)
        return NotOpen;
    m_playerError = 0;
    m_player->setPosition(0);
    return m_playerError;
}

int QtMediaDevice::play() {
    if (!m_player)
        return NotOpen;
    m_playerError = 0;
    m_notifyPending = true;
    m_player->play();
    return m_playerError;
}

int QtMediaDevice::pause() {
    if (!m_player)
        return NotOpen;
    m_playerError = 0;
    m_player->pause();
    return m_playerError;
}

int QtMediaDevice::resume() {
    return play();
}

void QtMediaDevice::checkCompleted() {
    if (m_notifyPending && m_player->playbackState() == QMediaPlayer::StoppedState &&
        m_player->mediaStatus() == QMediaPlayer::EndOfMedia) {
        m_notifyPending = false;
        emit completed(Successful);
    }
}

void QtMediaDevice::recordError(int code, const QString& text) {
    if (!text.isEmpty())
        m_errorTexts.insert(code, text);
}
