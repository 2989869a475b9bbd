#pragma once

#include "mediadevice.h"

#include <QString>
#include <QtPlugin>

#include <functional>

class QWidget;

// One multimedia player as the separately built media module offers it: the operations of MediaDevice, with
// the end of playback reported to a callback instead of a signal (the module has no MediaDevice of its own).
class MediaBackend {
public:
    // Error codes of the backend besides its player's own.
    enum { OpenTimedOut = 1000, NotOpen = 1001 };

    virtual ~MediaBackend() = default;
    virtual void setCompletionHandler(std::function<void(MediaDevice::Notice)> handler) = 0;
    virtual int open(const QString& path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool canPlay() const = 0;
    virtual bool hasVideo() const = 0;
    virtual qint64 length() const = 0;
    virtual qint64 position() const = 0;
    virtual MediaDevice::Mode mode() const = 0;
    virtual int attachDisplay(QWidget* window) = 0;
    virtual int seekToStart() = 0;
    virtual int seek(qint64 position) = 0;
    virtual bool hasAudioOutput() const = 0;
    virtual int play() = 0;
    virtual int pause() = 0;
    virtual int resume() = 0;
    virtual QString errorText(int code) const = 0;
};

// What the media module offers: players, the first of them choosing the process's media backend.
class MediaModule {
public:
    virtual ~MediaModule() = default;
    virtual MediaBackend* createBackend() = 0;
};

#define MediaModule_iid "ru.school.muzyka.MediaModule/1.1"
Q_DECLARE_INTERFACE(MediaModule, MediaModule_iid)
