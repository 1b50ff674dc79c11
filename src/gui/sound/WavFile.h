#pragma once

#include <QString>

// Checks, without decoding, that a file is a WAV file QSoundEffect can play:
// "RIFF" "WAVE" with the "fmt " chunk first, integer PCM of 8, 16, 24 or 32
// bits, and a non-empty "data" chunk that the file holds in full. Some files
// that fail here leave QSoundEffect loading for ever instead of failing.
namespace wavfile {

bool isPlayable(const QString& path);

} // namespace wavfile
