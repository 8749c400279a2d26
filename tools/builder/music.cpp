// The show's module, composed here in code. The song is in A minor, 16 rows to a bar and four
// bars to a pattern; every order has its own pattern. Sections follow the show's scenes:
//   0-3   opening: pads and plucks, a riser into the white-out at the end of order 3
//   4-7   the beat enters; it drops out while the flare vanishes (three breaks)
//   8-11  the cave: half-time, darker chords, sparse drips; the quietest groove
//   12-17 the main theme over the full band
//   18-20 the tunnel: rolling bass, sixteenth-note arpeggios and a lead of its own above the pads
//   21    the lift: the chords climb into the new key over the tunnel's groove; kick and bass stop
//         on its last nine rows, as the picture flashes out
//   22-27 the finale, a tone higher, with a harmony under the theme; the loudest part
//   28    the final chord, faded out within the sixteen rows the show still plays
// Scene changes (orders 4, 8, 12, 18, 22, 28) start on a crash after a fill and a riser; the
// sections before them fade their pads (and the lead) under the fill.
// The stereo picture: kick, snare, bass and lead in the centre; the lead's echo left and its
// harmony right; the pluck left with its echo right; hats right, crash a little left; the pad's
// three chord tones spread wide.
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
    LEAD_CH = PAD_CH + 3, ECHO_CH, HARMONY_CH, ARP_CH, ARP_ECHO_CH, RISER_CH, FILL_CH, AIR_CH, CHANNELS
};

// Instrument numbers in the module (1-based, in the order they are added).
enum Instrument { KICK = 1, SNARE, CLOSED_HAT, OPEN_HAT, CRASH, BASS, PAD, LEAD, PLUCK, RISER };

// Effect column commands.
constexpr uint8_t PORTA_UP = 0x1;
constexpr uint8_t TONE_PORTA = 0x3;  // glide from the sounding pitch to the cell's note
constexpr uint8_t VIBRATO = 0x4;     // speed in the high nibble, depth in the low
constexpr uint8_t SET_PANNING = 0x8;

constexpr uint8_t ECHO_PANNING = 0x30;
constexpr uint8_t HARMONY_PANNING = 0xC8;
constexpr uint8_t ARP_ECHO_PANNING = 0xD0;
constexpr uint8_t AIR_PANNING = 0xB0;
constexpr uint8_t PAD_PANNING[3] = {0x30, 0x80, 0xD0};

struct Score {
    std::vector<XmCell> cells = std::vector<XmCell>(static_cast<size_t>(ORDERS) * ROWS * CHANNELS);
};

int at(int order, int row) { return order * ROWS + row; }

XmCell* cell(Score& s, int absRow, int ch) {
    if (absRow < 0 || absRow >= ORDERS * ROWS) return nullptr;
    return &s.cells[static_cast<size_t>(absRow) * CHANNELS + ch];
}

// The volume column sets a volume 0..64 as 0x10 + volume.
uint8_t volumeByte(int volume) { return static_cast<uint8_t>(0x10 + std::clamp(volume, 0, 64)); }

void play(Score& s, int absRow, int ch, int key, int instrument, int volume, uint8_t effect = 0, uint8_t param = 0) {
    XmCell* c = cell(s, absRow, ch);
    if (!c) return;
    c->note = static_cast<uint8_t>(key);
    c->instrument = static_cast<uint8_t>(instrument);
    c->volume = volumeByte(volume);
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

// An effect on a row that has none yet (a note's panning stays).
void addEffect(Score& s, int absRow, int ch, uint8_t effect, uint8_t param) {
    XmCell* c = cell(s, absRow, ch);
    if (c && c->effect == 0 && c->note != XM_KEY_OFF) c->effect = effect, c->param = param;
}

// The volume a channel plays at on absRow: the last volume set at or before it.
int volumeAt(Score& s, int absRow, int ch) {
    for (int r = absRow; r >= 0; --r) {
        const XmCell* c = cell(s, r, ch);
        if (c->volume >= 0x10 && c->volume <= 0x50) return c->volume - 0x10;
    }
    return 0;
}

// Scales the channels' volume row by row over [fromAbs, toAbs) from what they play at down (or up)
// to `endGain` of it at the last row. Notes that start inside the range are scaled the same way.
void fade(Score& s, int fromAbs, int toAbs, std::initializer_list<int> channels, double endGain) {
    for (int ch : channels) {
        int volume = volumeAt(s, fromAbs, ch);
        for (int r = fromAbs; r < toAbs; ++r) {
            XmCell* c = cell(s, r, ch);
            if (!c || c->note == XM_KEY_OFF) continue;
            if (c->volume >= 0x10 && c->volume <= 0x50) volume = c->volume - 0x10;
            double gain = 1.0 + (endGain - 1.0) * (r - fromAbs + 1) / (toAbs - fromAbs);
            c->volume = volumeByte(static_cast<int>(volume * gain + 0.5));
        }
    }
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
constexpr int GLIDE = 0x100;  // flag on a note: slide into it from the note before

int keyOf(int token) { return token & 0xFF; }
bool isNote(int token) { return token != HOLD && token != XM_KEY_OFF; }

// A line is one token per row: a note, "~" and a note to glide into it, "." to hold, "-" to release.
std::vector<int> parseLine(const char* text) {
    std::istringstream in(text);
    std::vector<int> rows;
    std::string token;
    while (in >> token) {
        if (token == ".") rows.push_back(HOLD);
        else if (token == "-") rows.push_back(XM_KEY_OFF);
        else if (token[0] == '~') rows.push_back(parseNote(token.substr(1)) | GLIDE);
        else rows.push_back(parseNote(token));
    }
    return rows;
}

struct Chord {
    std::array<int, 3> voicing;  // pad notes, close to each other so changes move little
    int root;                    // bass note
};

Chord chordNamed(const std::string& name) {
    struct Entry { const char* name; const char* notes[4]; };
    static const Entry table[] = {
        {"Am", {"A3", "C4", "E4", "A1"}}, {"F", {"A3", "C4", "F4", "F1"}},   {"C", {"G3", "C4", "E4", "C2"}},
        {"G", {"G3", "B3", "D4", "G1"}},  {"Dm", {"A3", "D4", "F4", "D2"}},  {"E", {"G#3", "B3", "E4", "E1"}},
        {"Em", {"G3", "B3", "E4", "E1"}}, {"Bb", {"Bb3", "D4", "F4", "Bb1"}}, {"A", {"A3", "C#4", "E4", "A1"}},
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

// A glide slides on the five ticks after the first of each row that asks for it, and stops where
// a row does not: over two rows it reaches its note in eight ticks, in one row (a short note) in
// five. The speed counts sixteenths of a semitone per tick.
uint8_t glideSpeed(int from, int to, int ticks) {
    int distance = std::abs(to - from) * 16;
    return static_cast<uint8_t>(std::clamp((distance + ticks - 1) / ticks, 2, 0xFF));
}

// A note on a voice of the melody, held for `length` rows: struck, or reached by a glide from the
// voice's sounding note (no instrument, so the note is not struck again and its panning stays).
void sing(Score& s, int absRow, int ch, int key, int volume, int length, int glideFrom, uint8_t panning) {
    if (glideFrom > 0) {
        int ticks = length > 1 ? 8 : 5;
        uint8_t speed = glideSpeed(glideFrom, key, ticks);
        if (XmCell* c = cell(s, absRow, ch))
            *c = XmCell{static_cast<uint8_t>(key), 0, volumeByte(volume), TONE_PORTA, speed};
        if (length > 1) addEffect(s, absRow + 1, ch, TONE_PORTA, 0);  // 0: go on at the same speed
    } else {
        play(s, absRow, ch, key, LEAD, volume, panning ? SET_PANNING : 0, panning);
    }
}

// A note held this long gets a vibrato that starts after a short wait and then deepens.
constexpr int VIBRATO_AFTER = 3;
constexpr int VIBRATO_MIN_LENGTH = 6;

void vibrato(Score& s, int absRow, int length, int ch) {
    if (length < VIBRATO_MIN_LENGTH) return;
    for (int i = VIBRATO_AFTER; i < length; ++i)
        addEffect(s, absRow + i, ch, VIBRATO, i < VIBRATO_AFTER + 2 ? 0x52 : 0x53);
}

// A melody on the lead, with a dotted-eighth echo (three rows later, quieter) on its own channel,
// and optionally a third below on the harmony channel. Glides and vibrato are sung by every voice.
void melody(Score& s, int order, const char* text, int volume, int transpose, bool harmony = false) {
    std::vector<int> rows = parseLine(text);
    int sounding = 0;  // the note the lead holds, 0 after a release
    for (size_t i = 0; i < rows.size(); ++i) {
        int r = at(order, static_cast<int>(i));
        int token = rows[i];
        if (token == HOLD) continue;
        if (token == XM_KEY_OFF) {
            release(s, r, LEAD_CH);
            release(s, r + 3, ECHO_CH);
            if (harmony) release(s, r, HARMONY_CH);
            sounding = 0;
            continue;
        }
        int length = 1;
        while (i + length < rows.size() && rows[i + length] == HOLD) ++length;
        int key = keyOf(token) + transpose;
        int from = (token & GLIDE) ? sounding : 0;
        sing(s, r, LEAD_CH, key, volume, length, from, 0);
        sing(s, r + 3, ECHO_CH, key, volume * 2 / 5, length, from, ECHO_PANNING);
        vibrato(s, r, length, LEAD_CH);
        vibrato(s, r + 3, length, ECHO_CH);
        if (harmony) {
            int below = thirdBelow(keyOf(token)) + transpose;
            int belowFrom = from ? thirdBelow(from - transpose) + transpose : 0;
            sing(s, r, HARMONY_CH, below, volume * 3 / 4, length, belowFrom, HARMONY_PANNING);
            vibrato(s, r, length, HARMONY_CH);
        }
        sounding = key;
    }
}

// Pads change only with the chord, so a chord held over two bars keeps breathing.
void pads(Score& s, int order, const std::array<Chord, 4>& bars, int volume, int transpose) {
    for (int b = 0; b < 4; ++b) {
        if (b > 0 && bars[b].voicing == bars[b - 1].voicing) continue;
        int r = at(order, b * BAR);
        for (int v = 0; v < 3; ++v)
            play(s, r, PAD_CH + v, bars[b].voicing[v] + transpose, PAD, volume, SET_PANNING, PAD_PANNING[v]);
    }
}

constexpr std::initializer_list<int> PAD_CHANNELS = {PAD_CH, PAD_CH + 1, PAD_CH + 2};

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

// A note on the pluck, answered three rows later and softer on the other side.
void pluck(Score& s, int absRow, int key, int volume) {
    play(s, absRow, ARP_CH, key, PLUCK, volume);
    play(s, absRow + 3, ARP_ECHO_CH, key, PLUCK, volume * 2 / 5, SET_PANNING, ARP_ECHO_PANNING);
}

// Arpeggio per bar over the chord an octave up: digits pick root, third, fifth, octave.
void arpeggio(Score& s, int order, const std::array<Chord, 4>& bars, const char* figure, int volume, int transpose) {
    for (int b = 0; b < 4; ++b) {
        const Chord& c = bars[b];
        int notes[4] = {c.voicing[0] + 12, c.voicing[1] + 12, c.voicing[2] + 12, c.voicing[0] + 24};
        for (int i = 0; i < BAR; ++i) {
            char ch = figure[i];
            if (ch < '0' || ch > '3') continue;
            int accent = i % 4 == 2 ? 0 : -6;  // accents off the beat, where the kick leaves room
            pluck(s, at(order, b * BAR + i), notes[ch - '0'] + transpose, volume + accent);
        }
    }
}

// A melody line played on the pluck from row `from` up to row `to`.
void pluckLine(Score& s, int order, const char* text, int volume, int from = 0, int to = ROWS) {
    std::vector<int> rows = parseLine(text);
    for (int i = from; i < to && i < static_cast<int>(rows.size()); ++i)
        if (isNote(rows[i])) pluck(s, at(order, i), keyOf(rows[i]), volume);
}

// Drum bar: one character per row. K/M/k kick (loud, medium, soft), S/s/g snare (loud, normal, ghost),
// C/c/h closed hat, O/o open hat. The open hat shares the hat channel, so a closed hat chokes it.
// `level` scales every hit, in percent.
void drums(Score& s, int order, int ch, const char* bar, int bars = 4, int firstBar = 0, int level = 100) {
    for (int b = firstBar; b < firstBar + bars; ++b) {
        for (int i = 0; i < BAR; ++i) {
            int r = at(order, b * BAR + i);
            auto hit = [&](int instrument, int volume) { play(s, r, ch, 49, instrument, volume * level / 100); };
            switch (bar[i]) {
            case 'K': hit(KICK, 64); break;
            case 'M': hit(KICK, 54); break;
            case 'k': hit(KICK, 40); break;
            case 'S': hit(SNARE, 56); break;
            case 's': hit(SNARE, 36); break;
            case 'g': hit(SNARE, 16); break;
            case 'C': hit(CLOSED_HAT, 44); break;
            case 'c': hit(CLOSED_HAT, 30); break;
            case 'h': hit(CLOSED_HAT, 18); break;
            case 'O': hit(OPEN_HAT, 38); break;
            case 'o': hit(OPEN_HAT, 24); break;
            default: break;
            }
        }
    }
}

void crash(Score& s, int absRow, int volume) { play(s, absRow, CRASH_CH, 49, CRASH, volume); }

// Snare fill over the last rows of an order, getting denser and louder toward the next downbeat.
void fill(Score& s, int order, int length, int peak = 60) {
    int start = ROWS - length;
    for (int i = 0; i < length; ++i) {
        int row = start + i;
        bool dense = i >= length / 2;
        if (!dense && i % 2) continue;
        int volume = 20 + (peak - 20) * (i + 1) / length;
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
        else if (XmCell* c = cell(s, r, RISER_CH)) *c = XmCell{0, 0, volumeByte(volume), PORTA_UP, 0x02};
    }
    release(s, at(order + 1, 0), RISER_CH);
}

// ---- The melodies ---------------------------------------------------------------------------------

// The main theme, two patterns over Am F C G, and its answer over F G Em Am / F G E E.
const char* THEME_A1 =
    "A4 . . C5 . . E5 . . . D5 . C5 . D5 . "
    "~E5 . . . . . F5 . E5 . . . C5 . . . "
    "~G5 . . . E5 . D5 . C5 . . . D5 . E5 . "
    "D5 . . . . . . . B4 . . . G4 . . - ";
const char* THEME_A2 =
    "A4 . . C5 . . E5 . . . ~A5 . . . . . "
    "G5 . . . F5 . E5 . F5 . . . A5 . . . "
    "G5 . . . . . E5 . C5 . . . E5 . ~D5 . "
    "D5 . . . . . B4 . C5 . . . B4 . . - ";
const char* THEME_B1 =
    "C5 . . . A4 . C5 . ~F5 . . . . . E5 . "
    "D5 . . . B4 . D5 . ~G5 . . . . . . . "
    "G5 . . . . . E5 . B4 . . . . . . . "
    "C5 . . . E5 . . . ~A5 . . . . . . - ";
const char* THEME_B2 =
    "A5 . . . G5 . F5 . E5 . . . F5 . . . "
    "~G5 . . . . . F5 . D5 . . . B4 . . . "
    "B4 . . . . . C5 . D5 . . . B4 . . . "
    "~G#4 . . . . . . . . . . . B4 . D5 . ";
// The theme's opening, low and slow, for the cave.
const char* CAVE_1 =
    "A3 . . C4 . . E4 . . . . . . . . . "
    "~F4 . . . . . . . D4 . . . . . . - "
    "D4 . . F4 . . A4 . . . . . . . . . "
    "~G#4 . . . . . . . E4 . . . . . . - ";
const char* CAVE_2 =
    "A3 . . C4 . . E4 . . . D4 . C4 . D4 . "
    "D4 . . . . . . . . . . . ~F4 . . . "
    "F4 . . . . . E4 . D4 . . . . . . . "
    "~E4 . . . . . . . . . . . . . . - ";
// The tunnel's own line, an octave above the pads: three-three-two rhythms over the theme's
// chords, then long climbing notes for the lift into the finale's key.
const char* DRIVE_1 =
    "E5 . . A5 . . C6 . B5 . . A5 . G5 . . "
    "~A5 . . . . . . . F5 . . A5 . C6 . . "
    "C6 . . G5 . . E5 . G5 . . C6 . D6 . . "
    "~B5 . . . . . . . . . . . G5 . A5 . ";
const char* DRIVE_2 =
    "C6 . . B5 . . A5 . E5 . . A5 . B5 . . "
    "~C6 . . . . . . . . . . . A5 . C6 . "
    "D6 . . C6 . . G5 . E5 . . G5 . C6 . . "
    "~B5 . . . . . . . D6 . . . . . . - ";
const char* DRIVE_3 =
    "C6 . . A5 . . F5 . A5 . . C6 . A5 . . "
    "D6 . . B5 . . G5 . B5 . . D6 . B5 . . "
    "B5 . . G5 . . E5 . G5 . . B5 . C6 . . "
    "~A5 . . . . . . . . . . . . . . - ";
const char* LIFT =
    "D5 . . . . . . . F5 . . . A5 . . . "
    "~C6 . . . . . . . . . . . A5 . C6 . "
    "~D6 . . . . . . . B5 . . . D6 . . . "
    "~C#6 . . . . . . . . . . . . . . - ";

// ---- Sections -------------------------------------------------------------------------------------

void opening(Score& s) {
    const char* chords[4] = {"Am Am F F", "C C G G", "Am Am F F", "Dm Dm E E"};
    for (int o = 0; o < 4; ++o) {
        auto bars = progression(chords[o]);
        pads(s, o, bars, o == 0 ? 20 : 26, 0);
        if (o >= 1) bass(s, o, bars, "R...............", 24, 0);
        if (o == 1) arpeggio(s, o, bars, "0...1...2...3...", 30, 0);
        if (o >= 2) drums(s, o, HAT_CH, "..h...h...h...h.");
    }
    arpeggio(s, 0, progression("Am Am F F"), "0.......2.......", 24, 0);
    // The theme's first bars on the pluck: the melody the show comes back to.
    pluckLine(s, 2, THEME_A1, 34, 0, 32);
    arpeggio(s, 3, progression("Dm Dm E E"), "0.1.2.3.0.1.2.3.", 30, 0);
    fade(s, at(3, 0), at(3, ROWS), PAD_CHANNELS, 1.6);  // swelling into the white-out
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
        pads(s, o, bars, 46, 0);
        bass(s, o, bars, "R.R.O.R.R.R.O.R.", 52, 0);
        drums(s, o, KICK_CH, "K...K...K...K...", 4, 0, 95);
        if (o >= 5) drums(s, o, SNARE_CH, "....S.......S...");
        drums(s, o, HAT_CH, o == 4 ? "..c...c...c...c." : o == 5 ? "h.c.h.c.h.c.h.c." : "h.C.h.O.h.C.h.Oc");
        if (o < 6) arpeggio(s, o, bars, "0.1.2.3.2.1.0.1.", 34, 0);
    }
    // The theme, quietly on the pluck, before it arrives on the lead.
    pluckLine(s, 6, THEME_A1, 38);
    pluckLine(s, 7, THEME_A2, 38);

    for (const Break& b : FLARE_BREAKS) {
        clear(s, b.fromAbs, b.toAbs, {KICK_CH, SNARE_CH, HAT_CH, BASS_CH});
        release(s, b.fromAbs, BASS_CH);
        release(s, b.fromAbs, CRASH_CH);  // a ringing cymbal would fill the gap
        for (int r = b.toAbs - 4; r < b.toAbs; ++r) play(s, r, FILL_CH, 49, SNARE, 24 + 8 * (r - b.toAbs + 4));
        crash(s, b.toAbs, 52);
        play(s, b.toAbs, KICK_CH, 49, KICK, 58);
        play(s, b.toAbs, BASS_CH, bars[(b.toAbs % ROWS) / BAR].root, BASS, 50);
    }
    crash(s, at(4, 0), 60);
    fade(s, at(7, 40), at(7, ROWS), PAD_CHANNELS, 0.2);
    riser(s, 7, 40, 40);
    fill(s, 7, 8);
}

void cave(Score& s) {
    auto bars = progression("Am Bb Dm E");
    for (int o = 8; o < 12; ++o) {
        pads(s, o, bars, 30, -12);
        bass(s, o, bars, "R.........-...O.", 28, 0);
        drums(s, o, KICK_CH, "K.....k.........", 4, 0, 60);
        drums(s, o, SNARE_CH, "........s.......", 4, 0, 70);
        drums(s, o, HAT_CH, "..h.......h....h");
        if (o < 10) arpeggio(s, o, bars, "3......1....2...", 26, 12);
    }
    melody(s, 10, CAVE_1, 40, 0);
    melody(s, 11, CAVE_2, 40, 0);
    crash(s, at(8, 0), 54);
    fade(s, at(11, 44), at(11, ROWS), {PAD_CH, PAD_CH + 1, PAD_CH + 2, LEAD_CH, ECHO_CH}, 0.3);
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
        pads(s, o, bars, 42, 0);
        bass(s, o, bars, "R.-R.-R.O.-R.-O.", 34, 0);
        drums(s, o, KICK_CH, MAIN_KICK, 4, 0, 90);
        drums(s, o, SNARE_CH, MAIN_SNARE);
        drums(s, o, HAT_CH, i < 2 ? "c.h.c.h.c.h.c.h." : MAIN_HATS, 4, 0, 115);
        arpeggio(s, o, bars, i < 2 ? "0.1.2.1.0.1.2.1." : "0123212301232123", 30, 0);
        melody(s, o, steps[i].line, 62, 0);
        if (i % 2 == 0) crash(s, at(o, 0), i == 0 ? 62 : 44);
    }
    fade(s, at(17, 48), at(17, ROWS), PAD_CHANNELS, 0.3);
    riser(s, 17, 48, 40);
    fill(s, 17, 8);
}

// Order 21 climbs into the finale's key: the chords rise a step at a time to A, a step below the
// new tonic; the pads and the arpeggio swell, the snare doubles its pace every bar into the fill,
// and the riser takes the second half. The tunnel's kick and bass go on under it until the
// picture flashes out (rows 55-63), and drop out there, so the music's change lands on the
// picture's.
constexpr int LIFT_DROP_ROW = 55;

void lift(Score& s) {
    const int o = 21;
    auto bars = progression("Dm F G A");
    pads(s, o, bars, 26, 0);
    fade(s, at(o, 0), at(o, ROWS), PAD_CHANNELS, 1.7);
    bass(s, o, bars, "R.ROR.ROR.ROR.RO", 50, 0);
    drums(s, o, KICK_CH, "K...K...K...K.k.", 4, 0, 90);
    clear(s, at(o, LIFT_DROP_ROW), at(o, ROWS), {KICK_CH, BASS_CH});
    release(s, at(o, LIFT_DROP_ROW), BASS_CH);
    for (int b = 0; b < 4; ++b)  // the chord's top note an octave up, growing bar by bar
        play(s, at(o, b * BAR), AIR_CH, bars[b].voicing[2] + 12, PAD, 14 + 4 * b, SET_PANNING, AIR_PANNING);
    arpeggio(s, o, bars, "0123012301230123", 22, 0);
    fade(s, at(o, 0), at(o, ROWS), {ARP_CH, ARP_ECHO_CH}, 1.6);
    drums(s, o, SNARE_CH, "....s.......s...", 1, 0);
    drums(s, o, SNARE_CH, "s.......s.......", 1, 1);
    drums(s, o, SNARE_CH, "s...s...s...s...", 1, 2);
    drums(s, o, HAT_CH, "c.h.c.h.c.h.c.h.", 3, 0);
    melody(s, o, LIFT, 42, 0);
    crash(s, at(o, 0), 48);
    riser(s, o, 32, 46);
    fill(s, o, 16, 62);
    release(s, at(22, 0), AIR_CH);
}

void tunnel(Score& s) {
    const char* chords[3] = {"Am F C G", "Am F C G", "F G Em Am"};
    const char* lines[3] = {DRIVE_1, DRIVE_2, DRIVE_3};
    for (int i = 0; i < 3; ++i) {
        int o = 18 + i;
        auto bars = progression(chords[i]);
        pads(s, o, bars, 44, 0);
        bass(s, o, bars, "R.ROR.ROR.ROR.RO", 50, 0);
        drums(s, o, KICK_CH, "K...K...K...K.k.", 4, 0, 90);
        drums(s, o, SNARE_CH, "....S..g....S.g.");
        drums(s, o, HAT_CH, "chcOchcOchcOchco", 4, 0, 115);
        arpeggio(s, o, bars, "0123123023013012", 32, 0);
        melody(s, o, lines[i], 64, 0);
        if (i != 1) crash(s, at(o, 0), i == 0 ? 62 : 48);
    }
    lift(s);
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
        pads(s, o, bars, 56, FINALE_KEY);
        bass(s, o, bars, "R.RR.RR.O.RR.RRO", 64, FINALE_KEY);
        // A little less kick under the snare: the two together make the loudest peaks.
        drums(s, o, KICK_CH, "K...M...K...M...");
        drums(s, o, SNARE_CH, "....S...g...S.gs", 4, 0, 85);
        drums(s, o, HAT_CH, "cCcOcCcOcCcOcCcO", 4, 0, 105);
        arpeggio(s, o, bars, "0123123023013012", 36, FINALE_KEY);
        melody(s, o, steps[i].line, 64, FINALE_KEY, true);
        if (i % 2 == 0) crash(s, at(o, 0), i == 0 ? 64 : 46);
    }
    riser(s, 27, 32, 44);
    fill(s, 27, 16);
}

// The final chord on the home key, struck with the flash at order 28 and faded row by row (a
// curve that falls ever faster in level) to silence by row 15: the show stops at row 17.
void ending(Score& s) {
    const int o = 28;
    const int fadeRows = 15;
    const Chord home = chordNamed("Am");
    // The echoes of the last phrase would sound its notes over the final chord: they stop here.
    clear(s, at(o, 0), at(o, 3), {ECHO_CH, ARP_ECHO_CH});
    *cell(s, at(o, 0), ECHO_CH) = XmCell{XM_KEY_OFF, 0, volumeByte(0), 0, 0};
    crash(s, at(o, 0), 60);
    play(s, at(o, 0), KICK_CH, 49, KICK, 64);
    play(s, at(o, 0), BASS_CH, home.root + FINALE_KEY, BASS, 52);
    for (int v = 0; v < 3; ++v)
        play(s, at(o, 0), PAD_CH + v, home.voicing[v] + FINALE_KEY, PAD, 44, SET_PANNING, PAD_PANNING[v]);
    const int top = parseNote("A4") + FINALE_KEY;
    play(s, at(o, 0), LEAD_CH, top, LEAD, 50);
    play(s, at(o, 0), HARMONY_CH, top - 12, LEAD, 30, SET_PANNING, HARMONY_PANNING);
    play(s, at(o, 0), AIR_CH, top + 12, PAD, 24, SET_PANNING, AIR_PANNING);
    const char* fall[4] = {"A5", "E5", "C5", "A4"};
    for (int i = 0; i < 4; ++i) pluck(s, at(o, 2 * i), parseNote(fall[i]) + FINALE_KEY, 40 - 6 * i);
    const int ringing[] = {CRASH_CH, BASS_CH, PAD_CH, PAD_CH + 1, PAD_CH + 2, LEAD_CH, HARMONY_CH, AIR_CH};
    for (int ch : ringing) {
        int start = volumeAt(s, at(o, 0), ch);
        for (int r = 1; r < fadeRows; ++r) {
            double left = 1.0 - static_cast<double>(r) / fadeRows;
            cell(s, at(o, r), ch)->volume = volumeByte(static_cast<int>(start * left * left + 0.5));
        }
        release(s, at(o, fadeRows), ch);
    }
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
