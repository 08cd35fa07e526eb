#include "sound/audiodevice.h"

#include "sound/soundmixer.h"
#include "sound/wavclip.h"

#include <SDL.h>

#include <QtGlobal>

#include <dlfcn.h>
#include <optional>
#include <pthread.h>
#include <string_view>

namespace platform {

namespace {

// SDL2 pulls in the sound servers' client libraries and their codecs, some 3 MiB: it is loaded when
// the device opens, and unloaded when the sound thread ends after the idle delay.
struct Sdl
{
#define VELMORA_SDL_FUNCTIONS(X)                                                                             \
    X(SDL_SetHint) X(SDL_AudioInit) X(SDL_AudioQuit) X(SDL_GetNumAudioDrivers) X(SDL_GetAudioDriver)         \
    X(SDL_OpenAudioDevice) X(SDL_CloseAudioDevice) X(SDL_PauseAudioDevice) X(SDL_GetAudioDeviceStatus)      \
    X(SDL_GetError) X(SDL_Quit) X(SDL_GetNumAudioDevices)
#define VELMORA_SDL_MEMBER(f) decltype(&::f) f = nullptr;
    VELMORA_SDL_FUNCTIONS(VELMORA_SDL_MEMBER)
#undef VELMORA_SDL_MEMBER
    void (*SDL_TLSCleanup)() = nullptr; // since SDL 2.0.16
    void *library = nullptr;
    // SDL2's key for its thread storage, which it never deletes: a process has 1024 keys, and every
    // load would take one more. SDL3 (under sdl2-compat) takes its keys later and deletes them when it
    // quits. The library is unloaded only when the keys are as they were before it was loaded.
    std::optional<pthread_key_t> storageKey;
    pthread_key_t freeBeforeLoad = 0;
};

// Used by the sound thread alone, and there is one at a time.
Sdl api;

// SDL3's SDL_Quit allocates some 2 KB that go with the library unloaded, at every unload: after this
// many the library stays, so a clock that speaks for months holds a bounded sum and no more.
int sdl3UnloadsLeft = 64;

std::optional<pthread_key_t> lowestFreeKey()
{
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0) return std::nullopt;
    pthread_key_delete(key);
    return key;
}

// The loaded functions, or nullptr where the library is missing.
const Sdl *sdl()
{
    if (api.library) return &api;
    const std::optional<pthread_key_t> freeBeforeLoad = lowestFreeKey();
    if (!freeBeforeLoad) return nullptr;
    void *lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    bool all = true;
#define VELMORA_SDL_LOAD(f)                                                                                  \
    api.f = reinterpret_cast<decltype(api.f)>(dlsym(lib, #f));                                               \
    all = all && api.f;
    VELMORA_SDL_FUNCTIONS(VELMORA_SDL_LOAD)
#undef VELMORA_SDL_LOAD
    api.SDL_TLSCleanup = reinterpret_cast<void (*)()>(dlsym(lib, "SDL_TLSCleanup"));
    if (!all) {
        dlclose(lib);
        api = Sdl();
        return nullptr;
    }
    api.library = lib;
    api.freeBeforeLoad = *freeBeforeLoad;
    // SDL2 makes its key at its first call that touches thread storage, as the lowest free one; and it
    // stores a value under it for this thread, where a key made by any other thread holds none.
    api.SDL_GetError();
    if (pthread_getspecific(*freeBeforeLoad)) api.storageKey = *freeBeforeLoad;
    return &api;
}

void unloadSdl()
{
    if (!api.library) return;
    api.SDL_Quit(); // frees what SDL keeps in its own globals (hints, thread storage)
    if (api.SDL_TLSCleanup) api.SDL_TLSCleanup();
    if (api.storageKey) {
        pthread_key_delete(*api.storageKey);
    } else {
        // A key SDL still holds would be lost with the library: it stays, with the one it has.
        if (sdl3UnloadsLeft == 0 || lowestFreeKey() != api.freeBeforeLoad) return;
        --sdl3UnloadsLeft;
    }
    dlclose(api.library);
    api = Sdl();
}

// ALSA prints a screenful for every device it cannot open, on every try; the program says once
// itself that it has no output.
void quietAlsa(const char *, int, const char *, int, const char *, ...) {}

// Set at every open: libasound goes with SDL2 when the sound thread unloads it.
void silenceAlsa()
{
    void *alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
    if (!alsa) return;
    using Handler = void (*)(const char *, int, const char *, int, const char *, ...);
    if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(quietAlsa);
    dlclose(alsa);
}

void callback(void *mixer, Uint8 *stream, int bytes)
{
    static_cast<SoundMixer *>(mixer)->render(reinterpret_cast<int16_t *>(stream), bytes / 2);
}

} // namespace

SdlAudioDevice::SdlAudioDevice(QByteArray appName) : m_appName(std::move(appName)) {}

SdlAudioDevice::~SdlAudioDevice()
{
    close();
}

bool SdlAudioDevice::open(SoundMixer &mixer)
{
    close();
    if (!sdl()) return false;
    mixer.reset();
    if (!m_appName.isEmpty()) sdl()->SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, m_appName.constData());
    if (qEnvironmentVariableIsSet("SDL_AUDIODRIVER")) return openWith(nullptr, mixer);

    // SDL's own first choice on a PipeWire system without its PulseAudio service is ALSA, whose default
    // device may lead nowhere: a driver that starts but opens no device gives way to the next. Other
    // drivers (sndio, which also prints on every failed try) are there when SDL_AUDIODRIVER names them.
    const std::string_view drivers[] = {"pulseaudio", "pipewire", "alsa", "dsp"};
    for (std::string_view name : drivers) {
        if (openWith(name.data(), mixer)) return true;
    }
    return false;
}

bool SdlAudioDevice::openWith(const char *driver, SoundMixer &mixer)
{
    if (sdl()->SDL_AudioInit(driver) != 0) return false;
    m_initialised = true;
    silenceAlsa();
    SDL_AudioSpec want{};
    want.freq = WavClip::rate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = bufferFrames;
    want.callback = callback;
    want.userdata = &mixer;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to what the server takes, and the grid stays in our frames.
    m_device = sdl()->SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0) {
        sdl()->SDL_AudioQuit();
        m_initialised = false;
        return false;
    }
    sdl()->SDL_PauseAudioDevice(m_device, 0);
    m_outputsAtOpen = sdl()->SDL_GetNumAudioDevices(0);
    return true;
}

void SdlAudioDevice::close()
{
    if (m_device) sdl()->SDL_CloseAudioDevice(m_device);
    m_device = 0;
    if (m_initialised) sdl()->SDL_AudioQuit();
    m_initialised = false;
}

// SDL keeps its error text per thread and frees it only for threads of its own.
void SdlAudioDevice::threadEnds(bool unload)
{
    if (!api.library) return;
    if (api.SDL_TLSCleanup) api.SDL_TLSCleanup();
    if (unload && !m_device) unloadSdl();
}

bool SdlAudioDevice::alive()
{
    if (!m_device || sdl()->SDL_GetAudioDeviceStatus(m_device) != SDL_AUDIO_PLAYING) return false;
    // SDL3 (under sdl2-compat) keeps a device whose server went away "playing" into nothing, and
    // calls back as before; only its list of outputs, empty from then on, tells.
    return m_outputsAtOpen <= 0 || sdl()->SDL_GetNumAudioDevices(0) > 0;
}

} // namespace platform
