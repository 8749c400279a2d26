// Whole-file reads for the mesh and texture loaders. The size an archive member claims is never
// trusted on its own: the read is bounded by the member's real size, the caller's limit and 64 MiB,
// and a read that fails or runs out of memory gives what it got (possibly nothing).
#include "assets/file_read.h"

#include <algorithm>

#include "archive/archive.h"

namespace assets {

std::vector<uint8_t> readAssetFile(const char* name, uint32_t limit) {
    std::vector<uint8_t> data;
    archive::readWholeFile(name, data, std::min(limit, MAX_ASSET_FILE_BYTES));
    return data;
}

} // namespace assets
