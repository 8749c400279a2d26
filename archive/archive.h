// The file interface every loader reads through: a name is served from an ordinary disk file when
// one exists, otherwise from a member of a mounted ZIP archive (stored, or deflated and decoded by
// inflate.h). Failures leave a numeric code, collected with takeFileError.
#pragma once
#include <cstdint>
#include <vector>

#include "archive/inflate.h"
#include "platform/disk_file.h"

namespace archive {

// Codes of the archive layer; codes below 256 come from the disk-file layer.
constexpr int ZFS_OK = 0;
constexpr int ZFS_FILE_NOT_FOUND = 2;
constexpr int ZFS_FILE_NOT_OPEN = 103;
constexpr int ZFS_NIL_POINTER = 256;
constexpr int ZFS_NO_MEMORY = 257;
constexpr int ZFS_SEEK_OUT_OF_BOUNDS = 258;
constexpr int ZFS_BAD_LOCAL_HEADER = 259;
constexpr int ZFS_NAME_TOO_LONG = 260;
constexpr int ZFS_WRITE_ERROR = 261;
constexpr int ZFS_READ_ERROR = 262;
constexpr int ZFS_BAD_DATA = 263;
constexpr int ZFS_BAD_METHOD = 264;
constexpr int ZFS_BAD_INDEX_SIGNATURE = 265;
constexpr int ZFS_TYPED_FILES = 266;

// One local file header of a mounted archive.
struct ArchiveEntry {
    char name[256] = {}; // as stored, or "archive.ext\stored" with the prefix flag
    uint16_t method = 0; // 0 stored, 8 deflated; anything else fails at read time
    uint32_t dataOffset = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t timeStamp = 0; // DOS date in the high half, DOS time in the low half
    std::vector<ResumePoint> resumePoints;
};

struct MountedArchive {
    char fileName[256] = {};   // as given to mountArchive
    char prefixName[256] = {}; // base name and extension, used for prefixed member names
    platform::DiskFile file;
    bool prefix = false;
    int32_t memberCount = 0;
    std::vector<ArchiveEntry> entries; // in header order
    MountedArchive* next = nullptr;
    uint32_t serial = 0; // tells a live archive from a freed one at the same address
};

// Read state of an open archive member, owned by its ArchiveFile.
struct MemberCursor {
    MountedArchive* archive = nullptr;
    uint32_t archiveSerial = 0;
    uint16_t method = 0;
    uint32_t dataOffset = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t timeStamp = 0;
    uint32_t position = 0; // bytes from the start of the member's uncompressed data
    const std::vector<ResumePoint>* resumePoints = nullptr;
    // A deflated member read in pieces continues from where the last decode stopped: the decoder
    // state at the last block boundary it passed, and the bytes it decoded ahead of the last read.
    ResumePoint boundary;
    bool hasBoundary = false;
    uint32_t aheadStart = 0;
    std::vector<uint8_t> ahead;
};

enum class FileMode : uint8_t { Closed, Disk, Member };

// The handle loaders hold. Plain data: assignFile zero-fills it.
struct ArchiveFile {
    char name[256];
    FileMode mode;
    uint32_t recordSize;
    platform::DiskFile disk;
    MemberCursor* member; // owned while open as a member
    bool isMember;
};

// Mounts a ZIP archive by walking its local headers; nullptr on failure (code in takeFileError).
// A walk fault (259, 260) keeps the archive mounted with the members read before it.
MountedArchive* mountArchive(const char* name, bool prefix);
void unmountArchive(MountedArchive* archive);
void unmountAllArchives();

void assignFile(ArchiveFile& file, const char* name);
void openFile(ArchiveFile& file, uint32_t recordSize);
void readBlock(ArchiveFile& file, void* dest, uint32_t count, uint32_t* read = nullptr);
void seekFile(ArchiveFile& file, uint32_t position);
uint32_t filePosition(const ArchiveFile& file);
uint32_t fileSize(const ArchiveFile& file);
// The most bytes an open file can really deliver, whatever its header claims: a stored member no
// more than its compressed size, a deflated one no more than DEFLATE's best ratio (1032:1) allows,
// a disk file its size. Readers that allocate a whole file up front allocate
// min(fileSize, fileSizeBound), so a forged size cannot make them allocate gigabytes.
uint32_t fileSizeBound(const ArchiveFile& file);
bool atEndOfFile(ArchiveFile& file);
void closeFile(ArchiveFile& file);

// The named file read whole into data (a loose disk file wins over an archive member), no further
// than limit bytes. Returns 0, or the error code, which is also collected so that nothing lingers
// for the next caller; on an error data is left empty. A member whose header claims more than its
// data can hold is refused with ZFS_BAD_DATA, and the buffer grows only as bytes arrive, so a
// forged size never makes it allocate more than the file really has. A disk file that ends
// before its size gives what it has.
int readWholeFile(const char* name, std::vector<uint8_t>& data, uint32_t limit = UINT32_MAX);

// The pending disk-layer code if there is one, else the archive layer's code; clears both.
int takeFileError();
bool fileExists(const char* name);
const char* fileErrorText(int code);

// Attaches the resume points of an "OMZ" seek-index file to the members of an archive.
void loadResumeIndex(MountedArchive* archive, const char* indexName);

} // namespace archive
