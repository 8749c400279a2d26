// Split captures: a capture's frames shared among processes (--jobs) or machines (--segment I/N),
// each segment rendered into its own folder with a record of what it holds, and the segments joined
// (--join) into the files one process would have written.
#pragma once
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/capture/contact_sheet.h"
#include "tools/capture/options.h"

namespace capture {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_INTERRUPTED = 130;  // as a shell reports a program ended by Ctrl-C

// Set by the capture's SIGINT/SIGTERM handler: stop rendering, keep what was made.
extern volatile std::sig_atomic_t interrupted;

constexpr const char* TIMELINE_HEADER = "frame,ms,order,row,scene,render_ms\n";
// Set for the processes of a --jobs capture: the descriptor they write one byte to per frame done.
constexpr const char* PROGRESS_FD_VARIABLE = "TAVREMON_CAPTURE_PROGRESS_FD";

// Why the frame loop stopped.
enum class StopReason { Span, ShowEnded, Interrupted };

// Paths on the command line are relative to where the tool was started; the show itself runs in
// the program's folder, where it finds its archive and any loose files beside it.
std::string absolutePath(const std::string& path);
// Creates the folder and its parents as needed.
bool makeFolders(const std::string& path, std::string* error);

// Writes DIR/segment.txt: which part of which capture the segment folder holds, and a line per frame.
bool writeSegmentRecord(const CaptureOptions& options, const FrameSpan& span, uint32_t stop, StopReason reason,
                        const std::vector<FrameRecord>& records, std::string* error);

// --join: the segment folders into --out. Returns the exit code.
int joinCapture(const CaptureOptions& options);
// --jobs N: runs N segments as processes of this program side by side and joins them.
int splitCapture(const CaptureOptions& options);

} // namespace capture
