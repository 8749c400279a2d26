// The show's command line: --help and --version are answered, anything else is a usage error.
// A failed write of the answer is reported in the exit code, never ignored.
#include "core/command_line.h"

#include <cstdio>
#include <cstring>

namespace core {

namespace {

const char USAGE[] =
    "usage: tavremon [--help | --version]\n"
    "Plays the tavremon show: a setup dialog asks for a screen mode, then the show runs\n"
    "in step with its music until the song ends. Esc or closing the window ends it early.\n"
    "  --help       this text\n"
    "  --version    the version number\n";

// A closed or full stdout must not look like a successful answer.
int finish(std::FILE* stream, int code) {
    return std::fflush(stream) != 0 || std::ferror(stream) ? 1 : code;
}

} // namespace

int answerCommandLine(int argc, const char* const* argv, const char* version) {
    if (argc <= 1) return -1;
    const char* argument = argv[1];
    if (argc == 2 && std::strcmp(argument, "--help") == 0) {
        std::fputs(USAGE, stdout);
        return finish(stdout, 0);
    }
    if (argc == 2 && std::strcmp(argument, "--version") == 0) {
        std::printf("tavremon %s\n", version);
        return finish(stdout, 0);
    }
    // Name the first argument that is not understood, or the one too many after a valid one.
    if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "--version") == 0) argument = argv[2];
    std::fprintf(stderr, "tavremon: unexpected argument '%s'\n%s", argument, USAGE);
    return 2;
}

} // namespace core
