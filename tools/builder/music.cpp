// The show's module, composed here in code. The song is in A minor, 16 rows to a bar and four
// bars to a pattern; every order has its own pattern. Sections follow the show's scenes:
//   0-3   opening: pads and plucks, a riser into the white-out at the end of order 3
//   4-7   the beat enters; it drops out while the flare vanishes (three breaks)
//   8-11  the cave: half-time, darker chords, sparse drips
//   12-17 the main theme over the full band
//   18-21 the tunnel: rolling bass and sixteenth-note arpeggios
//   22-27 the finale, a tone higher, with a harmony under the theme
//   28    one final hit that rings out
// Scene changes (orders 4, 8, 12, 18, 22, 28) start on a crash after a fill and a riser.
// Speed and tempo are only set in the header: the show's timeline counts on every order
// lasting exactly 64 rows at speed 6, 145 BPM.
#include "tools/builder/music.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <string>

#include "tools/builder/xm_instruments.h"
#include "tools/builder/xm_writer.h"

namespace builder {
namespace {

constexpr int ROWS = 64;
constexpr int BAR = 16;
constexpr int ORDERS = 29;

enum Channel {
    KICK_CH, SNARE_CH, HAT_CH, CRASH_CH, BASS_CH, PAD_CH,  // PAD_CH .. PAD_CH + 2: one chord tone each
    LEAD_CH = PAD_CH + 3, ECHO_CH, HARMONY_CH, ARP_CH, RISER_CH, FILL_CH, CHANNELS
};

// Instrument numbers in the module (1-based, in the order they are added).
enum Instrument { KICK = 1, SNARE, CLOSED_HAT, OPEN_HAT, CRASH, BASS, PAD, LEAD, PLUCK, RISER };

constexpr uint8_t PORTA_UP = 0x1;
constexpr uint8_t SET_PANNING = 0x8;

struct Score {
    std::vector<XmCell> cells = std::vector<XmCell>(static_cast<size_t>(ORDERS) * ROWS * CHANNELS);
};

int at(int order, int row) { return order * ROWS + row; }

XmCell* cell(Score& s, int absRow, int ch) {
    if (absRow < 0 || absRow >= ORDERS * ROWS) return nullptr;
    return &s.cells[static_cast<size_t>(absRow) * CHANNELS + ch];
}

void play(Score& s, int absRow, int ch, int key, int instrument, int volume, uint8_t effect = 0, uint8_t param = 0) {
    XmCell* c = cell(s, absRow, ch);
    if (!c) return;
    c->note = static_cast<uint8_t>(key);
    c->instrument = static_cast<uint8_t>(instrument);
    c->volume = static_cast<uint8_t>(0x10 + std::clamp(volume, 0, 64));
    c->effect = effect;
    c->param = param;
}

// A key-off never replaces a note that is already there.
void release(Score& s, int absRow, int ch) {
    XmCell* c = cell(s, absRow, ch);
    if (c && c->note == 0) *c = XmCell{XM_KEY_OFF, 0, 0, 0, 0};
}

void clear(Score& s, int fromAbs, int toAbs, std::initializer_list<int> channels) {
    for (int r = fromAbs; r < toAbs; ++r)
        for (int ch : channels)
            if (XmCell* c = cell(s, r, ch)) *c = XmCell{};
}

// ---- Pitches and lines --------------------------------------------------------------------------

// "A4", "C#5", "Bb3" -> XM note (C-0 = 1).
int parseNote(const std::string& name) {
    static const int steps[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int pitch = steps[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') pitch += 1, ++i;
    else if (name[i] == 'b') pitch -= 1, ++i;
    return (name[i] - '0') * 12 + pitch + 1;
}

constexpr int HOLD = 0;

// A line is one token per row: a note, "." to hold, "-" to release.
std::vector<int> parseLine(const char* text) {
    std::istringstream in(text);
    std::vector<int> rows;
    std::string token;
    while (in >> token) rows.push_back(token == "." ? HOLD : token == "-" ? XM_KEY_OFF : parseNote(token));
    return rows;
}

struct Chord {
    std::array<int, 3> voicing;  // pad notes, close to each other so changes move little
    int root;                    // bass note
};

Chord chordNamed(const std::string& name) {
    struct Entry { const char* name; const char* notes[4]; };
    static const Entry table[] = {
        {"Am", {"A3", "C4", "E4", "A1"}}, {"F", {"A3", "C4", "F4", "F1"}},  {"C", {"G3", "C4", "E4", "C2"}},
        {"G", {"G3", "B3", "D4", "G1"}},  {"Dm", {"A3", "D4", "F4", "D2"}}, {"E", {"G#3", "B3", "E4", "E1"}},
        {"Em", {"G3", "B3", "E4", "E1"}}, {"Bb", {"Bb3", "D4", "F4", "Bb1"}},
    };
    for (const Entry& e : table)
        if (name == e.name)
            return Chord{{parseNote(e.notes[0]), parseNote(e.notes[1]), parseNote(e.notes[2])}, parseNote(e.notes[3])};
    return chordNamed("Am");
}

// "Am F C G": one chord per bar of a pattern.
std::array<Chord, 4> progression(const char* text) {
    std::istringstream in(text);
    std::array<Chord, 4> bars;
    std::string name;
    for (Chord& c : bars) {
        in >> name;
        c = chordNamed(name);
    }
    return bars;
}

// The note a diatonic third below in A minor; the leading tone G# gets its major third, E.
int thirdBelow(int key) {
    static const int scale[7] = {0, 2, 4, 5, 7, 9, 11};
    int pitch = (key - 1) % 12;
    for (int i = 0; i < 7; ++i)
        if (scale[i] == pitch) return key - (pitch - scale[(i + 5) % 7] + 12) % 12;
    return key - 4;
}

// ---- Parts ----------------------------------------------------------------------------------------

// A melody on the lead, with a dotted-eighth echo (three rows later, quieter) on its own channel,
// and optionally a third below on the harmony channel.
void melody(Score& s, int order, const char* text, int volume, int transpose, bool harmony = false) {
    std::vector<int> rows = parseLine(text);
    for (size_t i = 0; i < rows.size(); ++i) {
        int r = at(order, static_cast<int>(i));
        int k = rows[i];
        if (k == HOLD) continue;
        if (k == XM_KEY_OFF) {
            release(s, r, LEAD_CH);
            release(s, r + 3, ECHO_CH);
            if (harmony) release(s, r, HARMONY_CH);
            continue;
        }
        play(s, r, LEAD_CH, k + transpose, LEAD, volume);
        play(s, r + 3, ECHO_CH, k + transpose, LEAD, volume * 2 / 5, SET_PANNING, 0x50);
        if (harmony) play(s, r, HARMONY_CH, thirdBelow(k) + transpose, LEAD, volume * 3 / 5, SET_PANNING, 0xA8);
    }
}

// The three chord tones spread left, centre and right.
constexpr uint8_t PAD_PANNING[3] = {0x48, 0x80, 0xB8};

// Pads change only with the chord, so a chord held over two bars keeps breathing.
void pads(Score& s, int order, const std::array<Chord, 4>& bars, int volume, int transpose) {
    for (int b = 0; b < 4; ++b) {
        if (b > 0 && bars[b].voicing == bars[b - 1].voicing) continue;
        int r = at(order, b * BAR);
        for (int v = 0; v < 3; ++v)
            play(s, r, PAD_CH + v, bars[b].voicing[v] + transpose, PAD, volume, SET_PANNING, PAD_PANNING[v]);
    }
}

void releasePads(Score& s, int absRow) {
    for (int v = 0; v < 3; ++v) release(s, absRow, PAD_CH + v);
}

// Bass figure per bar: R root, O octave above, "." hold, "-" release.
void bass(Score& s, int order, const std::array<Chord, 4>& bars, const char* figure, int volume, int transpose) {
    for (int b = 0; b < 4; ++b) {
        for (int i = 0; i < BAR; ++i) {
            int r = at(order, b * BAR + i);
            char c = figure[i];
            if (c == 'R') play(s, r, BASS_CH, bars[b].root + transpose, BASS, volume);
            else if (c == 'O') play(s, r, BASS_CH, bars[b].root + 12 + transpose, BASS, volume * 7 / 8);
            else if (c == '-') release(s, r, BASS_CH);
        }
    }
}

// Arpeggio per bar over the chord an octave up: digits pick root, third, fifth, octave.
void arpeggio(Score& s, int order, const std::array<Chord, 4>& bars, const char* figure, int volume, int transpose,
              int echoChannel = -1) {
    for (int b = 0; b < 4; ++b) {
        const Chord& c = bars[b];
        int notes[4] = {c.voicing[0] + 12, c.voicing[1] + 12, c.voicing[2] + 12, c.voicing[0] + 24};
        for (int i = 0; i < BAR; ++i) {
            char ch = figure[i];
            if (ch < '0' || ch > '3') continue;
            int r = at(order, b * BAR + i);
            int accent = i % 4 == 0 ? 0 : -6;
            play(s, r, ARP_CH, notes[ch - '0'] + transpose, PLUCK, volume + accent);
            if (echoChannel >= 0) play(s, r + 3, echoChannel, notes[ch - '0'] + transpose, PLUCK, (volume + accent) / 3);
        }
    }
}

// Drum bar: one character per row. K/k kick, S/s/g snare (loud, normal, ghost),
// C/c/h closed hat, O/o open hat. The open hat shares the hat channel, so a closed hat chokes it.
void drums(Score& s, int order, int ch, const char* bar, int bars = 4, int firstBar = 0) {
    for (int b = firstBar; b < firstBar + bars; ++b) {
        for (int i = 0; i < BAR; ++i) {
            int r = at(order, b * BAR + i);
            switch (bar[i]) {
            case 'K': play(s, r, ch, 49, KICK, 64); break;
            case 'k': play(s, r, ch, 49, KICK, 40); break;
            case 'S': play(s, r, ch, 49, SNARE, 56); break;
            case 's': play(s, r, ch, 49, SNARE, 36); break;
            case 'g': play(s, r, ch, 49, SNARE, 16); break;
            case 'C': play(s, r, ch, 49, CLOSED_HAT, 44); break;
            case 'c': play(s, r, ch, 49, CLOSED_HAT, 30); break;
            case 'h': play(s, r, ch, 49, CLOSED_HAT, 18); break;
            case 'O': play(s, r, ch, 49, OPEN_HAT, 38); break;
            case 'o': play(s, r, ch, 49, OPEN_HAT, 24); break;
            default: break;
            }
        }
    }
}

void crash(Score& s, int absRow, int volume) { play(s, absRow, CRASH_CH, 49, CRASH, volume); }

// Snare fill over the last rows of an order, getting denser and louder toward the next downbeat.
void fill(Score& s, int order, int length) {
    int start = ROWS - length;
    for (int i = 0; i < length; ++i) {
        int row = start + i;
        bool dense = i >= length / 2;
        if (!dense && i % 2) continue;
        int volume = 20 + 40 * (i + 1) / length;
        play(s, at(order, row), FILL_CH, 49, SNARE, volume);
    }
    clear(s, at(order, start), at(order, ROWS), {SNARE_CH});
}

// Noise rising in pitch (portamento up every row) and level, cut by the next scene's crash.
void riser(Score& s, int order, int fromRow, int peakVolume) {
    int length = ROWS - fromRow;
    for (int i = 0; i < length; ++i) {
        int r = at(order, fromRow + i);
        int volume = 6 + (peakVolume - 6) * i / (length - 1);
        if (i == 0) play(s, r, RISER_CH, parseNote("C3"), RISER, volume, PORTA_UP, 0x02);
        else {
            if (XmCell* c = cell(s, r, RISER_CH)) *c = XmCell{0, 0, static_cast<uint8_t>(0x10 + volume), PORTA_UP, 0x02};
        }
    }
    release(s, at(order + 1, 0), RISER_CH);
}

// ---- The melodies ---------------------------------------------------------------------------------

// The main theme, two patterns over Am F C G, and its answer over F G Em Am / F G E E.
const char* THEME_A1 =
    "A4 . . C5 . . E5 . . . D5 . C5 . D5 . "
    "E5 . . . . . F5 . E5 . . . C5 . . . "
    "G5 . . . E5 . D5 . C5 . . . D5 . E5 . "
    "D5 . . . . . . . B4 . . . G4 . . - ";
const char* THEME_A2 =
    "A4 . . C5 . . E5 . . . A5 . . . . . "
    "G5 . . . F5 . E5 . F5 . . . A5 . . . "
    "G5 . . . . . E5 . C5 . . . E5 . D5 . "
    "D5 . . . . . B4 . C5 . . . B4 . . - ";
const char* THEME_B1 =
    "C5 . . . A4 . C5 . F5 . . . . . E5 . "
    "D5 . . . B4 . D5 . G5 . . . . . . . "
    "G5 . . . . . E5 . B4 . . . . . . . "
    "C5 . . . E5 . . . A5 . . . . . . - ";
const char* THEME_B2 =
    "A5 . . . G5 . F5 . E5 . . . F5 . . . "
    "G5 . . . . . F5 . D5 . . . B4 . . . "
    "B4 . . . . . C5 . D5 . . . B4 . . . "
    "G#4 . . . . . . . . . . . B4 . D5 . ";
// The theme's opening, low and slow, for the cave.
const char* CAVE_1 =
    "A3 . . C4 . . E4 . . . . . . . . . "
    "F4 . . . . . . . D4 . . . . . . - "
    "D4 . . F4 . . A4 . . . . . . . . . "
    "G#4 . . . . . . . E4 . . . . . . - ";
const char* CAVE_2 =
    "A3 . . C4 . . E4 . . . D4 . C4 . D4 . "
    "D4 . . . . . . . . . . . F4 . . . "
    "F4 . . . . . E4 . D4 . . . . . . . "
    "E4 . . . . . . . . . . . . . . - ";

// ---- Sections -------------------------------------------------------------------------------------

void opening(Score& s) {
    const char* chords[4] = {"Am Am F F", "C C G G", "Am Am F F", "Dm Dm E E"};
    for (int o = 0; o < 4; ++o) {
        auto bars = progression(chords[o]);
        pads(s, o, bars, o == 0 ? 30 : 40, 0);
        if (o >= 1) bass(s, o, bars, "R...............", 30, 0);
        if (o == 1) arpeggio(s, o, bars, "0...1...2...3...", 30, 0);
        if (o >= 2) drums(s, o, HAT_CH, "..h...h...h...h.");
    }
    arpeggio(s, 0, progression("Am Am F F"), "0.......2.......", 24, 0);
    // The theme's first bars on the pluck: the melody the show comes back to.
    std::vector<int> hint = parseLine(THEME_A1);
    for (int i = 0; i < 32; ++i)
        if (hint[i] != HOLD && hint[i] != XM_KEY_OFF) play(s, at(2, i), ARP_CH, hint[i], PLUCK, 34);
    arpeggio(s, 3, progression("Dm Dm E E"), "0.1.2.3.0.1.2.3.", 30, 0);
    drums(s, 3, KICK_CH, "K.......k.......", 2, 2);
    riser(s, 3, 32, 44);
    fill(s, 3, 16);
}

// The flare vanishes three times in orders 5 and 6; the groove stops there and comes back with a
// crash as the flare returns.
struct Break { int fromAbs, toAbs; };
const Break FLARE_BREAKS[] = {{at(5, 40), at(5, 48)}, {at(5, 56), at(6, 4)}, {at(6, 40), at(6, 48)}};

void flare(Score& s) {
    auto bars = progression("Am F C G");
    for (int o = 4; o < 8; ++o) {
        pads(s, o, bars, 30, 0);
        bass(s, o, bars, "R.R.O.R.R.R.O.R.", 50, 0);
        drums(s, o, KICK_CH, "K...K...K...K...");
        if (o >= 5) drums(s, o, SNARE_CH, "....S.......S...");
        drums(s, o, HAT_CH, o == 4 ? "..c...c...c...c." : o == 5 ? "h.c.h.c.h.c.h.c." : "h.C.h.O.h.C.h.Oc");
        if (o < 6) arpeggio(s, o, bars, "0.1.2.3.2.1.0.1.", 26, 0);
    }
    // The theme, quietly on the pluck, before it arrives on the lead.
    std::vector<int> lines[2] = {parseLine(THEME_A1), parseLine(THEME_A2)};
    for (int o = 6; o < 8; ++o)
        for (int i = 0; i < ROWS; ++i)
            if (int k = lines[o - 6][i]; k != HOLD && k != XM_KEY_OFF) play(s, at(o, i), ARP_CH, k, PLUCK, 32);

    for (const Break& b : FLARE_BREAKS) {
        clear(s, b.fromAbs, b.toAbs, {KICK_CH, SNARE_CH, HAT_CH, BASS_CH});
        release(s, b.fromAbs, BASS_CH);
        release(s, b.fromAbs, CRASH_CH);  // a ringing cymbal would fill the gap
        for (int r = b.toAbs - 4; r < b.toAbs; ++r) play(s, r, FILL_CH, 49, SNARE, 24 + 8 * (r - b.toAbs + 4));
        crash(s, b.toAbs, 52);
        play(s, b.toAbs, KICK_CH, 49, KICK, 64);
        play(s, b.toAbs, BASS_CH, bars[(b.toAbs % ROWS) / BAR].root, BASS, 54);
    }
    crash(s, at(4, 0), 60);
    riser(s, 7, 40, 40);
    fill(s, 7, 8);
}

void cave(Score& s) {
    auto bars = progression("Am Bb Dm E");
    for (int o = 8; o < 12; ++o) {
        pads(s, o, bars, 34, -12);
        bass(s, o, bars, "R.........-...O.", 54, 0);
        drums(s, o, KICK_CH, "K.....k.........");
        drums(s, o, SNARE_CH, "........s.......");
        drums(s, o, HAT_CH, "..h.......h....h");
        if (o < 10) arpeggio(s, o, bars, "3......1....2...", 30, 12, HARMONY_CH);
    }
    melody(s, 10, CAVE_1, 40, 0);
    melody(s, 11, CAVE_2, 40, 0);
    crash(s, at(8, 0), 60);
    riser(s, 11, 48, 36);
    fill(s, 11, 8);
}

const char* MAIN_KICK = "K...K...K...K...";
const char* MAIN_SNARE = "....S.......S..g";
const char* MAIN_HATS = "c.h.c.hOc.h.c.hO";

void mainTheme(Score& s) {
    struct Step { const char* chords; const char* line; };
    const Step steps[6] = {{"Am F C G", THEME_A1}, {"Am F C G", THEME_A2}, {"Am F C G", THEME_A1},
                           {"Am F C G", THEME_A2}, {"F G Em Am", THEME_B1}, {"F G E E", THEME_B2}};
    for (int i = 0; i < 6; ++i) {
        int o = 12 + i;
        auto bars = progression(steps[i].chords);
        pads(s, o, bars, 28, 0);
        bass(s, o, bars, "R.-R.-R.O.-R.-O.", 46, 0);
        drums(s, o, KICK_CH, MAIN_KICK);
        drums(s, o, SNARE_CH, MAIN_SNARE);
        drums(s, o, HAT_CH, i < 2 ? "c.h.c.h.c.h.c.h." : MAIN_HATS);
        arpeggio(s, o, bars, i < 2 ? "0.1.2.1.0.1.2.1." : "0123212301232123", 24, 0);
        melody(s, o, steps[i].line, 54, 0);
        if (i % 2 == 0) crash(s, at(o, 0), i == 0 ? 62 : 44);
    }
    riser(s, 17, 48, 40);
    fill(s, 17, 8);
}

void tunnel(Score& s) {
    const char* chords[4] = {"Am F C G", "Am F C G", "F G Em Am", "F G E E"};
    for (int i = 0; i < 4; ++i) {
        int o = 18 + i;
        auto bars = progression(chords[i]);
        pads(s, o, bars, 24, 0);
        bass(s, o, bars, "R.ROR.ROR.ROR.RO", 50, 0);
        drums(s, o, KICK_CH, "K...K...K...K.k.");
        drums(s, o, SNARE_CH, "....S..g....S.g.");
        drums(s, o, HAT_CH, "chcOchcOchcOchco");
        arpeggio(s, o, bars, "0123123023013012", 34, 0, i < 2 ? ECHO_CH : -1);
        if (i % 2 == 0) crash(s, at(o, 0), i == 0 ? 62 : 44);
    }
    // The theme's answer comes back, softer, under the arpeggios.
    play(s, at(18, 0), LEAD_CH, parseNote("A4"), LEAD, 40);
    release(s, at(18, 8), LEAD_CH);
    melody(s, 20, THEME_B1, 44, -12);
    melody(s, 21, THEME_B2, 44, -12);
    riser(s, 21, 48, 40);
    fill(s, 21, 8);
}

// Everything at once, a whole tone up for the lift.
constexpr int FINALE_KEY = 2;

void finale(Score& s) {
    struct Step { const char* chords; const char* line; };
    const Step steps[6] = {{"Am F C G", THEME_A1}, {"Am F C G", THEME_A2}, {"F G Em Am", THEME_B1},
                           {"F G E E", THEME_B2},  {"Am F C G", THEME_A1}, {"F G E E", THEME_B2}};
    for (int i = 0; i < 6; ++i) {
        int o = 22 + i;
        auto bars = progression(steps[i].chords);
        pads(s, o, bars, 32, FINALE_KEY);
        bass(s, o, bars, "R.RR.RR.O.RR.RRO", 46, FINALE_KEY);
        drums(s, o, KICK_CH, MAIN_KICK);
        drums(s, o, SNARE_CH, "....S...g...S.gs");
        drums(s, o, HAT_CH, "cCcOcCcOcCcOcCcO");
        arpeggio(s, o, bars, "0123123023013012", 30, FINALE_KEY);
        melody(s, o, steps[i].line, 56, FINALE_KEY, true);
        if (i % 2 == 0) crash(s, at(o, 0), i == 0 ? 64 : 46);
    }
    riser(s, 27, 32, 44);
    fill(s, 27, 16);
}

// The final hit on the home chord; everything is released at once and rings out.
void ending(Score& s) {
    const int o = 28;
    const Chord home = chordNamed("Am");
    crash(s, at(o, 0), 64);
    play(s, at(o, 0), KICK_CH, 49, KICK, 64);
    play(s, at(o, 0), BASS_CH, home.root + FINALE_KEY, BASS, 56);
    for (int v = 0; v < 3; ++v)
        play(s, at(o, 0), PAD_CH + v, home.voicing[v] + FINALE_KEY, PAD, 44, SET_PANNING, PAD_PANNING[v]);
    play(s, at(o, 0), LEAD_CH, parseNote("A4") + FINALE_KEY, LEAD, 48);
    play(s, at(o, 3), ECHO_CH, parseNote("A4") + FINALE_KEY, LEAD, 20);
    const char* fall[4] = {"A5", "E5", "C5", "A4"};
    for (int i = 0; i < 4; ++i) play(s, at(o, 2 * i), ARP_CH, parseNote(fall[i]) + FINALE_KEY, PLUCK, 40 - 6 * i);
    releasePads(s, at(o, 8));
    release(s, at(o, 8), LEAD_CH);
    release(s, at(o, 8), HARMONY_CH);
    release(s, at(o, 11), ECHO_CH);
    release(s, at(o, 14), BASS_CH);
}

Score compose() {
    Score s;
    opening(s);
    flare(s);
    cave(s);
    mainTheme(s);
    tunnel(s);
    finale(s);
    ending(s);
    return s;
}

}  // namespace

std::vector<uint8_t> buildModule() {
    Score score = compose();
    XmModule m;
    m.name = "tavremon";
    m.channels = CHANNELS;
    m.speed = 6;
    m.bpm = 145;
    m.instruments = {makeKick(), makeSnare(), makeClosedHat(), makeOpenHat(), makeCrash(),
                     makeBass(), makePad(),   makeLead(),      makePluck(),   makeRiser()};
    for (int o = 0; o < ORDERS; ++o) {
        XmPattern p;
        p.rows = ROWS;
        auto first = score.cells.begin() + static_cast<std::ptrdiff_t>(o) * ROWS * CHANNELS;
        p.cells.assign(first, first + ROWS * CHANNELS);
        m.patterns.push_back(std::move(p));
        m.orders.push_back(static_cast<uint8_t>(o));
    }
    return writeXm(m);
}

}  // namespace builder
