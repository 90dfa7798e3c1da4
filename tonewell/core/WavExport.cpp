#include "WavExport.h"

#include "BeatTone.h"
#include "FadeOut.h"
#include "FileBytes.h"
#include "ProgramSound.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <future>
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

    const StreamedSave save = saveToDestination(path, [&](const SaveWriter &write) {
        const QByteArray header = WavHeader(totalFrames);
        if (!write(header.constData(), header.size()))
            return false;
        BeatToneState state; // the zero state, not the one that may be playing
        ProgramSound sound(program.baseHz, program.beatHz, program.motion, state);
        // Blocks of whole fills, made on two threads while the block before is being written.
        std::vector<std::int16_t> blocks[2];
        for (std::vector<std::int16_t> &block : blocks)
            block.resize(kChannels * std::size_t(kExportFramesPerFill) * kExportFillsPerBlock);
        const auto make = [&](std::vector<std::int16_t> &block, std::int64_t first) {
            const std::int64_t frames = std::min<std::int64_t>(block.size() / kChannels, totalFrames - first);
            const auto wholeFills = static_cast<std::uint32_t>(frames / kExportFramesPerFill);
            sound.fillOnTwoThreads(block.data(), wholeFills, kExportFramesPerFill);
            const auto rest = static_cast<std::uint32_t>(frames % kExportFramesPerFill);
            if (rest > 0)
                sound.fill(block.data() + kChannels * std::size_t(wholeFills) * kExportFramesPerFill, rest);
            if (program.fadeOut)
                ApplyFadeOut(block.data(), static_cast<std::uint32_t>(frames), first, totalFrames);
            if constexpr (std::endian::native != std::endian::little)
                qToLittleEndian<std::int16_t>(block.data(), kChannels * frames, block.data());
            return frames;
        };
        // Where no thread can be had, each block is made when it is to be written.
        constexpr auto ahead = std::launch::async | std::launch::deferred;
        std::future<std::int64_t> next = std::async(ahead, make, std::ref(blocks[0]), 0);
        for (std::int64_t written = 0, index = 0; written < totalFrames; ++index) {
            const std::int64_t frames = next.get();
            if (written + frames < totalFrames)
                next = std::async(ahead, make, std::ref(blocks[(index + 1) % 2]), written + frames);
            // Written, and told, a fill at a time, as before the blocks.
            const std::int16_t *block = blocks[index % 2].data();
            for (std::int64_t done = 0; done < frames;) {
                const std::int64_t piece = std::min<std::int64_t>(kExportFramesPerFill, frames - done);
                const bool wrote = write(reinterpret_cast<const char *>(block + kChannels * done),
                                         qint64(piece) * kBytesPerFrame);
                done += piece;
                if (!wrote || (progress && !progress(written + done, totalFrames))) {
                    if (next.valid())
                        next.wait();
                    return false;
                }
            }
            written += frames;
        }
        return true;
    });
    if (save.error)
        return {ExportResult::Failed, save.error};
    return {save.abandoned ? ExportResult::Cancelled : ExportResult::Written, std::nullopt};
}
