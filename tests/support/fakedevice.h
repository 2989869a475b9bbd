#pragma once

#include "ui/mediadevice.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

// A multimedia device with a script: files open when they exist; play, pause and resume succeed unless
// told to fail; the test ends playback with finish().
class FakeDevice final : public MediaDevice {
public:
    static constexpr int fileNotFound = 275;
    static constexpr int noText = 999;

    int open(const QString& path) override {
        calls << QStringLiteral("open ") + path;
        if (!openError.isEmpty() || openCode != 0)
            return openCode ? openCode : fileNotFound;
        if (!QFileInfo::exists(path))
            return fileNotFound;
        m_open = true;
        m_mode = Stopped;
        m_position = 0;
        display = nullptr;
        return 0;
    }
    void close() override {
        calls << QStringLiteral("close");
        m_open = false;
        m_mode = NotReady;
        display = nullptr;
    }
    bool isOpen() const override { return m_open; }
    bool canPlay() const override { return m_open; }
    bool hasVideo() const override { return m_open; }
    qint64 length() const override { return 5000; }
    qint64 position() const override { return m_position; }
    Mode mode() const override { return m_mode; }
    int attachDisplay(QWidget* window) override {
        calls << QStringLiteral("display");
        display = window;
        return 0;
    }
    int seekToStart() override {
        calls << QStringLiteral("seek");
        m_position = 0;
        return 0;
    }
    int seek(qint64 position) override {
        calls << QStringLiteral("seek %1").arg(position);
        m_position = position;
        return 0;
    }
    bool hasAudioOutput() const override { return audio; }
    int play() override { return act(QStringLiteral("play"), playError, Playing); }
    int pause() override { return act(QStringLiteral("pause"), playError, Paused); }
    int resume() override { return act(QStringLiteral("resume"), resumeError, Playing); }
    QString errorText(int code) const override {
        if (code == fileNotFound)
            return openError.isEmpty() ? QStringLiteral("The specified file cannot be found") : openError;
        return {};
    }
    // The playback has reached `position` milliseconds.
    void playTo(qint64 position) { m_position = position; }
    void finish() {
        m_position = length();
        m_mode = Stopped;
        emit completed(Successful);
    }

    QStringList calls;
    QWidget* display = nullptr;
    QString openError;
    int openCode = 0;
    int playError = 0;
    int resumeError = 0;
    bool audio = true;

private:
    int act(const QString& call, int error, Mode next) {
        calls << call;
        if (error)
            return error;
        m_mode = next;
        return 0;
    }

    bool m_open = false;
    Mode m_mode = NotReady;
    qint64 m_position = 0;
};
