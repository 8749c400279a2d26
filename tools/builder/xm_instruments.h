// The show module's instruments, synthesised from sines and noise: no sample files. Every pitched
// instrument is tuned so that note C-4 sounds at 261.63 Hz (A-4 at 440 Hz); drums play at their
// natural speed on C-4.
#pragma once

#include "tools/builder/xm_writer.h"

namespace builder {

XmInstrument makeKick();
XmInstrument makeSnare();      // snare body with a hand-clap layer
XmInstrument makeClosedHat();  // both hats panned right
XmInstrument makeOpenHat();
XmInstrument makeCrash();      // attack plus a looped tail shaped by the envelope
XmInstrument makeBass();       // filter-swept saw, looped steady state
XmInstrument makePad();        // three detuned saws, looped
XmInstrument makeLead();       // two detuned saw/square oscillators, looped, bright
XmInstrument makePluck();      // bright decaying harmonic pluck for arpeggios, panned left
XmInstrument makeRiser();      // looped band noise, raised by portamento in the patterns

// Sets relative note and finetune so that C-4 sounds at 261.63 Hz when the sample data, played
// back at sampleRate frames per second, sounds at fundamentalHz.
void tuneSample(XmSample& sample, double sampleRate, double fundamentalHz);

}  // namespace builder
