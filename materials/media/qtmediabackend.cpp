// The media module: players over QtMultimedia, built as a separate library and loaded on the first lesson or
// question clip, so that the program does not link the multimedia libraries and its start-up does not pay for
// them.
#include "qtmediabackend.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
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

QtMediaBackend::QtMediaBackend() {
    chooseBackend();
}

QtMediaBackend::~QtMediaBackend() {
    close();
}

void QtMediaBackend::chooseBackend() {
    // Qt 6.4's GStreamer backend stalls on a second player in one process under a real X server and fails
    // some first plays; the FFmpeg backend plays every time. The backend is fixed by the first multimedia
    // call of the process, so this has to come before it.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

int QtMediaBackend::open(const QString& path) {
    close();
    auto* player = new QMediaPlayer(this);
    // The FFmpeg backend crashes with an audio output on a machine without an audio device.
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        m_audio = new QAudioOutput(player);
        player->setAudioOutput(m_audio);
    }
    int error = 0;
    QEventLoop loop;
    connect(player, &QMediaPlayer::errorOccurred, &loop, [&](QMediaPlayer::Error code, const QString&) {
        error = code;
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
        recordError(QMediaPlayer::ResourceError,
                    QFileInfo::exists(path)
                        ? QStringLiteral("Файл «%1» не удаётся прочитать.").arg(QFileInfo(path).fileName())
                        : QStringLiteral("Файл «%1» не найден.").arg(QFileInfo(path).fileName()));
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
        // The backends' own texts ("Could not open file.") are English and name no file.
        recordError(error, QStringLiteral("Файл «%1» не удаётся воспроизвести: он повреждён или записан в "
                                          "формате, которого программа не знает.")
                               .arg(QFileInfo(path).fileName()));
        m_audio = nullptr;
        delete player;
        return error;
    }
    m_player = player;
    connect(player, &QMediaPlayer::errorOccurred, this,
            [this, name = QFileInfo(path).fileName()](QMediaPlayer::Error code, const QString&) {
                m_playerError = code;
                recordError(
                    code,
                    QStringLiteral("Файл «%1» не удаётся воспроизвести до конца: он повреждён.").arg(name));
                if (m_notifyPending)
                    notify(MediaDevice::NoticeFailure);
            });
    connect(player, &QMediaPlayer::playbackStateChanged, this, &QtMediaBackend::checkCompleted);
    connect(player, &QMediaPlayer::mediaStatusChanged, this, &QtMediaBackend::checkCompleted);
    return 0;
}

void QtMediaBackend::close() {
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

bool QtMediaBackend::canPlay() const {
    if (!m_player)
        return false;
    const auto status = m_player->mediaStatus();
    return status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferingMedia ||
           status == QMediaPlayer::BufferedMedia || status == QMediaPlayer::EndOfMedia;
}

bool QtMediaBackend::hasVideo() const {
    return m_player && m_player->hasVideo();
}

qint64 QtMediaBackend::length() const {
    return m_player ? m_player->duration() : 0;
}

qint64 QtMediaBackend::position() const {
    if (!m_player)
        return 0;
    // At the end the player may stop a few milliseconds short of the length.
    if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        return length();
    return m_player->position();
}

MediaDevice::Mode QtMediaBackend::mode() const {
    if (!m_player)
        return MediaDevice::NotReady;
    switch (m_player->playbackState()) {
    case QMediaPlayer::PlayingState:
        return MediaDevice::Playing;
    case QMediaPlayer::PausedState:
        return MediaDevice::Paused;
    case QMediaPlayer::StoppedState:
        break;
    }
    return canPlay() ? MediaDevice::Stopped : MediaDevice::NotReady;
}

int QtMediaBackend::attachDisplay(QWidget* window) {
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

int QtMediaBackend::seekToStart() {
    if (!m_player)
        return NotOpen;
    m_playerError = 0;
    m_player->setPosition(0);
    return m_playerError;
}

int QtMediaBackend::seek(qint64 position) {
    if (!m_player)
        return NotOpen;
    m_playerError = 0;
    m_player->setPosition(position);
    return m_playerError;
}

int QtMediaBackend::play() {
    if (!m_player)
        return NotOpen;
    m_playerError = 0;
    m_notifyPending = true;
    m_player->play();
    return m_playerError;
}

int QtMediaBackend::pause() {
    if (!m_player)
        return NotOpen;
    m_playerError = 0;
    m_player->pause();
    return m_playerError;
}

int QtMediaBackend::resume() {
    return play();
}

void QtMediaBackend::checkCompleted() {
    if (m_notifyPending && m_player->playbackState() == QMediaPlayer::StoppedState &&
        m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        notify(MediaDevice::Successful);
}

void QtMediaBackend::notify(MediaDevice::Notice notice) {
    m_notifyPending = false;
    if (m_completed)
        m_completed(notice);
}

void QtMediaBackend::recordError(int code, const QString& text) {
    if (!text.isEmpty())
        m_errorTexts.insert(code, text);
}

class QtMediaModule final : public QObject, public MediaModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID MediaModule_iid)
    Q_INTERFACES(MediaModule)
public:
    MediaBackend* createBackend() override { return new QtMediaBackend; }
};

#include "qtmediabackend.moc"
