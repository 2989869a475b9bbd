#pragma once

#include <QByteArray>
#include <QString>
#include <QtPlugin>

// What the separately built synthesizer module offers: a MIDI file rendered into sound with a General MIDI
// SoundFont. Only the module links libfluidsynth (and with it the sound servers' libraries), which the
// program needs only when a teacher turns notes into a question's sound.
class SynthModule {
public:
    virtual ~SynthModule() = default;
    // The MIDI file played through the SoundFont into a WAV clip (16-bit mono); empty, with the reason in
    // `error` (a sentence's end, without its full stop), when it cannot be.
    virtual QByteArray renderWave(const QString& midiPath, const QString& soundFont, QString* error) = 0;
};

#define SynthModule_iid "ru.school.muzyka.SynthModule/1.0"
Q_DECLARE_INTERFACE(SynthModule, SynthModule_iid)
