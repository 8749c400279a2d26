// Whole-file reads for the mesh and texture loaders. The size an archive member claims is never
// trusted on its own: the read is bounded by the member's real size, the caller's limit and 64 MiB,
// and a read that fails or runs out of memory gives what it got (possibly nothing).
#include "assets/file_read.h"

#include <algorithm>
#include <new>

#include "archive/archive.h"

namespace assets {

std::vector<uint8_t> readAssetFile(const char* name, uint32_t limit) {
    std::vector<uint8_t> data;
    archive::ArchiveFile file;
    archive::assignFile(file, name);
    archive::openFile(file, 1);
    if (archive::takeFileError() != 0) return data;

    // One read of the whole file: a deflated member costs its whole prefix again for every read.
    uint32_t got = 0;
    try {
        data.resize(std::min({archive::fileSize(file), archive::fileSizeBound(file), limit, maxAssetFileBytes}));
        if (!data.empty()) archive::readBlock(file, data.data(), uint32_t(data.size()), &got);
    } catch (const std::bad_alloc&) {
        data.clear();
    }
    data.resize(std::min<size_t>(got, data.size()));
    archive::closeFile(file);
    archive::takeFileError();
    return data;
}

} // namespace assets
