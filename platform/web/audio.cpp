// The audio layer in a browser. The module is not played here: the web build's site carries the
// song rendered ahead of time by the native audio layer (tavremon-music.ogg, played with Web Audio)
// and the table of where each (order, row) begins in it (tavremon-music.tbl, in the in-memory file
// system), so the position reported is the native player's at the same sample. The page decodes the
// song before Start; the clock is the audio context's.
#include "platform/audio.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace platform {

namespace {
constexpr uint32_t tableRate = 44100;
const char* const tableFile = "tavremon-music.tbl";

struct PositionMark {
    uint32_t sample;  // from this sample on ...
    uint32_t word;    // ... the position is this (order low, row high)
};
std::vector<PositionMark> marks;
uint32_t songSamples = 0;
bool initialised = false;
bool playing = false;
int32_t musicVolume = 100;

// The table: a count, the song's length in samples, then the marks, little-endian 32-bit words.
bool readTable() {
    marks.clear();
    std::FILE* file = std::fopen(tableFile, "rb");
    if (!file) return false;
    uint32_t header[2] = {0, 0};
    bool ok = std::fread(header, sizeof header, 1, file) == 1 && header[0] > 0 && header[0] < (1u << 24);
    if (ok) {
        marks.resize(header[0]);
        ok = std::fread(marks.data(), sizeof(PositionMark), marks.size(), file) == marks.size();
    }
    std::fclose(file);
    songSamples = header[1];
    if (!ok) marks.clear();
    return ok;
}

uint32_t positionAt(uint32_t sample) {
    auto after = std::upper_bound(marks.begin(), marks.end(), sample,
                                  [](uint32_t s, const PositionMark& mark) { return s < mark.sample; });
    return after == marks.begin() ? 0 : (after - 1)->word;
}

EM_JS(int, jsAudioReady, (), { return Module.tavAudio && Module.tavAudio.ready() ? 1 : 0; });
EM_JS(void, jsAudioPlay, (), { Module.tavAudio.play(); });
EM_JS(double, jsAudioSeconds, (), { return Module.tavAudio ? Module.tavAudio.seconds() : 0; });
EM_JS(void, jsAudioVolume, (double level), { if (Module.tavAudio) Module.tavAudio.volume(level); });
EM_JS(void, jsAudioStop, (), { if (Module.tavAudio) Module.tavAudio.stop(); });
} // namespace

// Position in the song for a moment in it, for the page's test hook and the benchmark.
uint32_t webMusicPositionAt(uint32_t sample) { return positionAt(sample); }

bool audioInit(int32_t, uint32_t, void*) {
    if (initialised || !jsAudioReady()) return false;
    initialised = true;
    return true;
}
bool audioInitOffline(uint32_t) { return false; }
bool audioStart() { return initialised; }

uint32_t audioLoadModule(const void* data, size_t size) {
    // The archive's module must be there and look like one, as for the native player, even though
    // the sound itself comes from the rendering.
    if (!initialised || !data || size < 17) return 0;
    if (!readTable()) return 0;
    playing = false;
    return 1;
}

bool audioSetAmplification(uint32_t module, uint32_t) { return module == 1; }

bool audioSetMusicVolume(int32_t volume) {
    musicVolume = std::clamp(volume, 0, 100);
    jsAudioVolume(musicVolume / 100.0);
    return true;
}
int32_t audioGetMusicVolume() { return musicVolume; }

bool audioPlay(uint32_t module) {
    if (module != 1) return false;
    jsAudioPlay();
    playing = true;
    return true;
}

uint32_t audioPosition(uint32_t module) {
    if (module != 1 || !playing) return 0;
    double seconds = std::max(0.0, jsAudioSeconds());
    return positionAt(uint32_t(std::min(seconds * tableRate, 4.0e9)));
}

bool audioEnded(uint32_t module) {
    return module == 1 && playing && jsAudioSeconds() * tableRate >= double(songSamples);
}

size_t audioRender(uint32_t, int16_t*, size_t) { return 0; }

bool audioFreeModule(uint32_t module) {
    if (module != 1) return false;
    jsAudioStop();
    playing = false;
    return true;
}
bool audioStop() { return true; }
void audioFree() {
    initialised = false;
    playing = false;
    musicVolume = 100;
}

} // namespace platform
