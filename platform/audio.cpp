// The audio layer on libopenmpt and SDL audio. The module is bytes from the archive: libopenmpt
// refuses what it cannot play, and that failure, like a device that cannot be opened, goes back to
// the caller.
#include "platform/audio.h"

#include <SDL.h>

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <sstream>

namespace platform {

namespace {

// 512 frames is 11.6 ms at 44100 Hz: the reported position lags what is heard by about that much.
constexpr uint16_t DEVICE_BUFFER_FRAMES = 512;
// The rates libopenmpt renders at.
constexpr uint32_t LOWEST_RATE = 8000, HIGHEST_RATE = 192000;

enum class Output { none, device, offline };

// The loaded module and its playback. On a device everything here belongs to the audio callback
// while the device runs: the main thread touches it only under the device lock.
struct Song {
    std::unique_ptr<openmpt::module> module;
    uint32_t handle = 0;
    bool playing = false;
    bool ended = false;
    // libopenmpt reports the row of the last frame it rendered. Rendering one frame ahead and
    // holding it back makes the reported row the one of the next frame to come out, so a chunk
    // that ends exactly on a row boundary already reports the new row.
    int16_t carry[2] = {0, 0};
    bool hasCarry = false;
    uint32_t renderedPosition = 0;  // position right after the last rendered chunk
    uint32_t queuedPosition = 0;    // position at the start of the chunk now in the device
};

Output output = Output::none;
SDL_AudioDeviceID device = 0;
uint32_t sampleRate = 0;
Song song;
uint32_t nextHandle = 1;

// Read by the main thread while the callback writes them: atomics, no lock.
std::atomic<int32_t> musicVolume{100};
std::atomic<uint32_t> heardPosition{0};
// The song's last samples have been played (offline: rendered).
std::atomic<bool> songOver{false};
// Device callbacks since the one that rendered the song's end: at the first the last chunk starts
// to play, at the second it has been heard. Callback thread only.
int callbacksAfterEnd = 0;

// Holds the audio callback off while the main thread changes the song.
struct DeviceLock {
    DeviceLock() {
        if (device != 0) SDL_LockAudioDevice(device);
    }
    ~DeviceLock() {
        if (device != 0) SDL_UnlockAudioDevice(device);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
};

uint32_t positionWord(const openmpt::module& module) {
    uint32_t order = uint32_t(std::max(module.get_current_order(), 0));
    uint32_t row = uint32_t(std::max(module.get_current_row(), 0));
    return (row << 16) | (order & 0xFFFF);
}

// Reads up to `frames` frames; true when all of them came. libopenmpt jumps back to order 0 row 0
// when the song ends, so the position is taken only after whole slices of at most a millisecond:
// a row lasts at least one tick (2.5 ms at the fastest tempo), so the last slice taken before the
// end still lies in the song's last row.
bool readSlices(int16_t* out, size_t frames, size_t& got) {
    const size_t slice = std::max<size_t>(1, sampleRate / 1000);
    got = 0;
    while (got < frames) {
        size_t wanted = std::min(slice, frames - got);
        size_t read = song.module->read_interleaved_stereo(int32_t(sampleRate), wanted, out + 2 * got);
        got += read;
        if (read < wanted) return false;
        song.renderedPosition = positionWord(*song.module);
    }
    return true;
}

// Renders the next frames of the song, without volume.
size_t renderSong(int16_t* out, size_t frames) {
    if (frames == 0 || song.ended) return 0;
    size_t produced = 0;
    if (song.hasCarry) {
        out[0] = song.carry[0];
        out[1] = song.carry[1];
        song.hasCarry = false;
        produced = 1;
    }
    size_t got = 0;
    bool whole = readSlices(out + 2 * produced, frames - produced, got);
    produced += got;
    if (whole) whole = readSlices(song.carry, 1, got);
    if (whole) song.hasCarry = true;
    else song.ended = true;
    return produced;
}

void applyVolume(int16_t* samples, size_t count) {
    int32_t volume = musicVolume.load(std::memory_order_relaxed);
    if (volume >= 100) return;
    for (size_t i = 0; i < count; i++) samples[i] = int16_t(int32_t(samples[i]) * volume / 100);
}

// Runs on SDL's audio thread. When it is called the chunk it filled last time starts to play, so
// that chunk's start is the position now heard.
void fillDevice(void*, Uint8* stream, int length) {
    auto* out = reinterpret_cast<int16_t*>(stream);
    size_t frames = size_t(length) / (2 * sizeof(int16_t));
    size_t produced = 0;
    if (song.playing) {
        if (song.ended && ++callbacksAfterEnd >= 2) songOver.store(true);
        heardPosition.store(song.queuedPosition, std::memory_order_relaxed);
        song.queuedPosition = song.renderedPosition;
        try {
            produced = renderSong(out, frames);
        } catch (const std::exception&) {
            song.ended = true;  // nothing may escape into SDL's thread; the song just stops
        }
        applyVolume(out, produced * 2);
    }
    std::memset(out + produced * 2, 0, (frames - produced) * 2 * sizeof(int16_t));
}

void forgetSong() {
    song = Song{};
    heardPosition.store(0);
    songOver.store(false);
    callbacksAfterEnd = 0;
}

bool isCurrent(uint32_t module) { return module != 0 && module == song.handle; }

} // namespace

bool audioInit(int32_t deviceNumber, uint32_t frequency, void*) {
    if (output != Output::none || frequency < LOWEST_RATE || frequency > HIGHEST_RATE) return false;
    if (deviceNumber != -1 && deviceNumber < 1) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;

    const char* name = nullptr;  // SDL's default device
    if (deviceNumber >= 1) {
        name = deviceNumber <= SDL_GetNumAudioDevices(0) ? SDL_GetAudioDeviceName(deviceNumber - 1, 0)
                                                        : nullptr;
        if (name == nullptr) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
    }
    SDL_AudioSpec wanted{};
    wanted.freq = int(frequency);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = DEVICE_BUFFER_FRAMES;
    wanted.callback = fillDevice;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware wants, the callback always sees
    // 16-bit stereo at our rate.
    device = SDL_OpenAudioDevice(name, 0, &wanted, &obtained, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    output = Output::device;
    sampleRate = frequency;
    return true;
}

bool audioInitOffline(uint32_t frequency) {
    if (output != Output::none || frequency < LOWEST_RATE || frequency > HIGHEST_RATE) return false;
    output = Output::offline;
    sampleRate = frequency;
    return true;
}

bool audioStart() {
    if (output == Output::none) return false;
    if (output == Output::device) SDL_PauseAudioDevice(device, 0);
    return true;
}

uint32_t audioLoadModule(const void* data, size_t size) {
    if (output == Output::none || data == nullptr || size == 0) return 0;
    std::unique_ptr<openmpt::module> module;
    try {
        std::ostringstream log;  // libopenmpt's chatter about the file is of no use to the show
        module = std::make_unique<openmpt::module>(data, size, log);
        module->set_repeat_count(0);
        module->ctl_set_text("play.at_end", "stop");
        module->ctl_set_integer("dither", 0);  // the same bytes on every run, whatever the chunking
    } catch (const std::exception&) {
        return 0;
    }
    DeviceLock lock;
    forgetSong();
    song.module = std::move(module);
    song.handle = nextHandle++;
    if (nextHandle == 0) nextHandle = 1;
    return song.handle;
}

bool audioSetAmplification(uint32_t module, uint32_t amount) {
    if (!isCurrent(module)) return false;
    amount = std::min(amount, 100u);
    // A linear gain of amount / 50 in libopenmpt's millibels; 0 is far below anything audible.
    int32_t millibel = amount == 0 ? -100000 : int32_t(std::lround(2000.0 * std::log10(amount / 50.0)));
    DeviceLock lock;
    try {
        song.module->set_render_param(openmpt::module::RENDER_MASTERGAIN_MILLIBEL, millibel);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool audioSetMusicVolume(int32_t volume) {
    if (output == Output::none || volume < 0 || volume > 100) return false;
    musicVolume.store(volume);
    return true;
}

int32_t audioGetMusicVolume() { return musicVolume.load(); }

bool audioPlay(uint32_t module) {
    if (!isCurrent(module)) return false;
    DeviceLock lock;
    song.playing = true;
    return true;
}

uint32_t audioPosition(uint32_t module) {
    return isCurrent(module) ? heardPosition.load(std::memory_order_relaxed) : 0;
}

size_t audioRender(uint32_t module, int16_t* interleavedStereo, size_t frames) {
    if (output != Output::offline || !isCurrent(module) || interleavedStereo == nullptr) return 0;
    if (!song.playing) {
        std::memset(interleavedStereo, 0, frames * 2 * sizeof(int16_t));
        return frames;
    }
    size_t produced = 0;
    try {
        produced = renderSong(interleavedStereo, frames);
    } catch (const std::exception&) {
        song.ended = true;
    }
    applyVolume(interleavedStereo, produced * 2);
    heardPosition.store(song.renderedPosition);
    songOver.store(song.ended);
    return produced;
}

bool audioEnded(uint32_t module) { return isCurrent(module) && songOver.load(); }

bool audioFreeModule(uint32_t module) {
    if (!isCurrent(module)) return false;
    DeviceLock lock;
    forgetSong();
    return true;
}

bool audioStop() {
    if (output == Output::none) return false;
    if (output == Output::device) SDL_PauseAudioDevice(device, 1);
    return true;
}

void audioFree() {
    if (output == Output::device) {
        SDL_CloseAudioDevice(device);  // waits for a running callback to finish
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    device = 0;
    output = Output::none;
    sampleRate = 0;
    forgetSong();
    musicVolume.store(100);
}

} // namespace platform
