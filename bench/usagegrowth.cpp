// Opens the real menu and speaks the time through the real sound output many times, and prints what
// the process holds before and after: threads, file descriptors, pthread keys, Rss and private
// memory (Pss would move with whatever else maps the same libraries). Nothing may grow with use.
//
//     velmora_usagegrowth [--openings N] [--announcements N]
//
// Run it on the offscreen platform. The sound device closes (and SDL2 unloads) after every opening and
// every announcement, the worst case for what a load leaves behind. The clips are 10 ms of silence
// written by the tool, so that an announcement takes milliseconds; the announcer's timers are driven
// by a stepped clock.
#include "dialogs/menu.h"
#include "mockclock.h"
#include "sound/sound.h"
#include "scopedprogramfolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include <pthread.h>

namespace {

struct Holdings
{
    int threads = 0;
    int fds = 0;
    int keys = 0;
    long rssKb = 0;
    long privateKb = 0;
};

int entries(const char *dir)
{
    return int(QDir(QLatin1String(dir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

long field(const char *file, const char *name)
{
    FILE *f = std::fopen(file, "r");
    if (!f) return -1;
    char line[256];
    long v = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, name, std::strlen(name)) == 0) {
            v = std::atol(line + std::strlen(name));
            break;
        }
    }
    std::fclose(f);
    return v;
}

// Keys in use: those that cannot be had any more.
int keysInUse()
{
    std::vector<pthread_key_t> got;
    pthread_key_t k;
    while (got.size() < PTHREAD_KEYS_MAX && pthread_key_create(&k, nullptr) == 0) got.push_back(k);
    for (pthread_key_t g : got) pthread_key_delete(g);
    return int(PTHREAD_KEYS_MAX - got.size());
}

Holdings holdings()
{
    Holdings h;
    h.threads = entries("/proc/self/task");
    h.fds = entries("/proc/self/fd") - 1; // the listing's own
    h.keys = keysInUse();
    h.rssKb = field("/proc/self/status", "VmRSS:");
    h.privateKb = field("/proc/self/smaps_rollup", "Private_Clean:") +
                  field("/proc/self/smaps_rollup", "Private_Dirty:");
    return h;
}

// 10 ms of silence at the device's rate, 16-bit mono.
QByteArray silence()
{
    const quint32 rate = 22050, frames = rate / 100, data = frames * 2;
    QByteArray w;
    auto u32 = [&](quint32 v) { for (int i = 0; i < 4; ++i) w += char(v >> (8 * i)); };
    auto u16 = [&](quint16 v) { w += char(v & 0xff); w += char(v >> 8); };
    w += "RIFF"; u32(36 + data); w += "WAVEfmt "; u32(16);
    u16(1); u16(1); u32(rate); u32(rate * 2); u16(2); u16(16);
    w += "data"; u32(data);
    w += QByteArray(int(data), '\0');
    return w;
}

void waitIdle(platform::SdlSound &sound)
{
    QElapsedTimer t;
    t.start();
    while (!sound.idle() && t.elapsed() < 10000) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
}

void row(const char *what, const Holdings &h)
{
    std::printf("| %s | %d | %d | %d | %.1f | %.1f |\n", what, h.threads, h.fds, h.keys, h.rssKb / 1024.0,
                h.privateKb / 1024.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    int openings = 10000, announcements = 1000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--openings") == 0) openings = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--announcements") == 0) announcements = std::atoi(argv[i + 1]);
    }
    QApplication app(argc, argv);
    // The offscreen platform says at every opening that it cannot raise or grab.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath(QStringLiteral("Ses")));
    const QByteArray clip = silence();
    for (const char *name : {"Saat", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "20", "30", "40", "50"}) {
        QFile f(folder.filePath(QStringLiteral("Ses/%1.wav").arg(QLatin1String(name))));
        if (!f.open(QIODevice::WriteOnly) || f.write(clip) != clip.size()) return 2;
    }
    ScopedProgramFolder programFolder(folder.path());
    MockClock clock(QTime(14, 35)); // five clips: Saat, 10, 4, 30, 5
    auto *sound = dynamic_cast<platform::SdlSound *>(&platform::SoundOutput::instance());
    if (!sound) return 2;
    sound->setIdleCloseDelay(0);

    Menu menu;
    auto open = [&] {
        QTimer::singleShot(0, menu.popupMenu(), &QMenu::hide);
        menu.popup();
        waitIdle(*sound);
    };
    auto announce = [&] {
        menu.oku_Click();
        for (int i = 0; i < 4; ++i) clock.advance(1000);
        waitIdle(*sound);
    };
    // What first use makes once (the menu's window, the announcer, Qt's own caches) is in at the start.
    open();
    announce();

    std::printf("| after | threads | fds | pthread keys | Rss (MiB) | private (MiB) |\n|---|---:|---:|---:|---:|---:|\n");
    row("one opening and one announcement", holdings());
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < openings; ++i) open();
    char what[64];
    std::snprintf(what, sizeof what, "%d menu openings more", openings);
    row(what, holdings());
    for (int i = 0; i < announcements; ++i) announce();
    std::snprintf(what, sizeof what, "%d announcements more", announcements);
    row(what, holdings());
    std::fprintf(stderr, "usagegrowth: %.1f s\n", t.elapsed() / 1000.0);
    return 0;
}
