#include "mediadevice.h"

#include "base/programmodule.h"
#include "mediamodule.h"

#include <memory>

namespace {

// The device over one player of the module, turning the player's completion callback into the signal.
class ModuleDevice final : public MediaDevice {
public:
    explicit ModuleDevice(MediaBackend* backend) : m_backend(backend) {
        m_backend->setCompletionHandler([this](Notice notice) { emit completed(notice); });
    }

    int open(const QString& path) override { return m_backend->open(path); }
    void close() override { m_backend->close(); }
    bool isOpen() const override { return m_backend->isOpen(); }
    bool canPlay() const override { return m_backend->canPlay(); }
    bool hasVideo() const override { return m_backend->hasVideo(); }
    qint64 length() const override { return m_backend->length(); }
    qint64 position() const override { return m_backend->position(); }
    Mode mode() const override { return m_backend->mode(); }
    int attachDisplay(QWidget* window) override { return m_backend->attachDisplay(window); }
    int seekToStart() override { return m_backend->seekToStart(); }
    int seek(qint64 position) override { return m_backend->seek(position); }
    bool hasAudioOutput() const override { return m_backend->hasAudioOutput(); }
    int play() override { return m_backend->play(); }
    int pause() override { return m_backend->pause(); }
    int resume() override { return m_backend->resume(); }
    QString errorText(int code) const override { return m_backend->errorText(code); }

private:
    std::unique_ptr<MediaBackend> m_backend;
};

} // namespace

MediaDevice* MediaDevice::fromModule() {
    auto& module =
        loadProgramModule<MediaModule>(QStringLiteral("esun_media.so"), QStringLiteral("видеоуроков"));
    return new ModuleDevice(module.createBackend());
}
