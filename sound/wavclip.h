#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// A clip as the sound device plays it: 16-bit mono at one fixed rate.
struct WavClip
{
    static constexpr int rate = 22050;
    // Larger than any spoken digit could be; a bigger file is not one of the clips.
    static constexpr qint64 maxFileBytes = 16 * 1024 * 1024;
    // What is kept of a longer recording: the announcement cuts every clip long before.
    static constexpr qint64 maxFrames = qint64(rate) * 60;

    std::vector<int16_t> samples;

    // Reads and converts a PCM WAV (8 or 16 bits, one or two channels, 8000 to 192000 Hz); nullptr when
    // the path is not a regular file, is too large or is not such a WAV. Never waits for a writer (a
    // FIFO) and never reads more than the file's size said at open.
    static std::shared_ptr<const WavClip> load(const QString &path);
    // The same check and conversion on the bytes of a file.
    static std::shared_ptr<const WavClip> decode(const char *data, qint64 size);
};

} // namespace platform
