#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The multimedia device behind the lessons' player bar and the questions' clips: one opened file with the
// operations they need (open, capabilities, status, display, seek, play, pause, resume, close, error texts).
// Error codes are 0 for success. The program's device is a player of the media module, loaded with the first
// lesson or clip played; tests put a scripted device in its place.
class MediaDevice : public QObject {
    Q_OBJECT
public:
    enum Mode { NotReady, Stopped, Playing, Recording, Seeking, Paused, Open };
    enum Notice { Successful, Superseded, Aborted, NoticeFailure };
    Q_ENUM(Mode)
    Q_ENUM(Notice)

    using QObject::QObject;

    // A device over a player of the media module (esun_media.so beside the executable), loading the module
    // first; throws Failure when it cannot be loaded.
    static MediaDevice* fromModule();

    // Opens a device for the file, waiting until it is ready; 0 or an error code (nothing open then).
    virtual int open(const QString& path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool canPlay() const = 0;
    virtual bool hasVideo() const = 0;
    // Length and position in milliseconds.
    virtual qint64 length() const = 0;
    virtual qint64 position() const = 0;
    virtual Mode mode() const = 0;
    // Draws the video into `window` (nullptr detaches); 0 or an error code.
    virtual int attachDisplay(QWidget* window) = 0;
    virtual int seekToStart() = 0;
    // Moves to `position` milliseconds from the start.
    virtual int seek(qint64 position) = 0;
    // Whether the computer has a sound device to play to (without one a clip plays silently).
    virtual bool hasAudioOutput() const = 0;
    // Starts or resumes playback from the current position and returns at once; `completed` follows.
    virtual int play() = 0;
    virtual int pause() = 0;
    virtual int resume() = 0;
    // The device's own text for an error code; empty when it has none.
    virtual QString errorText(int code) const = 0;

signals:
    // Playback that was started by play or resume has ended or was interrupted.
    void completed(MediaDevice::Notice notice);
};
