// The show's module, rendered with libopenmpt without a sound device: the order grid that drives
// the scenes, the end point, the levels and the mix; and the writer and instruments underneath.
// The heavier loudness figures are printed by scripts/show-stats-audio.
#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <map>

#include "tools/builder/music.h"
#include "tools/builder/xm_instruments.h"
#include "tools/builder/xm_writer.h"

namespace {

using builder::XmCell;
using builder::XmInstrument;
using builder::XmModule;

constexpr double ORDER_SECONDS = 6.621;
constexpr int CHUNK = 32;  // frames per read: the position is sampled every 0.7 ms

struct Render {
    std::map<int, double> orderStart;  // seconds at which each order was first reported
    double endPoint = -1.0;            // first time at order 28, row 17
    double seconds = 0.0;
    double peak = 0.0;
    std::map<int, double> orderRmsDb;
    double offset[2] = {0.0, 0.0};  // mean of the left and the right channel
    double sideToMidDb = 0.0;       // energy of (L - R) / 2 against that of (L + R) / 2
    double lastRowsPeak = 0.0;      // in order 28 from row 15 on, the show's last moments
};

Render render(const std::vector<uint8_t>& bytes, int32_t rate) {
    openmpt::module m(bytes);
    Render r;
    std::map<int, double> sumSquares;
    std::map<int, long> count;
    std::vector<float> left(CHUNK), right(CHUNK);
    long frames = 0;
    double total[2] = {0.0, 0.0}, mid = 0.0, side = 0.0;
    while (size_t got = m.read(rate, CHUNK, left.data(), right.data())) {
        frames += static_cast<long>(got);
        double now = static_cast<double>(frames) / rate;
        int order = m.get_current_order();
        if (!r.orderStart.count(order)) r.orderStart[order] = now;
        if (order == 28 && m.get_current_row() >= 17 && r.endPoint < 0) r.endPoint = now;
        bool last = order == 28 && m.get_current_row() >= 15;
        for (size_t i = 0; i < got; ++i) {
            double l = left[i], rr = right[i];
            total[0] += l, total[1] += rr;
            mid += (l + rr) * (l + rr), side += (l - rr) * (l - rr);
            if (last) r.lastRowsPeak = std::max({r.lastRowsPeak, std::fabs(l), std::fabs(rr)});
            for (float v : {left[i], right[i]}) {
                r.peak = std::max(r.peak, std::fabs(static_cast<double>(v)));
                sumSquares[order] += static_cast<double>(v) * v;
                ++count[order];
            }
        }
    }
    r.seconds = static_cast<double>(frames) / rate;
    for (int c = 0; c < 2; ++c) r.offset[c] = total[c] / static_cast<double>(std::max(frames, 1L));
    r.sideToMidDb = 10.0 * std::log10((side + 1e-30) / (mid + 1e-30));
    for (auto& [order, sum] : sumSquares) r.orderRmsDb[order] = 10.0 * std::log10(sum / count[order] + 1e-30);
    return r;
}

const std::vector<uint8_t>& showModule() {
    static const std::vector<uint8_t> bytes = builder::buildModule();
    return bytes;
}

// One render for every timing and level figure. libopenmpt rounds each tick down to whole output
// frames, which at 44.1 kHz makes the whole song 0.05% fast. A tick at 145 BPM is exactly 1/58 s,
// so at 58 x 760 Hz the render carries no rounding and shows the module's own timing.
TEST(ShowModule, KeepsTheGridEndsSilentAtTheEndPointAndIsAudibleEverywhereBelowFullScaleAndWide) {
    const Render r = render(showModule(), 58 * 760);
    for (int order = 0; order < 29; ++order) {
        ASSERT_TRUE(r.orderStart.count(order)) << "order " << order << " never played";
        EXPECT_NEAR(r.orderStart.at(order), order * ORDER_SECONDS, 0.020) << "order " << order;
    }
    EXPECT_NEAR(r.endPoint, 187.1, 0.2);
    // The final chord has died away before the show cuts the sound: nothing is left ringing.
    EXPECT_LT(20.0 * std::log10(r.lastRowsPeak + 1e-12), -60.0);
    // The song plays order 28 out and stops; it does not start over.
    EXPECT_LT(r.seconds, 29 * ORDER_SECONDS + 0.5);
    EXPECT_GT(r.seconds, 28 * ORDER_SECONDS + 2.0);

    EXPECT_LT(20.0 * std::log10(r.peak), -0.5);
    for (int order = 1; order <= 27; ++order) {
        ASSERT_TRUE(r.orderRmsDb.count(order));
        EXPECT_GT(r.orderRmsDb.at(order), -30.0) << "order " << order;
    }
    auto sectionDb = [&](int first, int last) {
        double power = 0.0;
        for (int order = first; order <= last; ++order) power += std::pow(10.0, r.orderRmsDb.at(order) / 10.0);
        return 10.0 * std::log10(power / (last - first + 1));
    };
    double theme = sectionDb(12, 17);
    EXPECT_LT(sectionDb(8, 11), theme - 4.0) << "the cave is the quiet break";
    EXPECT_GT(sectionDb(22, 27), theme + 2.5) << "the finale is the loudest part";

    // An offset shared by the samples piles up with every note, densest in the drums.
    EXPECT_LT(std::fabs(r.offset[0]), 0.0005);
    EXPECT_LT(std::fabs(r.offset[1]), 0.0005);
    EXPECT_GT(r.sideToMidDb, -12.0);
}

// ---- Writer and instruments ----------------------------------------------------------------------

// One pattern of 64 rows on two channels: the note struck on row 0, at speed 6 and 125 BPM.
XmModule oneInstrumentSong(const XmInstrument& instrument, uint8_t note) {
    builder::XmPattern p{64, std::vector<XmCell>(64 * 2)};
    p.cells[0] = XmCell{note, 1, 0x50, 0, 0};
    return XmModule{"probe", 2, 6, 125, {0}, {p}, {instrument}};
}

std::vector<float> renderMono(const XmModule& song, int32_t rate, double seconds) {
    openmpt::module m(builder::writeXm(song));
    std::vector<float> left(static_cast<size_t>(seconds * rate)), right(left.size());
    left.resize(m.read(rate, left.size(), left.data(), right.data()));
    return left;
}

// Fundamental by autocorrelation over [from, to), refined between lags by a parabola.
double pitchOf(const std::vector<float>& x, int32_t rate, size_t from, size_t to, double lowHz, double highHz) {
    int minLag = static_cast<int>(rate / highHz), maxLag = static_cast<int>(rate / lowHz);
    std::vector<double> corr(maxLag + 2, 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double s = 0.0, e1 = 0.0, e2 = 0.0;
        for (size_t i = from; i < to; ++i) {
            s += x[i] * x[i + lag];
            e1 += x[i] * x[i];
            e2 += x[i + lag] * x[i + lag];
        }
        corr[lag] = s / std::sqrt(e1 * e2 + 1e-30);
    }
    int best = minLag;
    for (int lag = minLag; lag <= maxLag; ++lag)
        if (corr[lag] > corr[best]) best = lag;
    double a = corr[best - 1], b = corr[best], c = corr[best + 1];
    double shift = 0.5 * (a - c) / (a - 2 * b + c);
    return rate / (best + shift);
}

TEST(Instruments, PitchedInstrumentsSoundTheNotesTheyArePlayedOn) {
    // A sample a quarter tone above the format's C-4 rate: finetune counts 128ths of a semitone.
    builder::XmSample quarterUp;
    builder::tuneSample(quarterUp, 8363.0 * std::pow(2.0, 0.25 / 12), 261.6255653005986);
    EXPECT_EQ(quarterUp.relativeNote, 0);
    EXPECT_EQ(quarterUp.finetune, 32);

    struct Case { const char* name; XmInstrument instrument; uint8_t note; double hz; };
    const Case cases[] = {
        {"bass", builder::makeBass(), 34, 110.0},
        {"pad", builder::makePad(), 58, 440.0},
        {"lead", builder::makeLead(), 61, 523.25},  // C-5
        {"pluck", builder::makePluck(), 65, 659.26},  // E-5
    };
    const int32_t rate = 48000;
    for (const Case& c : cases) {
        std::vector<float> x = renderMono(oneInstrumentSong(c.instrument, c.note), rate, 0.8);
        ASSERT_GT(x.size(), 30000u);
        double hz = pitchOf(x, rate, 4800, 14400, c.hz / 1.5, c.hz * 1.5);
        EXPECT_NEAR(hz / c.hz, 1.0, 0.005) << c.name << " sounds at " << hz << " Hz";
    }
}

TEST(Instruments, SustainedSoundsKeepPlayingAndDrumsDieAway) {
    const int32_t rate = 48000;
    auto levelAt = [&](const XmInstrument& ins, double from, double to) {
        std::vector<float> x = renderMono(oneInstrumentSong(ins, 49), rate, to);
        double sum = 0.0;
        size_t start = static_cast<size_t>(from * rate);
        for (size_t i = start; i < x.size(); ++i) sum += x[i] * x[i];
        return std::sqrt(sum / std::max<size_t>(1, x.size() - start));
    };
    for (XmInstrument held : {builder::makePad(), builder::makeLead(), builder::makeBass()})
        EXPECT_GT(levelAt(held, 2.5, 3.0), 0.3 * levelAt(held, 0.5, 1.0)) << held.name;
    for (XmInstrument hit : {builder::makeKick(), builder::makeSnare(), builder::makeClosedHat()})
        EXPECT_LT(levelAt(hit, 1.0, 1.5), 1e-4) << hit.name;
}

TEST(XmWriter, LoopPointsAndSustainAreStoredInTheUnitsTrackersRead) {
    // Silence, then ten sine cycles that loop. A loop placed by frames where bytes are meant
    // (or the reverse) would take in some of the silence and drop the level. At C-4 the sample
    // plays 8363 frames a second: the sine's first pass lies between 0.12 s and 0.24 s. The
    // envelope holds at its first point, which would fall silent a tick later without sustain.
    XmInstrument ins;
    ins.volumeEnvelope = {{{0, 64}, {1, 0}}, 0};
    ins.sample.data.assign(1000, 0);
    for (int i = 0; i < 1000; ++i)
        ins.sample.data.push_back(static_cast<int16_t>(std::lround(16000.0 * std::sin(i * 2 * M_PI * 10 / 1000))));
    ins.sample.loop = builder::XM_LOOP_FORWARD;
    ins.sample.loopStart = 1000;
    ins.sample.loopLength = 1000;
    std::vector<float> x = renderMono(oneInstrumentSong(ins, 49), 48000, 1.0);
    double early = 0.0, late = 0.0;
    for (size_t i = 0; i < 4800; ++i) late += x[x.size() - 1 - i] * x[x.size() - 1 - i];
    for (size_t i = 6000; i < 10800; ++i) early += x[i] * x[i];
    EXPECT_GT(late, 0.9 * early);
    EXPECT_LT(late, 1.1 * early);
}

TEST(XmWriter, PatternCellsReadBackWhereTheyWereWritten) {
    XmModule m = oneInstrumentSong(builder::makeKick(), 49);
    m.channels = 4;
    builder::XmPattern& p = m.patterns[0];
    p.rows = 32;
    p.cells.assign(32 * 4, XmCell{});
    p.cells[0 * 4 + 0] = XmCell{49, 1, 0x30, 0x1, 0x02};  // every field: stored unpacked
    p.cells[5 * 4 + 3] = XmCell{58, 1, 0, 0, 0};          // note and instrument only
    p.cells[31 * 4 + 2] = XmCell{builder::XM_KEY_OFF, 0, 0, 0, 0};
    p.cells[7 * 4 + 1] = XmCell{0, 0, 0x40, 0, 0};        // volume only
    openmpt::module mod(builder::writeXm(m));
    using M = openmpt::module;
    ASSERT_EQ(mod.get_num_channels(), 4);
    ASSERT_EQ(mod.get_pattern_num_rows(0), 32);
    // libopenmpt names notes one octave above FastTracker 2 (its C-5 is the file's C-4).
    auto text = [&](int row, int channel, int command) { return mod.format_pattern_row_channel_command(0, row, channel, command); };
    auto value = [&](int row, int channel, int command) { return int(mod.get_pattern_row_channel_command(0, row, channel, command)); };
    EXPECT_EQ((std::vector<std::string>{text(0, 0, M::command_note), text(0, 0, M::command_effect), text(5, 3, M::command_note),
                                        text(31, 2, M::command_note)}),
              (std::vector<std::string>{"C-5", "1", "A-5", "==="}));
    EXPECT_TRUE(value(0, 0, M::command_volume) == 0x20 && value(0, 0, M::command_parameter) == 0x02);
    EXPECT_TRUE(value(5, 3, M::command_instrument) == 1 && value(7, 1, M::command_volume) == 0x30);
    EXPECT_TRUE(value(7, 1, M::command_note) == 0 && value(6, 3, M::command_note) == 0);
}

}  // namespace
