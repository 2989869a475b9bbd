// The synthesizer module: MIDI files rendered into WAV clips with FluidSynth, built as a separate library so
// that the program does not link it and its start-up does not pay for it.
#include "admin/synthmodule.h"

#include <QObject>
#include <QtEndian>

#include <fluidsynth.h>

#include <memory>
#include <vector>

namespace {

constexpr int sampleRate = 22050;
constexpr int blockFrames = 512;
// The notes' release and the reverb's tail after the last note.
constexpr int tailFrames = sampleRate;
// A melody of a question is short; anything longer is cut here.
constexpr int maxFrames = sampleRate * 300;

template <typename T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using Settings = std::unique_ptr<fluid_settings_t, Deleter<fluid_settings_t, delete_fluid_settings>>;
using Synth = std::unique_ptr<fluid_synth_t, Deleter<fluid_synth_t, delete_fluid_synth>>;

void deletePlayer(fluid_player_t* player) {
    delete_fluid_player(player);
}
using Player = std::unique_ptr<fluid_player_t, Deleter<fluid_player_t, deletePlayer>>;

void putLe32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void putLe16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

QByteArray wave(const std::vector<qint16>& samples) {
    const quint32 dataBytes = quint32(samples.size() * 2);
    QByteArray out;
    out.reserve(int(44 + dataBytes));
    out.append("RIFF", 4);
    putLe32(out, 36 + dataBytes);
    out.append("WAVEfmt ", 8);
    putLe32(out, 16);
    putLe16(out, 1); // PCM
    putLe16(out, 1); // mono
    putLe32(out, sampleRate);
    putLe32(out, sampleRate * 2);
    putLe16(out, 2);
    putLe16(out, 16);
    out.append("data", 4);
    putLe32(out, dataBytes);
    for (qint16 sample : samples)
        putLe16(out, quint16(sample));
    return out;
}

class FluidSynthModule final : public QObject, public SynthModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SynthModule_iid)
    Q_INTERFACES(SynthModule)
public:
    QByteArray renderWave(const QString& midiPath, const QString& soundFont, QString* error) override {
        // FluidSynth's own messages would go to the terminal; the reasons here are the program's.
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        Settings settings(new_fluid_settings());
        // The player is driven by the samples rendered, not by the clock: rendering runs as fast as it can.
        fluid_settings_setstr(settings.get(), "player.timing-source", "sample");
        fluid_settings_setint(settings.get(), "synth.lock-memory", 0);
        fluid_settings_setnum(settings.get(), "synth.sample-rate", sampleRate);
        Synth synth(new_fluid_synth(settings.get()));
        if (!synth) {
            *error = QStringLiteral("синтезатор звука не запустился");
            return {};
        }
        if (fluid_synth_sfload(synth.get(), soundFont.toLocal8Bit().constData(), 1) == FLUID_FAILED) {
            *error = QStringLiteral("не читается банк звуков «%1»").arg(soundFont);
            return {};
        }
        Player player(new_fluid_player(synth.get()));
        if (fluid_player_add(player.get(), midiPath.toLocal8Bit().constData()) != FLUID_OK ||
            fluid_player_play(player.get()) != FLUID_OK) {
            *error = QStringLiteral("мелодию не удалось сыграть");
            return {};
        }
        std::vector<qint16> mono;
        std::vector<qint16> stereo(blockFrames * 2);
        int tail = 0;
        while (tail < tailFrames && int(mono.size()) < maxFrames) {
            if (fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING)
                tail += blockFrames;
            fluid_synth_write_s16(synth.get(), blockFrames, stereo.data(), 0, 2, stereo.data(), 1, 2);
            for (int i = 0; i < blockFrames; ++i)
                mono.push_back(qint16((int(stereo[2 * i]) + int(stereo[2 * i + 1])) / 2));
        }
        return wave(mono);
    }
};

} // namespace

#include "fluidsynthmodule.moc"
