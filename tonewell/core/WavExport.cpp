#include "WavExport.h"

#include "BeatTone.h"
#include "FadeOut.h"
#include "FileBytes.h"
#include "ProgramSound.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerFrame = 4;

void appendLittleEndian32(QByteArray &bytes, std::uint32_t value)
{
    const std::uint32_t stored = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char *>(&stored), sizeof stored);
}

void appendLittleEndian16(QByteArray &bytes, std::uint16_t value)
{
    const std::uint16_t stored = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char *>(&stored), sizeof stored);
}

} // namespace

std::int64_t ProgramFrames(int minutes)
{
    return std::int64_t(minutes) * 60 * kSampleRate;
}

QByteArray WavHeader(std::int64_t frames)
{
    const auto dataBytes = static_cast<std::uint32_t>(frames * kBytesPerFrame);
    QByteArray header;
    header.append("RIFF");
    appendLittleEndian32(header, 36 + dataBytes);
    header.append("WAVE");
    header.append("fmt ");
    appendLittleEndian32(header, 16);
    appendLittleEndian16(header, 1); // PCM
    appendLittleEndian16(header, kChannels);
    appendLittleEndian32(header, kSampleRate);
    appendLittleEndian32(header, kSampleRate * kBytesPerFrame);
    appendLittleEndian16(header, kBytesPerFrame);
    appendLittleEndian16(header, 16);
    header.append("data");
    appendLittleEndian32(header, dataBytes);
    return header;
}

ExportOutcome ExportProgramToWav(const QString &path, const ProgramExport &program, const ExportProgress &progress)
{
    if (program.minutes < 1 || program.minutes > kLongestWavMinutes)
        return {ExportResult::TooLong, std::nullopt};
    const std::int64_t totalFrames = ProgramFrames(program.minutes);

    const StreamedSave save = saveFileAtomically(path, [&](const SaveWriter &write) {
        const QByteArray header = WavHeader(totalFrames);
        if (!write(header.constData(), header.size()))
            return false;
        BeatToneState state; // the zero state, not the one that may be playing
        ProgramSound sound(program.baseHz, program.beatHz, program.motion, state);
        std::vector<std::int16_t> samples(kChannels * std::size_t(kExportFramesPerFill));
        for (std::int64_t written = 0; written < totalFrames;) {
            const auto frames = static_cast<std::uint32_t>(std::min<std::int64_t>(kExportFramesPerFill,
                                                                                   totalFrames - written));
            sound.fill(samples.data(), frames);
            if (program.fadeOut)
                ApplyFadeOut(samples.data(), frames, written, totalFrames);
            if constexpr (std::endian::native != std::endian::little)
                qToLittleEndian<std::int16_t>(samples.data(), kChannels * frames, samples.data());
            if (!write(reinterpret_cast<const char *>(samples.data()), qint64(frames) * kBytesPerFrame))
                return false;
            written += frames;
            if (progress && !progress(written, totalFrames))
                return false;
        }
        return true;
    });
    if (save.error)
        return {ExportResult::Failed, save.error};
    return {save.abandoned ? ExportResult::Cancelled : ExportResult::Written, std::nullopt};
}
