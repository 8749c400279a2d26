#include "platform/program_folder.h"

#include <unistd.h>

#include <climits>
#include <string>

namespace platform {

bool changeToProgramFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return false;
    std::string folder(path, size_t(length));
    size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return false;
    folder.resize(slash == 0 ? 1 : slash);
    return chdir(folder.c_str()) == 0;
}

} // namespace platform
