#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class MediaDevice;
class QTemporaryFile;
class QTimer;

// Plays a question's sound clip, or the part of it between two seconds, through a device of the media module
// made on the first play (so nobody pays for the multimedia libraries before). One clip at a time: another
// clip, stop() and the object's end stop the one playing.
class ClipPlayer : public QObject {
    Q_OBJECT
public:
    explicit ClipPlayer(QObject* parent = nullptr);
    ~ClipPlayer() override;

    // The clip to play next; nothing is opened yet.
    void setClip(const QByteArray& sound, const QString& type, std::optional<double> start,
                 std::optional<double> end);
    bool hasClip() const { return !m_sound.isEmpty(); }
    // Opens the clip ahead of its first play (loading the media module if need be), so that the play starts
    // at once; throws Failure as play does.
    void prepare();
    // Plays the clip's part from its beginning; throws Failure when the media module cannot be loaded or the
    // clip cannot be played.
    void play();
    void stop();
    bool isPlaying() const;
    // Whether the computer has a sound device (known once a clip was opened; assumed before).
    bool hasAudioOutput() const;
    // Milliseconds into the part, and the part's length (0 until the clip was opened).
    qint64 position() const;
    qint64 length() const;
    // Whether the player decodes the clip: empty, or the sentence saying why not. Throws Failure when the
    // media module cannot be loaded.
    QString check(const QByteArray& sound, const QString& type);

    // Devices are made by `maker` instead of the media module (an empty one: the module again), for tests.
    static void setDeviceMakerForTesting(std::function<MediaDevice*()> maker);

signals:
    void positionChanged();
    // The part played to its end, or was stopped.
    void stopped();

private:
    MediaDevice& device();
    // Opens the clip in the device; the device's sentence when it cannot.
    QString open();
    void tick();
    void close();
    qint64 startMs() const;

    std::unique_ptr<MediaDevice> m_device;
    std::unique_ptr<QTemporaryFile> m_file;
    QTimer* m_timer;
    QByteArray m_sound;
    QString m_type;
    std::optional<double> m_start;
    std::optional<double> m_end;
    bool m_playing = false;
};
