#include "speech.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <deque>
#include <memory>

using namespace Qt::StringLiterals;

namespace Demo {

namespace {

// A few voices at once: espeak-ng is single-threaded and quick, so more
// processes than this gain little and crowd a small build machine.
constexpr int kMaxParallel = 4;
// Generous: espeak-ng speaks a minute of text in well under a second.
constexpr int kTimeoutMs = 60'000;
// Not plain "cmn": in espeak-ng 1.51 that voice turns each character into
// pinyin with a tone digit and then reads the syllable and the digit as
// English ("san one guo two", espeak-ng issues #1028, #1236); the pinyin
// variant speaks the same Mandarin properly.
constexpr char kVoice[] = "cmn-latn-pinyin";

constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384'000;
constexpr quint16 kWavePcm = 1;
constexpr quint16 kWaveExtensible = 0xFFFE;

quint16 u16(const char *at)
{
    return qFromLittleEndian<quint16>(at);
}

quint32 u32(const char *at)
{
    return qFromLittleEndian<quint32>(at);
}

// Linear interpolation is plenty for speech that is only ever played back
// at the rate the movie announces.
QList<qint16> resample(const QList<qint16> &samples, int fromRate, int toRate)
{
    if (fromRate == toRate || samples.isEmpty())
        return samples;
    const qint64 count = std::max<qint64>(1, qint64(samples.size()) * toRate / fromRate);
    QList<qint16> out;
    out.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const double position = double(i) * fromRate / toRate;
        const qsizetype first = std::min<qsizetype>(qsizetype(position), samples.size() - 1);
        const qsizetype second = std::min<qsizetype>(first + 1, samples.size() - 1);
        const double fraction = position - double(first);
        out.append(qint16(
            std::lround(samples.at(first) * (1.0 - fraction) + samples.at(second) * fraction)));
    }
    return out;
}

struct Job
{
    qsizetype index = 0;
    QString wavPath;
    std::unique_ptr<QProcess> process;
};

} // namespace

QString Speech::limitText(const QString &text)
{
    if (text.size() <= kMaxCharacters)
        return text;
    static const QString ends = u"。！？；，、.!?;,"_s;
    for (qsizetype at = kMaxCharacters - 1; at >= kMaxCharacters / 2; --at) {
        if (ends.contains(text.at(at)))
            return text.left(at + 1);
    }
    return text.left(kMaxCharacters);
}

bool Speech::speak(const QString &text, Pcm *out, QString *error)
{
    QList<Pcm> pcms;
    if (!speakAll({text}, &pcms, error))
        return false;
    *out = pcms.constFirst();
    return true;
}

bool Speech::speakAll(const QStringList &texts, QList<Pcm> *out, QString *error)
{
    out->clear();
    const QString program = QStandardPaths::findExecutable(u"espeak-ng"_s);
    if (program.isEmpty()) {
        *error = u"espeak-ng not found: the demo resources are spoken by it; install the "
                 u"Debian package espeak-ng (scripts/setup.sh does)"_s;
        return false;
    }
    QTemporaryDir folder;
    if (!folder.isValid()) {
        *error = u"cannot create a temporary folder for the speech: "_s + folder.errorString();
        return false;
    }

    const int parallel = std::clamp(QThread::idealThreadCount(), 1, kMaxParallel);
    std::deque<Job> running;
    qsizetype next = 0;
    out->reserve(texts.size());
    while (next < texts.size() || !running.empty()) {
        while (next < texts.size() && qsizetype(running.size()) < parallel) {
            Job job;
            job.index = next;
            job.wavPath = folder.filePath(QString::number(next) + u".wav"_s);
            job.process = std::make_unique<QProcess>();
            // -b 1: the text is UTF-8 whatever the locale says.
            job.process->start(program, {u"-v"_s, QString::fromLatin1(kVoice), u"-b"_s, u"1"_s,
                                         u"-w"_s, job.wavPath, u"--stdin"_s});
            if (!job.process->waitForStarted(kTimeoutMs)) {
                *error = program + u": "_s + job.process->errorString();
                return false;
            }
            // Written out now rather than from an event loop that never runs
            // while another voice is awaited, so every voice can work at once.
            job.process->write(limitText(texts.at(next)).toUtf8());
            job.process->waitForBytesWritten(kTimeoutMs);
            job.process->closeWriteChannel();
            running.push_back(std::move(job));
            ++next;
        }
        Job job = std::move(running.front());
        running.pop_front();
        QProcess &process = *job.process;
        const bool finished = process.waitForFinished(kTimeoutMs);
        if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            *error = u"espeak-ng failed on text %1: "_s.arg(job.index + 1) +
                     (finished ? QString::fromLocal8Bit(process.readAllStandardError()).trimmed()
                               : process.errorString());
            return false;
        }
        QFile wav(job.wavPath);
        if (!wav.open(QIODevice::ReadOnly)) {
            *error = job.wavPath + u": "_s + wav.errorString();
            return false;
        }
        Pcm pcm;
        if (!readWav(wav.readAll(), kSampleRate, &pcm, error)) {
            *error = u"espeak-ng output for text %1: "_s.arg(job.index + 1) + *error;
            return false;
        }
        if (pcm.samples.size() > qsizetype(kMaxSeconds) * kSampleRate)
            pcm.samples.resize(qsizetype(kMaxSeconds) * kSampleRate);
        out->append(pcm);
    }
    return true;
}

bool Speech::readWav(const QByteArray &wav, int targetRate, Pcm *out, QString *error)
{
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE") {
        *error = u"not a RIFF WAVE file"_s;
        return false;
    }
    const char *bytes = wav.constData();
    qint64 formatAt = -1;
    qint64 formatSize = 0;
    qint64 dataAt = -1;
    qint64 dataSize = 0;
    for (qint64 at = 12; at + 8 <= wav.size();) {
        const QByteArray id = wav.mid(at, 4);
        const qint64 size = std::min<qint64>(u32(bytes + at + 4), wav.size() - (at + 8));
        if (id == "fmt ") {
            formatAt = at + 8;
            formatSize = size;
        } else if (id == "data" && dataAt < 0) {
            dataAt = at + 8;
            dataSize = size;
        }
        at += 8 + size + (size & 1); // chunks start on even offsets
    }
    if (formatAt < 0 || formatSize < 16 || dataAt < 0) {
        *error = u"WAVE file without a format or a data chunk"_s;
        return false;
    }
    quint16 format = u16(bytes + formatAt);
    const int channels = u16(bytes + formatAt + 2);
    const int rate = int(u32(bytes + formatAt + 4));
    const int blockAlign = u16(bytes + formatAt + 12);
    const int bits = u16(bytes + formatAt + 14);
    if (format == kWaveExtensible && formatSize >= 26)
        format = u16(bytes + formatAt + 24); // the sub-format's first two bytes
    // The rate bounds keep a damaged header from asking the resampler for
    // gigabytes.
    if (format != kWavePcm || (bits != 8 && bits != 16) || channels < 1 || rate < kMinRate ||
        rate > kMaxRate || blockAlign != channels * bits / 8) {
        *error = u"WAVE format %1, %2 channels, %3 bits, %4 Hz: not 8- or 16-bit integer PCM at "
                 u"%5 to %6 Hz"_s.arg(format)
                     .arg(channels)
                     .arg(bits)
                     .arg(rate)
                     .arg(kMinRate)
                     .arg(kMaxRate);
        return false;
    }

    const qint64 frames = dataSize / blockAlign;
    QList<qint16> mono;
    mono.reserve(frames);
    const char *data = bytes + dataAt;
    for (qint64 frame = 0; frame < frames; ++frame) {
        qint64 sum = 0;
        for (int channel = 0; channel < channels; ++channel) {
            const char *sample = data + frame * blockAlign + channel * (bits / 8);
            sum += bits == 8 ? (qint32(quint8(*sample)) - 128) * 256 : qint32(qint16(u16(sample)));
        }
        mono.append(qint16(sum / channels));
    }
    out->sampleRate = targetRate;
    out->samples = resample(mono, rate, targetRate);
    return true;
}

} // namespace Demo
