// Instrument synthesis. Pitched sounds are built additively from harmonics whose phase advances by
// a whole number of cycles over the loop, so every loop repeats exactly and never clicks; their
// brightness is set by per-harmonic amplitudes rather than by filters. Drums use noise and sine
// sweeps through simple one-pole filters. All randomness comes from a fixed-seed generator, so the
// samples are the same on every run.
#include "tools/builder/xm_instruments.h"

#include <algorithm>
#include <cmath>

namespace builder {
namespace {

constexpr double TWO_PI = 6.283185307179586;
constexpr double C4_HZ = 261.6255653005986;
constexpr double C4_RATE = 8363.0;  // playback rate of a C-4 note with relative note 0, finetune 0

// Where the instruments sit when a note does not say otherwise (0 left, 128 centre, 255 right): the
// hats to the right, the pluck to the left, the crash a little left to balance the hats.
constexpr uint8_t HAT_PANNING = 0xB8;
constexpr uint8_t PLUCK_PANNING = 0x48;
constexpr uint8_t CRASH_PANNING = 0x68;

// Small xorshift generator: the same noise on every run and every machine.
struct Noise {
    uint32_t state;
    float next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state) / 2147483648.0f - 1.0f;
    }
};

std::vector<float> whiteNoise(size_t frames, uint32_t seed) {
    Noise n{seed};
    std::vector<float> out(frames);
    for (float& v : out) v = n.next();
    return out;
}

// One-pole filters; cutoff in Hz at the given rate.
void lowPass(std::vector<float>& x, double cutoff, double rate) {
    double a = 1.0 - std::exp(-TWO_PI * cutoff / rate);
    double y = 0.0;
    for (float& v : x) {
        y += a * (v - y);
        v = static_cast<float>(y);
    }
}

void highPass(std::vector<float>& x, double cutoff, double rate) {
    double a = 1.0 - std::exp(-TWO_PI * cutoff / rate);
    double low = 0.0;
    for (float& v : x) {
        low += a * (v - low);
        v = static_cast<float>(v - low);
    }
}

// Square waves at unrelated frequencies: the metallic core of hats and cymbals.
std::vector<float> metal(size_t frames, double rate, const std::vector<double>& freqs) {
    std::vector<float> out(frames, 0.0f);
    for (double f : freqs) {
        for (size_t i = 0; i < frames; ++i) {
            double phase = std::fmod(f * static_cast<double>(i) / rate, 1.0);
            out[i] += phase < 0.5 ? 0.15f : -0.15f;
        }
    }
    return out;
}

// Adds harmonics 1..maxHarmonic of a tone that makes `cycles` periods every `loopFrames` frames,
// over frames [0, out.size()). amplitude(k, frame) gives harmonic k's level; phaseOffset(k) its
// starting phase in turns. The phase is computed from integers so the waveform repeats exactly.
template <typename Amp, typename Phase>
void addHarmonics(std::vector<float>& out, uint32_t loopFrames, uint32_t cycles, int maxHarmonic, Amp amplitude,
                  Phase phaseOffset) {
    for (int k = 1; k <= maxHarmonic; ++k) {
        double offset = phaseOffset(k);
        for (size_t i = 0; i < out.size(); ++i) {
            double a = amplitude(k, i);
            if (a == 0.0) continue;
            uint64_t turnsTimesLoop = (static_cast<uint64_t>(k) * cycles * i) % loopFrames;
            double phase = TWO_PI * (static_cast<double>(turnsTimesLoop) / loopFrames + offset);
            out[i] += static_cast<float>(a * std::sin(phase));
        }
    }
}

// Takes the offset out of a sample, as the last step before it is stored. A tracker plays
// one-shots note after note, so an offset they share piles up into a DC level on the mix that grows
// with the density of the pattern. A correction shaped like a raised cosine makes the sum exactly
// zero without moving either end of the sample. In a looped sample the loop's mean is what plays on
// and on: it is taken out of the whole sample, which keeps the loop seamless, and the part before
// the loop is then zeroed the same way. (Notes cut short still leave the offset of the part they
// played: the drums get a gentle high-pass first, and the bass starts in cosine phase.)
void removeDc(std::vector<float>& x, size_t loopStart = 0, size_t loopLength = 0) {
    size_t head = x.size();
    if (loopLength > 0) {
        double sum = 0.0;
        for (size_t i = loopStart; i < loopStart + loopLength; ++i) sum += x[i];
        const float mean = static_cast<float>(sum / static_cast<double>(loopLength));
        for (float& v : x) v -= mean;
        head = loopStart;
    }
    if (head < 3) return;
    double sum = 0.0, weight = 0.0;
    std::vector<double> bump(head);
    for (size_t i = 0; i < head; ++i) {
        bump[i] = 0.5 - 0.5 * std::cos(TWO_PI * static_cast<double>(i) / static_cast<double>(head - 1));
        sum += x[i];
        weight += bump[i];
    }
    for (size_t i = 0; i < head; ++i) x[i] -= static_cast<float>(sum / weight * bump[i]);
}

// Scales to 90% of full scale so that mixing levels are set only by volumes in the module.
std::vector<int16_t> toPcm(std::vector<float> x, size_t loopStart = 0, size_t loopLength = 0) {
    removeDc(x, loopStart, loopLength);
    float peak = 1e-9f;
    for (float v : x) peak = std::max(peak, std::fabs(v));
    std::vector<int16_t> out(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(x[i] / peak * 0.9 * 32767.0));
    return out;
}

// Rounds off the few sharpest peaks of a sound: they decide how loud the whole mix can be and
// carry almost none of its loudness. Scales to a peak of 1 first; drive sets how hard it bends.
void softClip(std::vector<float>& x, double drive) {
    float peak = 1e-9f;
    for (float v : x) peak = std::max(peak, std::fabs(v));
    for (float& v : x) v = static_cast<float>(std::tanh(drive * v / peak) / std::tanh(drive));
}

// One-shot samples end on a short ramp so the last frame is silent.
void fadeTail(std::vector<float>& x, size_t frames) {
    frames = std::min(frames, x.size());
    for (size_t i = 0; i < frames; ++i) x[x.size() - 1 - i] *= static_cast<float>(i) / frames;
}

double seconds(size_t frame, double rate) { return static_cast<double>(frame) / rate; }

void setLoop(XmSample& s, size_t start, size_t length) {
    s.loop = XM_LOOP_FORWARD;
    s.loopStart = static_cast<uint32_t>(start);
    s.loopLength = static_cast<uint32_t>(length);
}

// An unpitched sample that plays at its natural speed on C-4, looped when loopLength is not 0.
XmInstrument oneShot(const char* name, const std::vector<float>& data, double rate, size_t loopStart = 0,
                     size_t loopLength = 0) {
    XmInstrument ins;
    ins.name = name;
    ins.sample.name = name;
    ins.sample.data = toPcm(data, loopStart, loopLength);
    if (loopLength > 0) setLoop(ins.sample, loopStart, loopLength);
    tuneSample(ins.sample, rate, C4_HZ);
    return ins;
}

std::vector<float> hatSource(size_t frames, double rate, uint32_t seed) {
    std::vector<float> x = metal(frames, rate, {205.3, 304.4, 369.6, 522.7, 540.0, 800.0});
    std::vector<float> n = whiteNoise(frames, seed);
    for (size_t i = 0; i < frames; ++i) x[i] += 0.5f * n[i];
    for (int pass = 0; pass < 3; ++pass) highPass(x, 7000.0, rate);
    return x;
}

}  // namespace

void tuneSample(XmSample& sample, double sampleRate, double fundamentalHz) {
    // The rate at which C-4 must play, in semitones above the format's C-4 rate.
    double semitones = 12.0 * std::log2(C4_HZ / fundamentalHz * sampleRate / C4_RATE);
    long whole = std::lround(semitones);
    long fine = std::lround((semitones - static_cast<double>(whole)) * 128.0);
    sample.relativeNote = static_cast<int8_t>(std::clamp(whole, -96L, 95L));
    sample.finetune = static_cast<int8_t>(std::clamp(fine, -128L, 127L));
}

XmInstrument makeKick() {
    const double rate = 22050.0;
    const size_t frames = static_cast<size_t>(0.30 * rate);
    std::vector<float> click = whiteNoise(frames, 0x4B1C4u);
    lowPass(click, 4000.0, rate);
    std::vector<float> x(frames);
    double phase = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        double t = seconds(i, rate);
        double pitch = 48.0 + 120.0 * std::exp(-t / 0.035);  // the drop gives the punch
        phase += TWO_PI * pitch / rate;
        double body = std::sin(phase) * std::exp(-t / 0.16);
        double tick = click[i] * 0.6 * std::exp(-t / 0.003);
        x[i] = static_cast<float>(std::tanh(1.6 * (body + tick)));
    }
    highPass(x, 20.0, rate);  // the body's first swing is all on one side
    fadeTail(x, 256);
    return oneShot("kick", x, rate);
}

XmInstrument makeSnare() {
    const double rate = 44100.0;
    const size_t frames = static_cast<size_t>(0.22 * rate);
    std::vector<float> wide = whiteNoise(frames, 0x5AA5u);
    lowPass(wide, 9000.0, rate);
    highPass(wide, 900.0, rate);
    std::vector<float> clapBand = whiteNoise(frames, 0xC1A9u);
    lowPass(clapBand, 3000.0, rate);
    highPass(clapBand, 1100.0, rate);
    std::vector<float> x(frames);
    for (size_t i = 0; i < frames; ++i) {
        double t = seconds(i, rate);
        double body = (0.7 * std::sin(TWO_PI * 185.0 * t) + 0.35 * std::sin(TWO_PI * 330.0 * t)) * std::exp(-t / 0.045);
        double rattle = wide[i] * std::exp(-t / 0.075);
        // A clap is a few hands a few milliseconds apart, then the room.
        double clap = 0.4 * std::exp(-t / 0.06);
        for (double start : {0.0, 0.011, 0.022})
            if (t >= start) clap += std::exp(-(t - start) / 0.006);
        x[i] = static_cast<float>(body + 0.9 * rattle + 0.8 * clapBand[i] * clap);
    }
    softClip(x, 2.5);
    highPass(x, 20.0, rate);
    fadeTail(x, 256);
    return oneShot("snare clap", x, rate);
}

XmInstrument makeClosedHat() {
    const double rate = 44100.0;
    const size_t frames = static_cast<size_t>(0.06 * rate);
    std::vector<float> x = hatSource(frames, rate, 0x4A7u);
    softClip(x, 2.0);
    for (size_t i = 0; i < frames; ++i) x[i] *= static_cast<float>(std::exp(-seconds(i, rate) / 0.015));
    fadeTail(x, 128);
    XmInstrument ins = oneShot("closed hat", x, rate);
    ins.sample.panning = HAT_PANNING;
    return ins;
}

XmInstrument makeOpenHat() {
    const double rate = 44100.0;
    const size_t frames = static_cast<size_t>(0.35 * rate);
    std::vector<float> x = hatSource(frames, rate, 0x09E4u);
    softClip(x, 2.0);
    for (size_t i = 0; i < frames; ++i) x[i] *= static_cast<float>(std::exp(-seconds(i, rate) / 0.11));
    fadeTail(x, 512);
    XmInstrument ins = oneShot("open hat", x, rate);
    ins.sample.panning = HAT_PANNING;
    return ins;
}

XmInstrument makeCrash() {
    const double rate = 44100.0;
    const size_t attack = static_cast<size_t>(0.12 * rate);
    const size_t tail = static_cast<size_t>(0.30 * rate);
    std::vector<float> x = metal(attack + tail, rate, {331.0, 478.0, 612.0, 839.0, 1021.0, 1373.0});
    std::vector<float> n = whiteNoise(attack + tail, 0xC2A5u);
    for (size_t i = 0; i < x.size(); ++i) x[i] = 0.4f * x[i] + n[i];
    for (int pass = 0; pass < 2; ++pass) highPass(x, 4000.0, rate);
    lowPass(x, 14000.0, rate);
    // The attack settles onto the level of the looped tail; the envelope does the long decay.
    for (size_t i = 0; i < attack; ++i) x[i] *= static_cast<float>(0.55 + 0.45 * std::exp(-seconds(i, rate) / 0.03));
    for (size_t i = attack; i < x.size(); ++i) x[i] *= 0.55f;
    XmInstrument ins = oneShot("crash", x, rate, attack, tail);
    ins.sample.panning = CRASH_PANNING;
    ins.volumeEnvelope.points = {{0, 64}, {10, 50}, {60, 24}, {140, 8}, {230, 0}};
    ins.fadeout = 1024;  // a key-off chokes it within a second
    return ins;
}

XmInstrument makeBass() {
    const double rate = 22050.0;
    const uint32_t period = 256;         // one cycle: 86.13 Hz
    const size_t decayCycles = 24;       // filter sweep, then the last cycle loops
    const double f0 = rate / period;
    const size_t frames = (decayCycles + 1) * period;
    const double sweepEnd = seconds(decayCycles * period, rate);
    std::vector<float> x(frames, 0.0f);
    auto amplitude = [&](int k, size_t i) {
        double t = std::min(seconds(i, rate), sweepEnd);  // the loop cycle holds the final colour
        double cutoff = 260.0 + 2200.0 * std::exp(-t / 0.05);
        double r = k * f0 / cutoff;
        double level = 1.0 / k / std::sqrt(1.0 + r * r * r * r);
        return k == 1 ? level + 0.6 : level;  // extra fundamental: a sub under the saw
    };
    // Bass notes are short and cut by a key-off anywhere in the cycle. A harmonic in sine phase
    // leaves part of a half-wave behind when it is cut, always of the same sign, and a bar of bass
    // notes adds these up into an offset. In cosine phase (a quarter turn either way) the running
    // sum swings evenly about zero. The signs of the first six keep the peaks low; the start of
    // the sample is then far from zero, so it fades in over the first millisecond.
    auto phase = [](int k) {
        static const double firstSix[6] = {0.75, 0.75, 0.25, 0.25, 0.75, 0.25};
        return k <= 6 ? firstSix[k - 1] : k % 2 ? 0.25 : 0.75;
    };
    addHarmonics(x, period, 1, 40, amplitude, phase);
    for (size_t i = 0; i < 22; ++i) x[i] *= static_cast<float>(i) / 22.0f;
    XmInstrument ins;
    ins.name = "bass";
    ins.sample.name = "bass";
    ins.sample.data = toPcm(x, decayCycles * period, period);
    setLoop(ins.sample, decayCycles * period, period);
    tuneSample(ins.sample, rate, f0);
    ins.volumeEnvelope.points = {{0, 64}, {12, 46}};
    ins.volumeEnvelope.sustainPoint = 1;
    ins.fadeout = 3000;
    return ins;
}

XmInstrument makePad() {
    const double rate = 22050.0;
    const uint32_t loop = 16384;
    const uint32_t centre = 120;  // cycles per loop: 161.5 Hz
    std::vector<float> x(loop, 0.0f);
    Noise phases{0x9AD5u};
    for (uint32_t cycles : {centre - 1, centre, centre + 1}) {  // +-14 cents: a slow chorus
        const double f = cycles * rate / loop;
        std::vector<double> offsets(31);
        for (double& o : offsets) o = phases.next();  // spread phases: no spike where they line up
        auto amplitude = [&](int k, size_t) {
            double r = k * f / 1400.0;
            return 1.0 / k / std::sqrt(1.0 + r * r * r * r);
        };
        addHarmonics(x, loop, cycles, 30, amplitude, [&](int k) { return offsets[k]; });
    }
    softClip(x, 1.5);  // the moments where the three saws line up
    XmInstrument ins;
    ins.name = "pad";
    ins.sample.name = "pad";
    ins.sample.data = toPcm(x, 0, loop);
    setLoop(ins.sample, 0, loop);
    tuneSample(ins.sample, rate, centre * rate / loop);
    ins.volumeEnvelope.points = {{0, 0}, {30, 64}, {60, 52}};
    ins.volumeEnvelope.sustainPoint = 2;
    ins.fadeout = 600;
    return ins;
}

// How strongly a harmonic at hz stands out: a broad lift around centreHz, where a line cuts
// through a full mix, and a gentle roll-off above rolloffHz.
double presence(double hz, double centreHz, double rolloffHz) {
    double octaves = std::log2(hz / centreHz);
    double r = hz / rolloffHz;
    return (1.0 + 0.8 * std::exp(-octaves * octaves)) / std::sqrt(1.0 + r * r * r * r);
}

XmInstrument makeLead() {
    const double rate = 44100.0;
    const uint32_t loop = 16384;
    std::vector<float> x(loop, 0.0f);
    for (uint32_t cycles : {128u, 129u}) {  // 13.5 cents apart
        const double f = cycles * rate / loop;
        // The lead plays about an octave above the sample's own pitch, which moves the lift from
        // 1.6 kHz here to 2.5-4 kHz in the song. Its highest notes, near D-6, take the top
        // harmonics close to the output's limit: there are no more than 22.
        auto amplitude = [&](int k, size_t) {
            double shape = (k % 2 ? 1.0 : 0.6) / std::pow(k, 0.85);  // between square and saw
            return shape * presence(k * f, 1600.0, 6500.0);
        };
        addHarmonics(x, loop, cycles, 22, amplitude, [&](int k) { return cycles == 128 ? 0.0 : 0.25 * k; });
    }
    softClip(x, 1.5);  // the moments where the two oscillators line up
    XmInstrument ins;
    ins.name = "lead";
    ins.sample.name = "lead";
    ins.sample.data = toPcm(x, 0, loop);
    setLoop(ins.sample, 0, loop);
    tuneSample(ins.sample, rate, 128.5 * rate / loop);
    ins.volumeEnvelope.points = {{0, 0}, {2, 64}, {12, 50}};
    ins.volumeEnvelope.sustainPoint = 2;
    ins.fadeout = 1600;  // vibrato comes from the patterns, on held notes only
    return ins;
}

XmInstrument makePluck() {
    const double rate = 44100.0;
    const uint32_t period = 128;  // 344.5 Hz
    const size_t frames = static_cast<size_t>(0.5 * rate);
    std::vector<float> x(frames, 0.0f);
    const double f = rate / period;
    auto amplitude = [&](int k, size_t i) {
        double t = seconds(i, rate);
        double decay = std::exp(-t * (4.0 + 0.9 * k));  // upper harmonics die first, but not at once
        return decay / std::pow(k, 0.8) * presence(k * f, 1500.0, 8000.0);
    };
    // Phases growing with k squared keep the harmonics from lining up into one sharp spike per
    // cycle (0.19 turns gave the lowest peak for this spectrum); the pick's first millisecond is
    // a ramp, as the sample no longer starts at zero.
    addHarmonics(x, period, 1, 24, amplitude, [](int k) { return 0.19 * k * k; });
    for (size_t i = 0; i < 44; ++i) x[i] *= static_cast<float>(i) / 44.0f;
    fadeTail(x, 512);
    XmInstrument ins;
    ins.name = "pluck";
    ins.sample.name = "pluck";
    ins.sample.data = toPcm(x);
    ins.sample.panning = PLUCK_PANNING;
    tuneSample(ins.sample, rate, f);
    return ins;
}

XmInstrument makeRiser() {
    const double rate = 22050.0;
    const size_t frames = static_cast<size_t>(0.40 * rate);
    std::vector<float> x = whiteNoise(frames, 0x815Eu);
    lowPass(x, 3000.0, rate);
    lowPass(x, 3000.0, rate);
    highPass(x, 400.0, rate);
    XmInstrument ins = oneShot("riser", x, rate, 0, frames);
    ins.volumeEnvelope.points = {{0, 64}};
    ins.volumeEnvelope.sustainPoint = 0;
    ins.fadeout = 1200;
    return ins;
}

}  // namespace builder
