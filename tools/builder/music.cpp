// The show's module. TEMPORARY: a single quiet tone per order until the composition is written;
// the layout (29 orders of 64 rows, speed 6, 145 BPM) is already the final one.
#include "tools/builder/music.h"

#include <cmath>

#include "tools/builder/xm_writer.h"

namespace builder {

std::vector<uint8_t> buildModule() {
    XmModule m;
    m.name = "tavremon";
    m.channels = 2;
    m.speed = 6;
    m.bpm = 145;
    XmInstrument tone;
    tone.name = "tone";
    tone.sample.name = "sine";
    for (int i = 0; i < 64; ++i)
        tone.sample.data.push_back(static_cast<int16_t>(std::lround(12000.0 * std::sin(i * 6.283185307179586 / 64))));
    tone.sample.loop = XM_LOOP_FORWARD;
    tone.sample.loopLength = 64;
    m.instruments.push_back(tone);
    XmPattern p;
    p.cells.resize(64 * 2);
    p.cells[0] = XmCell{49, 1, 0x30, 0, 0};
    m.patterns.push_back(p);
    m.orders.assign(29, 0);
    return writeXm(m);
}

}  // namespace builder
