#pragma once

#include <QByteArray>
#include <QString>

// A short melody or chord typed in ABC notation turned into a question's picture and sound: engraved by
// abcm2ps (a program of its own) into SVG, converted by abc2midi into MIDI, and played by the synthesizer
// module through a General MIDI SoundFont into a WAV clip.
namespace notation {

struct Rendered {
    QByteArray svg;
    QByteArray wave;
};

// Throws Failure: a mistake in the notation with the engraver's own message, a missing program or SoundFont.
Rendered render(const QString& abc);

} // namespace notation
