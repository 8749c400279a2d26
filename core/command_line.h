// The show's command line. The show is configured in its setup dialog; the command line only
// answers --help and --version, and refuses anything else, so a typo is not silently ignored.
#pragma once

namespace core {

// Returns -1 when the show should start (no arguments). Otherwise prints the help, the version
// or a usage error and returns the exit code: 0 for --help and --version, 2 for anything else,
// 1 if the answer could not be written.
int answerCommandLine(int argc, const char* const* argv, const char* version);

} // namespace core
