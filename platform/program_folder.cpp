// Finds the program's own folder through /proc/self/exe (or the folder of a given file) and makes it
// the working folder. A path that cannot be resolved gives false, never a guess.
#include "platform/program_folder.h"

#include <unistd.h>

#include <climits>
#include <string>

namespace platform {

namespace {

// The kernel's link resolves every symbolic link on the way, so a program started through a
// link (an installed launcher, say) gets the folder of the real file.
bool programFolder(std::string* folder) {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return false;
    folder->assign(path, size_t(length));
    size_t slash = folder->rfind('/');
    if (slash == std::string::npos) return false;
    folder->resize(slash == 0 ? 1 : slash);
    return true;
}

bool holds(const std::string& folder, const char* file) {
    return access((folder + "/" + file).c_str(), R_OK) == 0;
}

} // namespace

bool changeToProgramFolder() {
    std::string folder;
    return programFolder(&folder) && chdir(folder.c_str()) == 0;
}

bool changeToFolderHolding(const char* file, const char* fallback) {
    std::string folder;
    if (!programFolder(&folder)) return false;
    if (!holds(folder, file)) {
        folder += std::string("/") + fallback;
        if (!holds(folder, file)) return false;
    }
    return chdir(folder.c_str()) == 0;
}

} // namespace platform
