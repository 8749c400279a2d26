// The capture loop: the show's own start-up and per-frame code on a headless GL context with a
// virtual clock (frame i at i × 1000 / fps ms) and the music rendered offline up to each frame's
// moment, writing the pictures, the audio, the timeline and, if asked, a video and a contact sheet.
#pragma once

#include "tools/capture/options.h"

namespace capture {

// Runs the capture the options describe. Returns the process exit code: 0 when everything was
// written, 1 on any failure (said on stderr).
int runCapture(const CaptureOptions& options);

} // namespace capture
