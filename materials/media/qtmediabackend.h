#pragma once

#include "ui/mediamodule.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVideoFrame>
#include <QWidget>

class QAudioOutput;
class QMediaPlayer;
class QVideoSink;

// Paints the frames that reach its sink, scaled into its rectangle with the picture's proportions kept.
// A plain child widget, with no native window of its own: the window system may re-create the window that
// holds it (closing and reopening the lessons window does), and the video goes on showing.
class VideoView final : public QWidget {
    Q_OBJECT
public:
    explicit VideoView(QWidget* parent);

    QVideoSink* videoSink() const { return m_sink; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QVideoSink* m_sink;
    QVideoFrame m_frame;
};

// The player over QtMultimedia: a QMediaPlayer per opened file, its video painted by a VideoView placed
// inside the display window.
class QtMediaBackend final : public QObject, public MediaBackend {
    Q_OBJECT
public:
    QtMediaBackend();
    ~QtMediaBackend() override;

    // How long open waits for the file to load.
    static constexpr int openTimeoutMs = 15000;

    void setCompletionHandler(std::function<void(MediaDevice::Notice)> handler) override {
        m_completed = std::move(handler);
    }
    int open(const QString& path) override;
    void close() override;
    bool isOpen() const override { return m_player != nullptr; }
    bool canPlay() const override;
    bool hasVideo() const override;
    qint64 length() const override;
    qint64 position() const override;
    MediaDevice::Mode mode() const override;
    int attachDisplay(QWidget* window) override;
    int seekToStart() override;
    int seek(qint64 position) override;
    bool hasAudioOutput() const override { return m_audio != nullptr; }
    int play() override;
    int pause() override;
    int resume() override;
    QString errorText(int code) const override { return m_errorTexts.value(code); }

private:
    // Picks the FFmpeg backend unless one was chosen already; must run before the first multimedia call.
    static void chooseBackend();
    void checkCompleted();
    void notify(MediaDevice::Notice notice);
    void recordError(int code, const QString& text);

    std::function<void(MediaDevice::Notice)> m_completed;
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
    QPointer<VideoView> m_video;
    bool m_notifyPending = false;
    int m_playerError = 0;
    QHash<int, QString> m_errorTexts;
};
