#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace Demo {

// Mono 16-bit samples at one rate.
struct Pcm
{
    int sampleRate = 0;
    QList<qint16> samples;

    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0.0; }
};

// Speaks Chinese text with espeak-ng's Mandarin voice, which the
// setup script installs. The text goes in on standard input, so a text that
// starts with "-" is never taken for an option, and the speech comes back
// through a WAV file per text, so several voices can run at once without
// stalling on a full pipe.
class Speech
{
public:
    // The rate the movies use: espeak-ng's own, and one the SWF file format
    // knows, so nothing is resampled in the usual case.
    static constexpr int kSampleRate = 22050;
    // A demo resource speaks for a minute at most ...
    static constexpr int kMaxSeconds = 60;
    // ... which is about this many characters of Mandarin at espeak-ng's
    // default speed (some 3 characters a second); longer texts are cut first
    // so that no time goes into speech that would be thrown away.
    static constexpr int kMaxCharacters = 180;

    // text cut to kMaxCharacters, at the last sentence or clause end in the
    // second half of that length if there is one.
    static QString limitText(const QString &text);

    // Speaks each text (limited as above) into *out, in order, at
    // kSampleRate and at most kMaxSeconds each. Runs a few espeak-ng
    // processes at once. On failure returns false and sets *error.
    static bool speakAll(const QStringList &texts, QList<Pcm> *out, QString *error);
    static bool speak(const QString &text, Pcm *out, QString *error);

    // Reads a RIFF WAVE file with 8- or 16-bit integer samples and any
    // number of channels into mono 16-bit samples at targetRate. A data
    // chunk longer than the file (a streamed WAV whose size was never filled
    // in) is read to the end of the file.
    static bool readWav(const QByteArray &wav, int targetRate, Pcm *out, QString *error);
};

} // namespace Demo
