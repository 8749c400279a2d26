// XM writer. All multi-byte numbers in the format are little-endian; text fields are fixed-width
// and padded with zero bytes.
#include "tools/builder/xm_writer.h"

#include <algorithm>

namespace builder {
namespace {

// Sizes that trackers read from the file and that must match what follows them.
constexpr uint32_t HEADER_SIZE = 276;             // counted from the header-size field itself
constexpr uint32_t PATTERN_HEADER_SIZE = 9;
constexpr uint32_t INSTRUMENT_HEADER_SIZE = 263;  // FastTracker 2 pads to this size
constexpr uint32_t SAMPLE_HEADER_SIZE = 40;
constexpr int MAX_ENVELOPE_POINTS = 12;

void put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }

void put16(std::vector<uint8_t>& out, uint32_t v) {
    put8(out, v & 0xFF);
    put8(out, (v >> 8) & 0xFF);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
    for (size_t i = 0; i < width; ++i) put8(out, i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

void putZeros(std::vector<uint8_t>& out, size_t count) { out.insert(out.end(), count, 0); }

void writeHeader(std::vector<uint8_t>& out, const XmModule& m) {
    putText(out, "Extended Module: ", 17);
    putText(out, m.name, 20);
    put8(out, 0x1A);
    putText(out, "tavremon builder", 20);
    put16(out, 0x0104);
    put32(out, HEADER_SIZE);
    put16(out, static_cast<uint32_t>(std::min<size_t>(m.orders.size(), 256)));  // the table holds 256
    put16(out, 0);  // restart position
    put16(out, static_cast<uint32_t>(m.channels));
    put16(out, static_cast<uint32_t>(m.patterns.size()));
    put16(out, static_cast<uint32_t>(m.instruments.size()));
    put16(out, 1);  // linear frequency table: relative note and finetune tune the samples
    put16(out, m.speed);
    put16(out, m.bpm);
    for (size_t i = 0; i < 256; ++i) put8(out, i < m.orders.size() ? m.orders[i] : 0);
}

// A cell with every field set is stored as five plain bytes; any other cell starts with a flag
// byte (high bit set) telling which fields follow. An empty cell costs one byte.
void packCell(std::vector<uint8_t>& out, const XmCell& c) {
    if (c.note && c.instrument && c.volume && c.effect && c.param) {
        for (uint8_t b : {c.note, c.instrument, c.volume, c.effect, c.param}) put8(out, b);
        return;
    }
    uint8_t flags = 0x80;
    if (c.note) flags |= 0x01;
    if (c.instrument) flags |= 0x02;
    if (c.volume) flags |= 0x04;
    if (c.effect) flags |= 0x08;
    if (c.param) flags |= 0x10;
    put8(out, flags);
    if (c.note) put8(out, c.note);
    if (c.instrument) put8(out, c.instrument);
    if (c.volume) put8(out, c.volume);
    if (c.effect) put8(out, c.effect);
    if (c.param) put8(out, c.param);
}

void writePattern(std::vector<uint8_t>& out, const XmPattern& p, int channels) {
    std::vector<uint8_t> packed;
    for (int row = 0; row < p.rows; ++row) {
        for (int ch = 0; ch < channels; ++ch) {
            size_t index = static_cast<size_t>(row) * channels + ch;
            packCell(packed, index < p.cells.size() ? p.cells[index] : XmCell{});
        }
    }
    put32(out, PATTERN_HEADER_SIZE);
    put8(out, 0);  // packing type
    put16(out, static_cast<uint32_t>(p.rows));
    put16(out, static_cast<uint32_t>(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
}

void writeEnvelope(std::vector<uint8_t>& out, const XmEnvelope& e) {
    int count = std::min<int>(static_cast<int>(e.points.size()), MAX_ENVELOPE_POINTS);
    for (int i = 0; i < MAX_ENVELOPE_POINTS; ++i) {
        put16(out, i < count ? e.points[i].tick : 0);
        put16(out, i < count ? e.points[i].value : 0);
    }
}

uint8_t envelopeType(const XmEnvelope& e) {
    if (e.points.empty()) return 0;
    return e.sustainPoint >= 0 ? 0x03 : 0x01;  // bit 0 on, bit 1 sustain
}

void writeInstrument(std::vector<uint8_t>& out, const XmInstrument& ins) {
    const XmEnvelope& vol = ins.volumeEnvelope;
    size_t start = out.size();
    put32(out, INSTRUMENT_HEADER_SIZE);
    putText(out, ins.name, 22);
    put8(out, 0);  // instrument type
    put16(out, 1);  // one sample
    put32(out, SAMPLE_HEADER_SIZE);
    putZeros(out, 96);  // every key plays sample 0
    writeEnvelope(out, vol);
    writeEnvelope(out, XmEnvelope{});  // no panning envelope
    put8(out, static_cast<uint32_t>(std::min<size_t>(vol.points.size(), MAX_ENVELOPE_POINTS)));
    put8(out, 0);
    put8(out, vol.sustainPoint >= 0 ? static_cast<uint32_t>(vol.sustainPoint) : 0);
    put8(out, 0);  // volume loop start
    put8(out, 0);  // volume loop end
    put8(out, 0);  // panning sustain
    put8(out, 0);  // panning loop start
    put8(out, 0);  // panning loop end
    put8(out, envelopeType(vol));
    put8(out, 0);  // panning envelope type
    put8(out, 0);  // vibrato type
    put8(out, ins.vibratoSweep);
    put8(out, ins.vibratoDepth);
    put8(out, ins.vibratoRate);
    put16(out, ins.fadeout);
    putZeros(out, start + INSTRUMENT_HEADER_SIZE - out.size());

    const XmSample& s = ins.sample;
    uint32_t bytes = static_cast<uint32_t>(s.data.size() * 2);
    bool looped = s.loop != XM_LOOP_NONE && s.loopLength > 0;
    put32(out, bytes);
    put32(out, looped ? s.loopStart * 2 : 0);
    put32(out, looped ? s.loopLength * 2 : 0);
    put8(out, s.volume);
    put8(out, static_cast<uint8_t>(s.finetune));
    put8(out, (looped ? s.loop : 0) | 0x10);  // bit 4: 16-bit data
    put8(out, s.panning);
    put8(out, static_cast<uint8_t>(s.relativeNote));
    put8(out, 0);
    putText(out, s.name, 22);

    // Sample data is stored as differences between neighbours, which is what lets plain
    // compressors shrink it; the difference wraps in 16 bits.
    int16_t previous = 0;
    for (int16_t v : s.data) {
        put16(out, static_cast<uint16_t>(v - previous));
        previous = v;
    }
}

}  // namespace

std::vector<uint8_t> writeXm(const XmModule& module) {
    std::vector<uint8_t> out;
    writeHeader(out, module);
    for (const XmPattern& p : module.patterns) writePattern(out, p, module.channels);
    for (const XmInstrument& ins : module.instruments) writeInstrument(out, ins);
    return out;
}

}  // namespace builder
