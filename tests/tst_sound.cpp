#include "dialogs/menu.h"
#include "sound/audiodevice.h"
#include "sound/sound.h"
#include "sound/soundgrid.h"
#include "sound/soundmixer.h"
#include "sound/wavclip.h"
#include "recordingsound.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::SdlSound;
using platform::SoundGrid;
using platform::SoundMixer;
using platform::SoundOutput;
using platform::WavClip;

namespace {

QByteArray le16(quint16 v)
{
    v = qToLittleEndian(v);
    return QByteArray(reinterpret_cast<const char *>(&v), 2);
}

QByteArray le32(quint32 v)
{
    v = qToLittleEndian(v);
    return QByteArray(reinterpret_cast<const char *>(&v), 4);
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A PCM WAV holding a quiet 440 Hz tone.
QByteArray wav(int ms, int rate = 22050, int channels = 1, int bits = 16)
{
    const int frames = int(qint64(rate) * ms / 1000);
    const int sampleBytes = bits / 8;
    QByteArray data;
    data.reserve(frames * channels * sampleBytes);
    for (int i = 0; i < frames; ++i) {
        const double v = 0.2 * std::sin(2 * M_PI * 440 * i / rate);
        for (int c = 0; c < channels; ++c) {
            if (bits == 8)
                data.append(char(quint8(128 + int(v * 127))));
            else
                data.append(le16(quint16(qint16(v * 32767))));
        }
    }
    return "RIFF" + le32(36 + data.size()) + "WAVE" + "fmt " + le32(16) + le16(1) + le16(channels) +
           le32(rate) + le32(rate * channels * sampleBytes) + le16(channels * sampleBytes) + le16(bits) +
           "data" + le32(data.size()) + data;
}

// Waits for the device to close; the milliseconds it took, or -1 if it stayed open past the limit.
qint64 msUntilClosed(const SdlSound &sound, const QElapsedTimer &since, int limit)
{
    if (!QTest::qWaitFor([&] { return !sound.deviceOpen(); }, limit)) return -1;
    return since.elapsed();
}

// The device opens on the sound thread, a moment after the play call.
bool opens(const SdlSound &sound)
{
    return QTest::qWaitFor([&] { return sound.deviceOpen(); }, 5000);
}

// Every request handled and the device closed again; the beeps it asked for delivered.
bool settles(SdlSound &sound)
{
    sound.setIdleCloseDelay(0);
    const bool done = QTest::qWaitFor([&] { return sound.idle(); }, 5000);
    QCoreApplication::processEvents();
    return done;
}

// A device that plays nothing: it counts its opens and can hang in open like a server that never
// answers, or be lost like one that went away.
struct FakeDevice : platform::AudioDevice
{
    struct Control
    {
        std::mutex lock;
        std::condition_variable released;
        bool hang = false;
        bool alive = true;
        int opens = 0;
        bool holdEnd = false; // the thread's ending waits until released
        bool ending = false;
    };
    explicit FakeDevice(std::shared_ptr<Control> c) : c(std::move(c)) {}
    bool open(SoundMixer &) override
    {
        std::unique_lock lk(c->lock);
        c->released.wait(lk, [this] { return !c->hang; });
        ++c->opens;
        c->alive = true;
        return true;
    }
    void close() override {}
    bool alive() override
    {
        std::lock_guard guard(c->lock);
        return c->alive;
    }
    void threadEnds(bool) override
    {
        std::unique_lock lk(c->lock);
        c->ending = true;
        c->released.notify_all();
        c->released.wait(lk, [this] { return !c->holdEnd; });
    }
    std::shared_ptr<Control> c;
};

// The threads the sound output owns: its own and SDL's audio thread, which an open device keeps
// running. Other libraries' threads come and go on their own and are not counted.
int soundThreads()
{
    int n = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly)) continue;
        const QByteArray name = comm.readAll().trimmed();
        n += name == "velmora-ses" || name.startsWith("SDLAudio");
    }
    return n;
}

// Counts the warm-ups asked of the output.
struct PreparedOutput : SoundOutput
{
    PreparedOutput() { install(this); }
    ~PreparedOutput() override { reset(); }
    void play(const QString &) override {}
    void prepare() override { ++prepared; }
    int prepared = 0;
};

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void librariesLoadedAtFirstPlay();
    void defaultOutput();
    void playsPcmWavs_data();
    void playsPcmWavs();
    void unreadableClipBeeps_data();
    void unreadableClipBeeps();
    void clipReadAnewEachPlay_data();
    void clipReadAnewEachPlay();
    void replacesThePlayingClip_data();
    void replacesThePlayingClip();
    void closesAfterIdleDelay_data();
    void closesAfterIdleDelay();
    void shorterDelayAppliesToTheOpenDevice();
    void withoutDeviceStaysSilentAndRetries();
    void destroyedWhilePlaying();
    void hungServerNeverHoldsTheCaller();
    void lostOutputOpenedAnew_data();
    void lostOutputOpenedAnew();
    void gridPlacement_data();
    void gridPlacement();
    void mixerStartsAtTheFrame();
    void openingTheMenuPreparesTheOutput();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // A sound whose beeps are counted instead of heard.
    std::unique_ptr<SdlSound> makeSound(int *beeps)
    {
        auto sound = std::make_unique<SdlSound>();
        sound->setBeeper([beeps] { ++*beeps; });
        return sound;
    }

    QTemporaryDir m_dir;
};

void TestSound::initTestCase()
{
    // Before the first play: SDL reads the driver when it starts its audio part.
    qputenv("SDL_AUDIODRIVER", "dummy");
    QVERIFY(m_dir.isValid());
    writeBytes(path(QStringLiteral("short.wav")), wav(100));
    writeBytes(path(QStringLiteral("long.wav")), wav(6000));
}

// SDL and its codecs are a large part of the program's start-up and memory; only speaking needs them.
void TestSound::librariesLoadedAtFirstPlay()
{
    auto mapped = [] {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libSDL2");
    };
    auto lowestFreeKey = [] {
        pthread_key_t k;
        pthread_key_create(&k, nullptr);
        pthread_key_delete(k);
        return k;
    };
    QVERIFY(!mapped());
    int beeps = 0;
    auto sound = makeSound(&beeps);
    QVERIFY(!mapped());
    sound->play(path(QStringLiteral("short.wav")));
    QVERIFY(opens(*sound));
    QVERIFY(mapped());
    QVERIFY(settles(*sound));
    QCOMPARE(beeps, 0);
    // Unloaded with the thread; loaded again, it keeps no more of the process's 1024 pthread keys.
    QVERIFY(!mapped());
    const pthread_key_t freeBefore = lowestFreeKey();
    sound->play(path(QStringLiteral("short.wav")));
    QVERIFY(settles(*sound));
    QCOMPARE(lowestFreeKey(), freeBefore);
}

void TestSound::defaultOutput()
{
    SoundOutput &standard = SoundOutput::instance();
    auto *sdl = dynamic_cast<SdlSound *>(&standard);
    QVERIFY(sdl);
    // Owned by the application, so it goes while Qt and SDL are still there.
    QCOMPARE(sdl->parent(), static_cast<QObject *>(qApp));
    QCOMPARE(&SoundOutput::instance(), &standard);
    {
        RecordingSound recorder(nullptr);
        SoundOutput::instance().play(QStringLiteral("Ses/Saat.wav"));
        QCOMPARE(recorder.played.size(), 1);
        QCOMPARE(recorder.played.first().path, QStringLiteral("Ses/Saat.wav"));
        QVERIFY(!sdl->deviceOpen());
    }
    QCOMPARE(&SoundOutput::instance(), &standard);
}

void TestSound::playsPcmWavs_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");

    QTest::newRow("22050 Hz mono 16-bit, as the clips") << 22050 << 1 << 16;
    QTest::newRow("44100 Hz stereo 16-bit") << 44100 << 2 << 16;
    QTest::newRow("48000 Hz mono 16-bit") << 48000 << 1 << 16;
    QTest::newRow("11025 Hz mono 8-bit") << 11025 << 1 << 8;
}

// Any PCM WAV plays, and the device stays open for the whole clip whatever its format.
void TestSound::playsPcmWavs()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, bits);
    const int clipMs = 600;
    const QString file = path(QStringLiteral("format-%1-%2-%3.wav").arg(rate).arg(channels).arg(bits));
    writeBytes(file, wav(clipMs, rate, channels, bits));

    int beeps = 0;
    auto sound = makeSound(&beeps);
    sound->setIdleCloseDelay(0);
    QElapsedTimer since;
    since.start();
    sound->play(file);
    QVERIFY(opens(*sound));
    QVERIFY(soundThreads() > 0);
    const qint64 closedAfter = msUntilClosed(*sound, since, clipMs + 5000);
    QCoreApplication::processEvents();
    QCOMPARE(beeps, 0);
    QVERIFY2(closedAfter >= clipMs * 9 / 10, qPrintable(QString::number(closedAfter)));
}

void TestSound::unreadableClipBeeps_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("missing file") << "missing.wav" << QByteArray();
    QTest::newRow("empty file") << "empty.wav" << QByteArray("");
    QTest::newRow("text, not sound") << "text.wav" << QByteArray("saat on iki\n");
    QTest::newRow("cut inside the header") << "cut.wav" << wav(100).left(20);
    QTest::newRow("a folder") << "folder.wav" << QByteArray();
    // A reader that waits for a writer, or reads without end, would hold the sound thread for good.
    QTest::newRow("a FIFO without a writer") << "fifo.wav" << QByteArray();
    QTest::newRow("a link to /dev/zero") << "zero.wav" << QByteArray();
    // Taken at its word, a 1 Hz header makes a clip of hundreds of megabytes at the device's rate.
    QByteArray oneHz = wav(400);
    oneHz.replace(24, 4, le32(1));
    QTest::newRow("header says 1 Hz") << "1hz.wav" << oneHz;
    QTest::newRow("three channels") << "3ch.wav" << wav(100, 22050, 3);
    QTest::newRow("larger than any clip") << "huge.wav" << QByteArray();
}

void TestSound::unreadableClipBeeps()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString file = path(name);
    QFile::remove(file);
    if (name == QLatin1String("folder.wav")) {
        QVERIFY(QDir(m_dir.path()).mkpath(name));
    } else if (name == QLatin1String("fifo.wav")) {
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    } else if (name == QLatin1String("zero.wav")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), file));
    } else if (name == QLatin1String("huge.wav")) {
        // A good header on 17 MB (sparse: no disk is spent).
        writeBytes(file, wav(100));
        QVERIFY(QFile::resize(file, WavClip::maxFileBytes + 1024 * 1024));
    } else if (!content.isNull()) {
        writeBytes(file, content);
    }

    int beeps = 0;
    auto sound = makeSound(&beeps);
    sound->play(file);
    // The next good clip plays as usual.
    sound->play(path(QStringLiteral("short.wav")));
    QVERIFY(opens(*sound));
    QVERIFY2(settles(*sound), "the sound thread hung on the clip");
    QCOMPARE(beeps, 1);
}

namespace {
enum class Content { Good, Spoilt, Gone };
}

void TestSound::clipReadAnewEachPlay_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("beepsBefore");
    QTest::addColumn<int>("beepsAfter");

    QTest::newRow("removed") << int(Content::Good) << int(Content::Gone) << 0 << 1;
    QTest::newRow("put in place") << int(Content::Gone) << int(Content::Good) << 1 << 1;
    QTest::newRow("spoilt") << int(Content::Good) << int(Content::Spoilt) << 0 << 1;
    QTest::newRow("mended") << int(Content::Spoilt) << int(Content::Good) << 1 << 1;
}

void TestSound::clipReadAnewEachPlay()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(int, beepsBefore);
    QFETCH(int, beepsAfter);
    const QString file = path(QStringLiteral("changing.wav"));
    const auto put = [&](int content) {
        QFile::remove(file);
        if (Content(content) == Content::Good)
            writeBytes(file, wav(100));
        else if (Content(content) == Content::Spoilt)
            writeBytes(file, QByteArray("RIFF....WAVEjunk"));
    };

    int beeps = 0;
    auto sound = makeSound(&beeps);
    put(before);
    sound->play(file);
    QVERIFY(settles(*sound));
    QCOMPARE(beeps, beepsBefore);
    put(after);
    sound->play(file);
    QVERIFY(settles(*sound));
    QCOMPARE(beeps, beepsAfter);
}

void TestSound::replacesThePlayingClip_data()
{
    QTest::addColumn<QString>("next");
    QTest::addColumn<bool>("rewriteFirst");
    QTest::addColumn<int>("beeps");

    QTest::newRow("another clip") << "short.wav" << false << 0;
    QTest::newRow("the same file, rewritten short") << "first.wav" << true << 0;
    // The beep stands in for the asked-for clip, so the previous one does not go on under it.
    QTest::newRow("a missing file") << "missing.wav" << false << 1;
}

// Six seconds of sound, then a play of something short: the device closes long before the six seconds end.
void TestSound::replacesThePlayingClip()
{
    QFETCH(QString, next);
    QFETCH(bool, rewriteFirst);
    QFETCH(int, beeps);
    const QString first = path(QStringLiteral("first.wav"));
    writeBytes(first, wav(6000));

    int beeped = 0;
    auto sound = makeSound(&beeped);
    sound->setIdleCloseDelay(100);
    QElapsedTimer took;
    took.start();
    sound->play(first);
    QVERIFY2(took.elapsed() < 1000, "play() waited for the clip");
    QVERIFY(opens(*sound));
    if (rewriteFirst) writeBytes(first, wav(100));
    QElapsedTimer since;
    since.start();
    sound->play(path(next));
    QVERIFY2(msUntilClosed(*sound, since, 3000) >= 0, "the six-second clip went on");
    QCoreApplication::processEvents();
    QCOMPARE(beeped, beeps);
}

void TestSound::closesAfterIdleDelay_data()
{
    QTest::addColumn<int>("clipMs");
    QTest::addColumn<int>("delay"); // -1: leave the default
    QTest::addColumn<int>("expectedMs");

    QTest::newRow("short clip, short delay") << 150 << 250 << 400;
    QTest::newRow("long clip, short delay") << 1200 << 150 << 1350;
    QTest::newRow("no delay") << 150 << 0 << 150;
    QTest::newRow("default delay") << 100 << -1 << 3100;
}

// Closed once the clip is over and the delay has passed, not before; the next play opens it again.
void TestSound::closesAfterIdleDelay()
{
    QFETCH(int, clipMs);
    QFETCH(int, delay);
    QFETCH(int, expectedMs);
    const QString file = path(QStringLiteral("clip-%1.wav").arg(clipMs));
    writeBytes(file, wav(clipMs));

    int beeps = 0;
    auto sound = makeSound(&beeps);
    if (delay >= 0) sound->setIdleCloseDelay(delay);
    QVERIFY(!sound->deviceOpen());
    QElapsedTimer since;
    since.start();
    sound->play(file);
    QVERIFY(opens(*sound));
    QVERIFY(soundThreads() > 0);
    const qint64 closedAfter = msUntilClosed(*sound, since, expectedMs + 5000);
    QVERIFY2(closedAfter >= 0, "the device stayed open");
    QVERIFY2(closedAfter >= expectedMs * 9 / 10, qPrintable(QString::number(closedAfter)));
    // Neither SDL's thread nor the sound thread stays behind.
    QTRY_COMPARE(soundThreads(), 0);

    sound->play(file);
    QVERIFY(opens(*sound));
    QVERIFY(settles(*sound));
    QCOMPARE(beeps, 0);
}

void TestSound::shorterDelayAppliesToTheOpenDevice()
{
    int beeps = 0;
    auto sound = makeSound(&beeps);
    sound->play(path(QStringLiteral("short.wav")));
    QVERIFY(opens(*sound));
    QElapsedTimer since;
    since.start();
    sound->setIdleCloseDelay(100);
    const qint64 closedAfter = msUntilClosed(*sound, since, 2000);
    QVERIFY2(closedAfter >= 0, "the device waited out the default delay");
}

// No sound device is not an error: nothing sounds, nothing beeps, and a later announcement tries again.
void TestSound::withoutDeviceStaysSilentAndRetries()
{
    qputenv("SDL_AUDIODRIVER", "velmora-no-such-driver");
    auto restore = qScopeGuard([] { qputenv("SDL_AUDIODRIVER", "dummy"); });

    int beeps = 0;
    auto sound = makeSound(&beeps);
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer took;
        took.start();
        sound->playOpening(path(QStringLiteral("short.wav")));
        sound->play(path(QStringLiteral("missing.wav")));
        QVERIFY2(took.elapsed() < 2000, "play() hung without a device");
        QVERIFY(settles(*sound));
        QVERIFY(!sound->deviceOpen());
    }
    QCOMPARE(beeps, 0);

    restore.dismiss();
    qputenv("SDL_AUDIODRIVER", "dummy");
    // The next announcement looks again.
    sound->playOpening(path(QStringLiteral("short.wav")));
    QVERIFY(opens(*sound));
    QVERIFY(settles(*sound));
    QCOMPARE(beeps, 0);
}

void TestSound::destroyedWhilePlaying()
{
    int beeps = 0;
    {
        auto first = makeSound(&beeps);
        first->play(path(QStringLiteral("long.wav")));
        QVERIFY(opens(*first));
    }
    auto second = makeSound(&beeps);
    second->setIdleCloseDelay(0);
    QElapsedTimer since;
    since.start();
    second->play(path(QStringLiteral("short.wav")));
    QVERIFY(opens(*second));
    QVERIFY(msUntilClosed(*second, since, 3000) >= 0);
    QTRY_COMPARE(soundThreads(), 0); // the first one's device went with it
    QCOMPARE(beeps, 0);
}

// A sound server that accepts and never answers holds the sound thread in its open, never the caller:
// plays return at once, and the sound goes away with its owner without waiting for the server.
void TestSound::hungServerNeverHoldsTheCaller()
{
    auto control = std::make_shared<FakeDevice::Control>();
    control->hang = true;
    int beeps = 0;
    QElapsedTimer took;
    {
        SdlSound sound(nullptr, std::make_unique<FakeDevice>(control));
        sound.setBeeper([&beeps] { ++beeps; });
        took.start();
        sound.prepare();
        for (int i = 0; i < 5; ++i) {
            sound.playOpening(path(QStringLiteral("short.wav")));
            sound.play(path(QStringLiteral("missing.wav")));
        }
        QVERIFY2(took.elapsed() < 500, qPrintable(QString::number(took.elapsed())));
        QVERIFY(!sound.deviceOpen());
        took.restart();
    }
    QVERIFY2(took.elapsed() < 2000, qPrintable(QString::number(took.elapsed())));
    QCOMPARE(beeps, 0);
    {
        std::lock_guard guard(control->lock);
        control->hang = false;
    }
    control->released.notify_all();
}

void TestSound::lostOutputOpenedAnew_data()
{
    QTest::addColumn<bool>("whileEnding");
    QTest::newRow("server gone under an open device") << false;
    QTest::newRow("request while the sound thread ends") << true;
}

// The next request opens the device anew: after the server went away under it, or when it comes
// while the thread that closed it is still ending.
void TestSound::lostOutputOpenedAnew()
{
    QFETCH(bool, whileEnding);
    auto control = std::make_shared<FakeDevice::Control>();
    control->holdEnd = whileEnding;
    SdlSound sound(nullptr, std::make_unique<FakeDevice>(control));
    if (whileEnding) sound.setIdleCloseDelay(0);
    sound.prepare();
    if (whileEnding) {
        std::unique_lock lk(control->lock);
        QVERIFY(control->released.wait_for(lk, std::chrono::seconds(5), [&] { return control->ending; }));
    } else {
        QVERIFY(opens(sound));
    }
    QCOMPARE(control->opens, 1);
    {
        std::lock_guard guard(control->lock);
        control->alive = false;
    }
    sound.play(path(QStringLiteral("short.wav")));
    {
        std::lock_guard guard(control->lock);
        control->holdEnd = false;
    }
    control->released.notify_all();
    QTRY_COMPARE(control->opens, 2);
}

void TestSound::gridPlacement_data()
{
    QTest::addColumn<qint64>("askedMs");   // after the opening clip was asked for
    QTest::addColumn<qint64>("now");       // next frame to render
    QTest::addColumn<qint64>("frame");     // where the clip starts
    QTest::addColumn<qint64>("earlierMs"); // a clip placed just before, asked then; -1: none

    // The opening clip starts at frame 5000; the rate is 22050.
    QTest::newRow("on its second") << qint64(1000) << qint64(20000) << qint64(5000 + 22050) << qint64(-1);
    QTest::newRow("tick 120 ms early") << qint64(1880) << qint64(40000) << qint64(5000 + 2 * 22050) << qint64(-1);
    QTest::newRow("tick 140 ms late, frame ahead")
        << qint64(3140) << qint64(70000) << qint64(5000 + 3 * 22050) << qint64(-1);
    QTest::newRow("frame already rendered") << qint64(1010) << qint64(28000) << qint64(28000) << qint64(-1);
    QTest::newRow("tick 200 ms late") << qint64(4200) << qint64(96000) << qint64(96000) << qint64(-1);
    QTest::newRow("pending clip of an earlier start") << qint64(500) << qint64(16000) << qint64(16000) << qint64(-1);
    QTest::newRow("asked before the opening") << qint64(-1000) << qint64(16000) << qint64(16000) << qint64(-1);
    // The sound thread was held: both frames are past and both would start at once, the later
    // cancelling the earlier.
    QTest::newRow("two overdue together, a second apart")
        << qint64(3000) << qint64(96000) << qint64(96000 + 22050) << qint64(2000);
    // The stream stood still while the ticks ran on: two ticks find the same second.
    QTest::newRow("two on the same second") << qint64(3000) << qint64(60000) << qint64(5000 + 4 * 22050)
                                            << qint64(2900);
    QTest::newRow("a clip of an earlier start holds nothing back")
        << qint64(1000) << qint64(16000) << qint64(5000 + 22050) << qint64(500);
}

void TestSound::gridPlacement()
{
    QFETCH(qint64, askedMs);
    QFETCH(qint64, now);
    QFETCH(qint64, frame);
    QFETCH(qint64, earlierMs);
    SoundGrid grid;
    QCOMPARE(grid.place(1000000, now, 22050), now); // no opening yet
    grid.openedUs = 7000000;
    grid.openedFrame = 5000;
    grid.lastFrame = 5000;
    if (earlierMs >= 0)
        grid.place(grid.openedUs + earlierMs * 1000, now, 22050);
    QCOMPARE(grid.place(grid.openedUs + askedMs * 1000, now, 22050), frame);
}

// A clip starts at its frame also inside a buffer, and the next start cuts it at that frame.
void TestSound::mixerStartsAtTheFrame()
{
    const QByteArray bytes = wav(100);
    const auto clip = WavClip::decode(bytes.constData(), bytes.size());
    QVERIFY(clip);
    QCOMPARE(qint64(clip->samples.size()), qint64(2205));
    SoundMixer mixer;
    QCOMPARE(mixer.start(clip, 1000), qint64(1000));
    QCOMPARE(mixer.start(clip, 1700), qint64(1700));
    std::vector<int16_t> out(4096, 1);
    for (int at = 0; at < 4096; at += 256)
        mixer.render(out.data() + at, 256);
    QCOMPARE(mixer.position(), qint64(4096));
    auto firstSound = [&](int from) {
        for (int i = from; i < int(out.size()); ++i)
            if (out[size_t(i)] != 0) return i;
        return -1;
    };
    // The tone starts with a zero sample, then rises.
    QCOMPARE(firstSound(0), 1001);
    QCOMPARE(std::vector<int16_t>(out.begin() + 1000, out.begin() + 1700),
             std::vector<int16_t>(clip->samples.begin(), clip->samples.begin() + 700));
    QCOMPARE(std::vector<int16_t>(out.begin() + 1700, out.begin() + 3905),
             std::vector<int16_t>(clip->samples.begin(), clip->samples.end()));
    QCOMPARE(firstSound(3906), -1);
    QVERIFY(!mixer.busy());
    // A frame already rendered: at once.
    QCOMPARE(mixer.start(clip, 10), qint64(4096));
}

// The device is opened while the user looks at the menu, so the first announcement does not wait for it.
void TestSound::openingTheMenuPreparesTheOutput()
{
    PreparedOutput output;
    Menu menu;
    menu.popupMenu()->popup(QPoint(10, 10));
    QCOMPARE(output.prepared, 1);
    menu.popupMenu()->hide();
    menu.popupMenu()->popup(QPoint(10, 10));
    QCOMPARE(output.prepared, 2);
    menu.popupMenu()->hide();
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
