// Arbitrary bytes as a ZIP archive: mount it, read every member at pseudo-random offsets, and try
// the first member as a resume index. Nothing may read or write outside its buffers, and no read
// may deliver more than it was asked for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "archive/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::DiskFile memory;
    if (platform::openMemoryFile(memory, data, size) != 0) abort();
    char name[64];
    std::snprintf(name, sizeof name, "/proc/self/fd/%d", memory.descriptor);
    archive::MountedArchive* mounted = archive::mountArchive(name, false);
    platform::closeDiskFile(memory);
    if (!mounted) return 0;

    uint32_t seed = uint32_t(size) * 2654435761u;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    std::vector<uint8_t> buffer(4096 + 16);
    size_t entries = mounted->entries.size() < 32 ? mounted->entries.size() : 32;
    for (size_t i = 0; i < entries; ++i) {
        const char* member = mounted->entries[i].name;
        // Member names that exist on disk would open the disk file instead: leave those alone.
        if (platform::diskNameExists(member)) continue;
        if (i == 0) archive::loadResumeIndex(mounted, member);
        archive::ArchiveFile file;
        archive::assignFile(file, member);
        archive::openFile(file, 1);
        if (archive::takeFileError() != 0) continue;
        uint32_t memberSize = archive::fileSize(file);
        for (int r = 0; r < 4; ++r) {
            uint32_t position = uint32_t(next() % (uint64_t(memberSize) + 1));
            if (r == 0) position = 0;
            uint32_t count = next() % 4097;
            archive::seekFile(file, position);
            buffer[count] = 0x5A;
            uint32_t got = 0;
            archive::readBlock(file, buffer.data(), count, &got);
            if (got > count || buffer[count] != 0x5A) abort();
            if (archive::takeFileError() == 0 && archive::filePosition(file) != position + got) abort();
        }
        archive::seekFile(file, memberSize + 1);
        archive::atEndOfFile(file);
        archive::closeFile(file);
        archive::takeFileError();
    }
    archive::unmountAllArchives();
    archive::takeFileError();
    return 0;
}
