#include "assets/file_read.h"

#include <algorithm>

// Until the archive layer's implementation is in the tree, loose disk files are read directly.
#define TAV_ASSETS_HAVE_ARCHIVE 0
#if TAV_ASSETS_HAVE_ARCHIVE
#include "archive/archive.h"
#else
#include <cstdio>
#endif

namespace assets {

#if TAV_ASSETS_HAVE_ARCHIVE

std::vector<uint8_t> readAssetFile(const char* name, uint32_t limit) {
    std::vector<uint8_t> data;
    archive::ArchiveFile file{};
    archive::assignFile(file, name);
    archive::openFile(file, 1);
    if (archive::takeFileError() != 0) return data;

    auto size = archive::fileSize(file);
    uint64_t wanted = size > 0 ? uint64_t(size) : 0;
    data.resize(std::min<uint64_t>(wanted, limit));
    uint32_t got = 0;
    if (!data.empty()) archive::readBlock(file, data.data(), uint32_t(data.size()), &got);
    data.resize(std::min<uint64_t>(got, data.size()));
    archive::closeFile(file);
    archive::takeFileError();
    return data;
}

#else

// Temporary stand-in until the archive layer is in the tree: loose disk files only.
std::vector<uint8_t> readAssetFile(const char* name, uint32_t limit) {
    std::vector<uint8_t> data;
    std::FILE* file = std::fopen(name, "rb");
    if (!file) return data;
    uint8_t buffer[65536];
    while (data.size() < limit) {
        size_t want = std::min<uint64_t>(sizeof buffer, limit - data.size());
        size_t got = std::fread(buffer, 1, want, file);
        data.insert(data.end(), buffer, buffer + got);
        if (got < want) break;
    }
    std::fclose(file);
    return data;
}

#endif

} // namespace assets
