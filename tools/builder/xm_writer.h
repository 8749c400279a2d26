// FastTracker 2 extended module (XM) writer: turns a song held in plain structs into the bytes of
// an .xm file (version 1.04 layout, packed patterns, delta-coded 16-bit samples).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace builder {

// One pattern cell. Zero means "empty" for every field, as in the file.
struct XmCell {
    uint8_t note = 0;        // 1..96 = C-0..B-7, 97 = key off
    uint8_t instrument = 0;  // 1-based
    uint8_t volume = 0;      // volume column byte (0x10..0x50 sets volume 0..64)
    uint8_t effect = 0;
    uint8_t param = 0;
};

constexpr uint8_t XM_KEY_OFF = 97;

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;  // rows * channel count, row-major
};

enum XmLoop : uint8_t { XM_LOOP_NONE = 0, XM_LOOP_FORWARD = 1, XM_LOOP_PINGPONG = 2 };

struct XmSample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t loopStart = 0;   // in sample frames
    uint32_t loopLength = 0;  // in sample frames; 0 with XM_LOOP_NONE
    XmLoop loop = XM_LOOP_NONE;
    uint8_t volume = 64;
    int8_t finetune = 0;      // 1/128 semitone
    int8_t relativeNote = 0;  // semitones relative to C-4 playing at 8363 Hz
    uint8_t panning = 128;
};

struct XmEnvelopePoint {
    uint16_t tick;
    uint16_t value;  // 0..64
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points;  // at most 12; the first at tick 0
    int sustainPoint = -1;                // -1: no sustain
};

struct XmInstrument {
    std::string name;
    XmSample sample;  // every instrument here plays one sample over the whole keyboard
    XmEnvelope volumeEnvelope;
    uint16_t fadeout = 0;  // volume fade speed after key off
    uint8_t vibratoSweep = 0;  // automatic vibrato: ticks to reach full depth,
    uint8_t vibratoDepth = 0;  // depth 0..15,
    uint8_t vibratoRate = 0;   // and speed 0..63 (sine wave)
};

struct XmModule {
    std::string name;
    int channels = 8;  // even, 2..32
    uint16_t speed = 6;
    uint16_t bpm = 125;
    std::vector<uint8_t> orders;  // pattern index per order
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Serialises the module. The output depends only on the input (no clocks, no padding garbage).
std::vector<uint8_t> writeXm(const XmModule& module);

}  // namespace builder
