#include "sound/wavclip.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

quint32 le(const unsigned char *p, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

constexpr quint16 formatPcm = 1;
constexpr quint16 formatExtensible = 0xFFFE;

} // namespace

std::shared_ptr<const WavClip> WavClip::load(const QString &path)
{
    // O_NONBLOCK: opening a FIFO must not wait for its writer; fstat then turns it away.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st
    {
    };
    std::vector<char> bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maxFileBytes;
    if (ok) {
        bytes.resize(size_t(st.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += size_t(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    if (!ok) return nullptr;
    return decode(bytes.data(), qint64(bytes.size()));
}

std::shared_ptr<const WavClip> WavClip::decode(const char *data, qint64 size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return nullptr;

    int channels = 0, srcRate = 0, bits = 0;
    const unsigned char *pcm = nullptr;
    qint64 pcmBytes = 0;
    for (qint64 at = 12; at + 8 <= size;) {
        const qint64 length = le(p + at + 4, 4);
        const unsigned char *body = p + at + 8;
        const qint64 available = std::min(length, size - at - 8);
        if (std::memcmp(p + at, "fmt ", 4) == 0) {
            if (available < 16) return nullptr;
            quint16 tag = quint16(le(body, 2));
            if (tag == formatExtensible && available >= 26) tag = quint16(le(body + 24, 2)); // sub-format
            if (tag != formatPcm) return nullptr;
            channels = int(le(body + 2, 2));
            srcRate = int(le(body + 4, 4));
            bits = int(le(body + 14, 2));
        } else if (std::memcmp(p + at, "data", 4) == 0) {
            pcm = body;
            pcmBytes = available; // a header that promises more than the file holds plays what there is
            break;
        }
        at += 8 + length + (length & 1);
    }
    if (!pcm || channels < 1 || channels > 2 || (bits != 8 && bits != 16)) return nullptr;
    if (srcRate < 8000 || srcRate > 192000) return nullptr; // a header that lies about its rate

    const int frameBytes = channels * bits / 8;
    const qint64 srcFrames = pcmBytes / frameBytes;
    if (srcFrames == 0) return nullptr;
    auto sample = [&](qint64 frame) -> int {
        const unsigned char *f = pcm + frame * frameBytes;
        int sum = 0;
        for (int c = 0; c < channels; ++c)
            sum += bits == 8 ? (int(f[c]) - 128) << 8 : int(int16_t(le(f + 2 * c, 2)));
        return sum / channels;
    };

    auto clip = std::make_shared<WavClip>();
    const qint64 frames = std::min(maxFrames, (srcFrames * rate + srcRate - 1) / srcRate);
    clip->samples.resize(size_t(frames));
    for (qint64 i = 0; i < frames; ++i) {
        // Linear interpolation between the two source frames around this one.
        const qint64 num = i * srcRate;
        const qint64 at = num / rate;
        const qint64 frac = num % rate;
        const int a = sample(at);
        const int b = at + 1 < srcFrames ? sample(at + 1) : a;
        clip->samples[size_t(i)] = int16_t(a + (b - a) * frac / rate);
    }
    return clip;
}

} // namespace platform
