#include "assets/file_read.h"

#include <algorithm>

#include "archive/archive.h"

namespace assets {

std::vector<uint8_t> readAssetFile(const char* name, uint32_t limit) {
    std::vector<uint8_t> data;
    archive::readWholeFile(name, data, std::min(limit, maxAssetFileBytes));
    return data;
}

} // namespace assets
