#include "platform/sound.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTimer>

#include <SDL.h>
#include <SDL_mixer.h>

#include <dlfcn.h>
#include <string_view>

namespace platform {

namespace {

// SDL and SDL_mixer pull some forty libraries (codecs, sound servers) into the process. They are
// loaded at the first play instead of at exec, so a clock that is never asked to speak neither
// starts slower nor carries their pages.
struct Sdl
{
#define VELMORA_SDL_FUNCTIONS(X)                                                                       \
    X(SDL_SetHint) X(SDL_InitSubSystem) X(SDL_QuitSubSystem) X(Mix_OpenAudio) X(Mix_AllocateChannels)   \
    X(Mix_CloseAudio) X(Mix_LoadWAV) X(Mix_PlayChannel) X(Mix_HaltChannel) X(Mix_FreeChunk)              \
    X(Mix_Playing) X(Mix_QuerySpec)
#define VELMORA_SDL_MEMBER(f) decltype(&::f) f = nullptr;
    VELMORA_SDL_FUNCTIONS(VELMORA_SDL_MEMBER)
#undef VELMORA_SDL_MEMBER
};

// The loaded functions, or nullptr where the libraries are missing (then the clock stays silent).
// The libraries stay loaded once they are: their threads and handlers may outlive a close.
const Sdl *sdl()
{
    static const Sdl *loaded = [] () -> const Sdl * {
        static Sdl api;
        void *core = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_GLOBAL);
        void *mixer = core ? dlopen("libSDL2_mixer-2.0.so.0", RTLD_NOW | RTLD_GLOBAL) : nullptr;
        if (!mixer) {
            qWarning("velmora: no sound: %s", dlerror());
            return nullptr;
        }
        bool all = true;
#define VELMORA_SDL_LOAD(f)                                                                            \
    api.f = reinterpret_cast<decltype(api.f)>(dlsym(std::string_view(#f).starts_with("Mix_") ? mixer : core, #f)); \
    all = all && api.f;
        VELMORA_SDL_FUNCTIONS(VELMORA_SDL_LOAD)
#undef VELMORA_SDL_LOAD
        if (!all) {
            qWarning("velmora: no sound: SDL2_mixer lacks a function it needs");
            return nullptr;
        }
        return &api;
    }();
    return loaded;
}

// While a clip outlasts its expected end (a late device), look again this often.
constexpr int endPollMs = 100;
} // namespace

SoundOutput &SoundOutput::instance()
{
    if (SoundOutput *output = installed()) return *output;
    // Made on first use and owned by the application, so it closes the device while Qt and SDL are
    // still up. A function-local static object would be destroyed after QApplication, at exit.
    static QPointer<SdlSound> standard;
    if (!standard) standard = new SdlSound(qApp);
    return *standard;
}

SdlSound::SdlSound(QObject *parent)
    : QObject(parent), m_beep([] { QApplication::beep(); }), m_idleTimer(new QTimer(this))
{
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setTimerType(Qt::CoarseTimer);
    connect(m_idleTimer, &QTimer::timeout, this, &SdlSound::idleCheck);
}

SdlSound::~SdlSound()
{
    closeDevice();
}

void SdlSound::setBeeper(std::function<void()> beep)
{
    m_beep = std::move(beep);
}

bool SdlSound::deviceOpen() const
{
    return m_open;
}

void SdlSound::setIdleCloseDelay(int ms)
{
    m_idleCloseDelay = qMax(0, ms);
    if (m_open && !m_awaitingEnd) m_idleTimer->start(chunkMs() + m_idleCloseDelay);
}

void SdlSound::play(const QString &path)
{
    if (!m_open && !openDevice()) return;

    // Read afresh every time: the clip may have been replaced or removed since the last play.
    Mix_Chunk *chunk = sdl()->Mix_LoadWAV(QFile::encodeName(path).constData());
    if (!chunk) {
        // What was asked for cannot sound, so neither should the clip it was meant to replace.
        dropChunk();
        m_awaitingEnd = false;
        m_idleTimer->start(m_idleCloseDelay);
        if (m_beep) m_beep();
        return;
    }
    dropChunk();
    m_chunk = chunk;
    if (sdl()->Mix_PlayChannel(0, m_chunk, 0) < 0) dropChunk();
    m_awaitingEnd = false;
    m_idleTimer->start(chunkMs() + m_idleCloseDelay);
}

bool SdlSound::openDevice()
{
    if (!sdl()) return false;
    // SDL would otherwise take over SIGINT and SIGTERM from the application.
    sdl()->SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const QByteArray name = QCoreApplication::applicationName().toUtf8();
    if (!name.isEmpty()) sdl()->SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, name.constData());
    if (sdl()->SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    // The clips are 22050 Hz mono; a short buffer keeps the spoken digits close to the clock's second.
    if (sdl()->Mix_OpenAudio(22050, AUDIO_S16SYS, 1, 512) != 0) {
        sdl()->SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    sdl()->Mix_AllocateChannels(1);
    m_open = true;
    return true;
}

void SdlSound::closeDevice()
{
    m_idleTimer->stop();
    m_awaitingEnd = false;
    if (!m_open) return;
    dropChunk();
    sdl()->Mix_CloseAudio();
    sdl()->SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_open = false;
}

void SdlSound::dropChunk()
{
    if (!m_chunk) return;
    sdl()->Mix_HaltChannel(0);
    sdl()->Mix_FreeChunk(m_chunk);
    m_chunk = nullptr;
}

// An open device wakes its thread every few milliseconds even in silence, so it is closed once the
// last clip has been over for the idle delay.
void SdlSound::idleCheck()
{
    if (!m_open) return;
    if (sdl()->Mix_Playing(0)) {
        m_awaitingEnd = true;
        m_idleTimer->start(endPollMs);
        return;
    }
    if (m_awaitingEnd) {
        m_awaitingEnd = false;
        m_idleTimer->start(m_idleCloseDelay);
        return;
    }
    closeDevice();
}

int SdlSound::chunkMs() const
{
    int frequency = 0;
    int channels = 0;
    Uint16 format = 0;
    if (!m_chunk || !sdl()->Mix_QuerySpec(&frequency, &format, &channels) || frequency <= 0 || channels <= 0)
        return 0;
    const qint64 frameBytes = qint64(channels) * (SDL_AUDIO_BITSIZE(format) / 8);
    return int(qint64(m_chunk->alen) * 1000 / (frameBytes * frequency));
}

} // namespace platform
