// The frame timer every scene reads its clock from: one accumulator of show milliseconds, fed by
// the platform's millisecond clock (real in the window, virtual in the capture tool and tests).
#pragma once
#include <cstdint>

namespace core {

uint32_t timerDelta();                  // ms since the previous call (32-bit wrap-around)
uint32_t timerTicks(uint32_t rate);     // accumulated ms div (1000 div rate); rate 1..1000
void timerRestart();                    // starts the show clock: drops the time since the last call
void resetTimer();                      // back to the initial state (no accumulated time)

} // namespace core
