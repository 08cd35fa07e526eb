#include "sound/soundworker.h"

#include "sound/audiodevice.h"
#include "sound/soundgrid.h"
#include "sound/soundmixer.h"
#include "sound/wavclip.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace platform {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

int64_t monotonicUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Steady::now().time_since_epoch()).count();
}

namespace {
struct Request
{
    bool isPlay;
    QString path;
    bool opening;
    int64_t askedUs;
};

// A callback that has not run for this long belongs to a server that stopped answering.
constexpr auto stallLimit = milliseconds(500);
// Requests kept while the thread is held up: an announcement's worth and more.
constexpr size_t maxQueued = 16;
// While a clip outlasts its expected end (a late device), look again this often.
constexpr auto endPoll = milliseconds(100);
} // namespace

struct SoundWorker::State
{
    // Shared with the caller, under lock.
    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable ended;
    std::deque<Request> queue;
    Hooks hooks;
    bool running = false;
    bool quit = false;
    bool rescan = false; // the idle delay changed: the thread works its deadline out again
    std::atomic<int> idleDelayMs{3000};
    std::atomic<bool> open{false};

    // The thread's alone. The mixer outlives the device that calls into it.
    SoundMixer mixer;
    std::unique_ptr<AudioDevice> device;
    SoundGrid grid;
    bool anchorLost = false;      // reopened since the opening clip: the next clip on the grid re-anchors
    Steady::time_point quietFrom; // when the last clip is expected to end
    bool saidNoOutput = false;
    bool noOutput = false; // the last search found none: the next one waits for the next announcement

    void run();
    void serve(std::unique_lock<std::mutex> &lk); // until the queue is empty and the device closed
    void process(const Request &r);
    bool ensureOpen();
    void close();
    void missingClip();
};

void SoundWorker::State::run()
{
    // A name of its own, so ps, perf and the tests can tell it from the threads of other libraries.
    pthread_setname_np(pthread_self(), "velmora-ses");
    std::unique_lock lk(lock);
    for (;;) {
        serve(lk);
        const bool quitting = quit;
        lk.unlock();
        close();
        device->threadEnds(!quitting);
        lk.lock();
        // A request posted while the thread was ending found it still running and woke nobody.
        if (quit || queue.empty()) break;
    }
    running = false;
    ended.notify_all();
}

void SoundWorker::State::serve(std::unique_lock<std::mutex> &lk)
{
    for (;;) {
        if (quit) break;
        if (queue.empty()) {
            if (!open) break;
            const auto deadline = quietFrom + milliseconds(idleDelayMs.load());
            if (wake.wait_until(lk, deadline, [this] { return quit || rescan || !queue.empty(); })) {
                rescan = false;
                continue;
            }
            // An open device wakes its thread every few milliseconds even in silence: closed once the
            // last clip has been over for the idle delay.
            lk.unlock();
            if (mixer.busy()) {
                const milliseconds left(mixer.framesLeft() * 1000 / WavClip::rate);
                quietFrom = Steady::now() + std::max(endPoll, left);
            } else {
                close();
            }
            lk.lock();
            continue;
        }
        Request r = std::move(queue.front());
        queue.pop_front();
        lk.unlock();
        process(r);
        lk.lock();
    }
}

void SoundWorker::State::process(const Request &r)
{
    if (monotonicUs() - r.askedUs > int64_t(staleMs) * 1000) return;
    if (!r.isPlay) {
        if (ensureOpen() && !mixer.busy()) quietFrom = Steady::now();
        return;
    }
    // Read before the device is opened: both take a while, and the clip does not depend on it.
    if (!open && noOutput && !r.opening) return;
    std::shared_ptr<const WavClip> clip = WavClip::load(r.path);
    if (!ensureOpen()) return; // without an output the clips are silent, the missing ones too
    if (!clip) missingClip();  // and it stops the clip still playing, at once
    const int64_t now = mixer.position();
    int64_t at = now;
    if (r.opening && clip) {
        // Timed from the frame at hand rather than from the next one to render, which may be up to
        // a buffer ahead: the opening clip comes the same short while after every call.
        const int64_t lead = int64_t(openingLeadMs) * WavClip::rate / 1000;
        at = std::max(now, mixer.frameAt(Steady::now(), WavClip::rate) + lead);
    } else if (clip && !anchorLost) {
        at = grid.place(r.askedUs, now, WavClip::rate);
    }
    const int64_t started = mixer.start(clip, at);
    if (r.opening) {
        grid.openedUs = r.askedUs;
        grid.openedFrame = started;
        grid.lastFrame = started;
        anchorLost = false;
    } else if (anchorLost && clip) {
        // The stream began anew under the announcement: its grid goes on from this clip.
        if (const int n = grid.second(r.askedUs)) grid.openedFrame = started - int64_t(n) * WavClip::rate;
        grid.lastFrame = started;
        anchorLost = false;
    }
    quietFrom = Steady::now() + milliseconds(mixer.framesLeft() * 1000 / WavClip::rate);
}

bool SoundWorker::State::ensureOpen()
{
    if (open) {
        if (device->alive() && Steady::now() - mixer.lastRender() < stallLimit) return true;
        close(); // the server went away or hung: this waits for it, off the caller's thread
    }
    noOutput = !device->open(mixer);
    if (noOutput) {
        if (!saidNoOutput) {
            std::fputs("Velmora: ses çıkışı bulunamadı; saat sessiz okunuyor.\n", stderr);
            std::fflush(stderr);
            saidNoOutput = true;
        }
        return false;
    }
    anchorLost = true;
    quietFrom = Steady::now();
    open = true;
    return true;
}

void SoundWorker::State::close()
{
    if (!open) return;
    device->close();
    mixer.reset();
    open = false;
}

void SoundWorker::State::missingClip()
{
    std::lock_guard guard(lock);
    if (hooks.missingClip) hooks.missingClip();
}

SoundWorker::SoundWorker(std::unique_ptr<AudioDevice> device, Hooks hooks) : m(std::make_shared<State>())
{
    m->device = std::move(device);
    m->hooks = std::move(hooks);
}

SoundWorker::~SoundWorker()
{
    std::unique_lock lk(m->lock);
    m->quit = true;
    m->hooks = {};
    m->queue.clear();
    m->wake.notify_all();
    // Long enough for a device to close on a server that answers (10 to 20 ms), short enough that a
    // logout's SIGTERM is still acted on at once when the server does not answer; the thread keeps
    // its own share of the state if it is still waiting on such a server.
    m->ended.wait_for(lk, milliseconds(80), [this] { return !m->running; });
}

void SoundWorker::post(bool isPlay, const QString &path, bool opening, int64_t askedUs)
{
    std::lock_guard guard(m->lock);
    // While a server holds the thread, only the latest requests can still matter.
    if (m->queue.size() >= maxQueued) m->queue.pop_front();
    m->queue.push_back({isPlay, path, opening, askedUs});
    if (m->running) {
        m->wake.notify_one();
        return;
    }
    try {
        std::thread([s = m] { s->run(); }).detach();
        m->running = true;
    } catch (const std::system_error &) {
        m->queue.clear(); // no thread to be had: as without an output, silent
    }
}

void SoundWorker::play(const QString &path, bool opening, int64_t askedUs)
{
    post(true, path, opening, askedUs);
}

void SoundWorker::prepare()
{
    post(false, QString(), false, monotonicUs());
}

void SoundWorker::setIdleCloseDelay(int ms)
{
    m->idleDelayMs = std::max(0, ms);
    std::lock_guard guard(m->lock);
    m->rescan = true;
    m->wake.notify_one();
}

bool SoundWorker::deviceOpen() const
{
    return m->open;
}

bool SoundWorker::idle() const
{
    std::lock_guard guard(m->lock);
    return !m->running;
}

} // namespace platform
