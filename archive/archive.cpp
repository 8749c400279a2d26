// Archive directory and file interface: mounting ZIP archives by their local headers, name lookup,
// and the file-style operations over loose disk files and archive members.
//
// The member directory comes from the local headers. Only a member written by a streaming tool
// (flag bit 3: sizes and CRC in a data descriptor after the data, zeros in the header) takes its
// sizes from the central directory, which must then agree with its local header and descriptor.
#include "archive/archive.h"

#include <cstring>
#include <new>
#include <string>

namespace archive {

namespace {

int lastArchiveError = 0;
MountedArchive* mountList = nullptr; // in mount order; lookups walk it front to back
uint32_t nextSerial = 1;

constexpr uint32_t LOCAL_HEADER_SIGNATURE = 0x04034B50;
constexpr uint32_t CENTRAL_HEADER_SIGNATURE = 0x02014B50;
constexpr uint32_t END_RECORD_SIGNATURE = 0x06054B50;
constexpr uint32_t DESCRIPTOR_SIGNATURE = 0x08074B50;
constexpr uint32_t LOCAL_HEADER_REST = 26; // local header bytes after the signature
constexpr uint32_t CENTRAL_HEADER_SIZE = 46;
constexpr uint32_t END_RECORD_SIZE = 22;
constexpr uint32_t MAX_COMMENT = 65535;
constexpr uint16_t FLAG_DATA_DESCRIPTOR = 1u << 3;
constexpr uint32_t MAX_NAME = 255;

uint16_t read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t read32(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Copies at most 255 bytes of text into a 256-byte name buffer.
void copyName(char* dest, const char* text, size_t length) {
    if (length > MAX_NAME) length = MAX_NAME;
    std::memcpy(dest, text, length);
    dest[length] = '\0';
}

// Member names match after "/" becomes "\" and ASCII letters become capitals; nothing else.
char normalizeMemberChar(char c) {
    if (c == '/') return '\\';
    if (c >= 'a' && c <= 'z') return char(c - 'a' + 'A');
    return c;
}

bool memberNamesMatch(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (normalizeMemberChar(*a) != normalizeMemberChar(*b)) return false;
        if (*a == '\0') return true;
    }
}

ArchiveEntry* findEntry(MountedArchive& archive, const char* name) {
    for (ArchiveEntry& entry : archive.entries)
        if (memberNamesMatch(entry.name, name)) return &entry;
    return nullptr;
}

ArchiveEntry* findMember(const char* name, MountedArchive** owner) {
    for (MountedArchive* archive = mountList; archive; archive = archive->next) {
        if (ArchiveEntry* entry = findEntry(*archive, name)) {
            if (owner) *owner = archive;
            return entry;
        }
    }
    return nullptr;
}

bool isMounted(const MountedArchive* archive) {
    for (MountedArchive* a = mountList; a; a = a->next)
        if (a == archive) return true;
    return false;
}

// The archive a member cursor reads from, or null once that archive has been unmounted.
MountedArchive* cursorArchive(const MemberCursor& cursor) {
    for (MountedArchive* a = mountList; a; a = a->next)
        if (a == cursor.archive && a->serial == cursor.archiveSerial) return a;
    return nullptr;
}

// Reads exactly n bytes at offset; false when the file ends first or cannot be read.
bool readExactly(platform::DiskFile file, uint64_t offset, void* dest, uint32_t n) {
    file.position = offset;
    uint64_t got = 0;
    return platform::readDiskFile(file, dest, n, &got) == 0 && got == n;
}

// What the central directory says about one member.
struct DirectoryRecord {
    uint32_t localOffset = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    std::string name;
};

// Reads the central directory through the end-of-central-directory record, which is looked for
// backwards from the end of the file, no further than the record and the longest comment. False
// when there is no such record or the directory it points to is not all there.
bool readCentralDirectory(platform::DiskFile file, std::vector<DirectoryRecord>& records) {
    uint64_t fileBytes = 0;
    if (platform::diskFileSize(file, &fileBytes) != 0 || fileBytes < END_RECORD_SIZE) return false;
    uint64_t tailStart = fileBytes > END_RECORD_SIZE + MAX_COMMENT ? fileBytes - END_RECORD_SIZE - MAX_COMMENT : 0;
    std::vector<uint8_t> tail(size_t(fileBytes - tailStart));
    if (!readExactly(file, tailStart, tail.data(), uint32_t(tail.size()))) return false;
    const uint8_t* end = nullptr;
    for (size_t at = tail.size() - END_RECORD_SIZE + 1; at-- > 0;) {
        const uint8_t* p = tail.data() + at;
        if (read32(p) == END_RECORD_SIGNATURE && at + END_RECORD_SIZE + read16(p + 20) <= tail.size()) {
            end = p;
            break;
        }
    }
    if (!end) return false;
    uint32_t count = read16(end + 10);
    uint32_t size = read32(end + 12);
    uint32_t start = read32(end + 16);
    if (uint64_t(start) + size > tailStart + uint64_t(end - tail.data())) return false;
    std::vector<uint8_t> directory(size);
    if (!readExactly(file, start, directory.data(), size)) return false;
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - at < CENTRAL_HEADER_SIZE) return false;
        const uint8_t* p = directory.data() + at;
        if (read32(p) != CENTRAL_HEADER_SIGNATURE) return false;
        size_t nameLength = read16(p + 28);
        size_t recordLength = CENTRAL_HEADER_SIZE + nameLength + read16(p + 30) + read16(p + 32);
        if (size - at < recordLength) return false;
        DirectoryRecord& record = records.emplace_back();
        record.method = read16(p + 10);
        record.crc = read32(p + 16);
        record.compressedSize = read32(p + 20);
        record.uncompressedSize = read32(p + 24);
        record.localOffset = read32(p + 42);
        record.name.assign(reinterpret_cast<const char*>(p + CENTRAL_HEADER_SIZE), nameLength);
        at += recordLength;
    }
    return true;
}

// The sizes of a member whose local header at offset defers them to a data descriptor, taken from
// the central directory (read on first need). The directory's record must name the same member
// with the same method, and the descriptor after the data must repeat its CRC and sizes; anything
// else is a damaged archive. Sets the size of the descriptor; false when the archive is damaged.
bool deferredSizes(MountedArchive& archive, std::vector<DirectoryRecord>& directory, bool& directoryRead,
                   uint64_t offset, const char* name, uint16_t method, uint64_t dataOffset,
                   uint32_t& compressedSize, uint32_t& uncompressedSize, uint32_t& descriptorSize) {
    if (!directoryRead) {
        directoryRead = true;
        try {
            if (!readCentralDirectory(archive.file, directory)) directory.clear();
        } catch (const std::bad_alloc&) {
            directory.clear();
        }
    }
    const DirectoryRecord* record = nullptr;
    for (const DirectoryRecord& r : directory)
        if (r.localOffset == offset) record = &r;
    if (!record || record->name != name || record->method != method) return false;
    // A header may repeat the sizes instead of zeros; then they must be the same.
    if ((compressedSize != 0 && compressedSize != record->compressedSize) ||
        (uncompressedSize != 0 && uncompressedSize != record->uncompressedSize))
        return false;
    compressedSize = record->compressedSize;
    uncompressedSize = record->uncompressedSize;
    // The descriptor: CRC, compressed size, uncompressed size, with or without a signature.
    uint8_t descriptor[16];
    uint64_t at = dataOffset + compressedSize;
    bool whole = readExactly(archive.file, at, descriptor, 16);
    if (!whole && !readExactly(archive.file, at, descriptor, 12)) return false;
    auto repeats = [&](const uint8_t* p) {
        return read32(p) == record->crc && read32(p + 4) == compressedSize && read32(p + 8) == uncompressedSize;
    };
    if (whole && read32(descriptor) == DESCRIPTOR_SIGNATURE && repeats(descriptor + 4)) descriptorSize = 16;
    else if (repeats(descriptor)) descriptorSize = 12;
    else return false;
    return true;
}

// Walks the local headers from the start of the file and fills the member directory. Ends at the
// first central-directory header, or with 259/260 at a record that is not a sound local header.
int walkLocalHeaders(MountedArchive& archive) {
    std::vector<DirectoryRecord> directory;
    bool directoryRead = false;
    uint64_t offset = 0;
    for (;;) {
        uint8_t header[4 + LOCAL_HEADER_REST];
        if (offset > UINT32_MAX || !readExactly(archive.file, offset, header, 4)) return ZFS_BAD_LOCAL_HEADER;
        uint32_t signature = read32(header);
        if (signature == CENTRAL_HEADER_SIGNATURE) return ZFS_OK;
        if (signature != LOCAL_HEADER_SIGNATURE) return ZFS_BAD_LOCAL_HEADER;
        if (!readExactly(archive.file, offset + 4, header + 4, LOCAL_HEADER_REST)) return ZFS_BAD_LOCAL_HEADER;
        uint16_t method = read16(header + 8);
        uint32_t timeStamp = uint32_t(read16(header + 12)) << 16 | read16(header + 10);
        uint32_t compressedSize = read32(header + 18);
        uint32_t uncompressedSize = read32(header + 22);
        uint32_t nameLength = read16(header + 26);
        uint32_t extraLength = read16(header + 28);
        if (nameLength > MAX_NAME) return ZFS_NAME_TOO_LONG;
        char storedName[MAX_NAME + 1];
        if (!readExactly(archive.file, offset + 30, storedName, nameLength)) return ZFS_BAD_LOCAL_HEADER;
        storedName[nameLength] = '\0';
        if (extraLength > MAX_NAME) return ZFS_NAME_TOO_LONG;
        uint8_t extra[MAX_NAME];
        if (!readExactly(archive.file, offset + 30 + nameLength, extra, extraLength)) return ZFS_BAD_LOCAL_HEADER;
        uint64_t dataOffset = offset + 30 + nameLength + extraLength;
        if (dataOffset > UINT32_MAX) return ZFS_BAD_LOCAL_HEADER;
        uint32_t descriptorSize = 0;
        if ((read16(header + 6) & FLAG_DATA_DESCRIPTOR) &&
            !deferredSizes(archive, directory, directoryRead, offset, storedName, method, dataOffset, compressedSize,
                           uncompressedSize, descriptorSize))
            return ZFS_BAD_LOCAL_HEADER;

        ++archive.memberCount;
        try {
            ArchiveEntry& entry = archive.entries.emplace_back();
            if (archive.prefix) {
                char prefixed[2 * (MAX_NAME + 1)];
                size_t prefixLength = std::strlen(archive.prefixName);
                std::memcpy(prefixed, archive.prefixName, prefixLength);
                prefixed[prefixLength] = '\\';
                std::memcpy(prefixed + prefixLength + 1, storedName, nameLength);
                copyName(entry.name, prefixed, prefixLength + 1 + nameLength);
            } else {
                copyName(entry.name, storedName, nameLength);
            }
            entry.method = method;
            entry.dataOffset = uint32_t(dataOffset);
            entry.compressedSize = compressedSize;
            entry.uncompressedSize = uncompressedSize;
            entry.timeStamp = timeStamp;
        } catch (const std::bad_alloc&) {
            // No room for the entry: the member is skipped and the walk goes on.
        }
        offset = dataOffset + compressedSize + descriptorSize;
    }
}

void unlinkArchive(MountedArchive* archive) {
    for (MountedArchive** link = &mountList; *link; link = &(*link)->next) {
        if (*link == archive) {
            *link = archive->next;
            return;
        }
    }
}

void releaseArchive(MountedArchive* archive) {
    unlinkArchive(archive);
    platform::closeDiskFile(archive->file);
    platform::takeDiskError(); // a failed close of a read-only archive loses nothing
    delete archive;
}

int inflateStatusCode(int status) {
    switch (status) {
    case INFLATE_BAD_METHOD: return ZFS_BAD_METHOD;
    case INFLATE_BAD_DATA: return ZFS_BAD_DATA;
    case INFLATE_NO_INPUT: return ZFS_READ_ERROR;
    case INFLATE_WRITE_ERROR: return ZFS_WRITE_ERROR;
    default: return status;
    }
}

// The resume point to decode from for a read at position: of the index's points the one with the
// largest output offset below it (the first of equals), or the cursor's own boundary when that
// lies at least as far on; or none.
const ResumePoint* pickResumePoint(const MemberCursor& cursor, uint32_t position) {
    const ResumePoint* best = nullptr;
    if (cursor.resumePoints) {
        for (const ResumePoint& point : *cursor.resumePoints)
            if (point.uncompressedOffset < position && (!best || point.uncompressedOffset > best->uncompressedOffset))
                best = &point;
    }
    const ResumePoint& own = cursor.boundary;
    if (cursor.hasBoundary && own.uncompressedOffset <= position &&
        (!best || uint64_t(own.uncompressedOffset) + own.windowPosition >=
                      uint64_t(best->uncompressedOffset) + best->windowPosition))
        best = &own;
    return best;
}

// Bytes a deflated read decodes past what it was asked for, kept for the reads that follow.
constexpr uint32_t READ_AHEAD = 64 * 1024;

// Reads up to n bytes of a member at its cursor position into dest. Returns the bytes delivered;
// failures go to lastArchiveError and leave the position where it was.
uint32_t readMember(MemberCursor& cursor, MountedArchive& archive, uint8_t* dest, uint64_t n) {
    uint32_t position = cursor.position;
    if (position >= cursor.uncompressedSize) return 0;
    if (n > cursor.uncompressedSize - position) n = cursor.uncompressedSize - position;
    uint32_t wanted = uint32_t(n);

    if (cursor.method == 0) {
        // Straight from the archive file. The member's data must all be there: an archive cut
        // short inside a member is a failed read, not a short one.
        platform::DiskFile file = archive.file;
        file.position = uint64_t(cursor.dataOffset) + position;
        uint64_t got = 0;
        int code = platform::readDiskFile(file, dest, wanted, &got);
        if (code == 0 && got < wanted) code = platform::DISK_READ_ERROR;
        if (code != 0) {
            lastArchiveError = code;
            return 0;
        }
        cursor.position = position + wanted;
        return wanted;
    }
    if (cursor.method != 8) {
        lastArchiveError = ZFS_BAD_METHOD;
        return 0;
    }

    if (position >= cursor.aheadStart && position - cursor.aheadStart <= cursor.ahead.size() &&
        cursor.ahead.size() - (position - cursor.aheadStart) >= wanted) {
        std::memcpy(dest, cursor.ahead.data() + (position - cursor.aheadStart), wanted);
        cursor.position = position + wanted;
        return wanted;
    }

    // Small reads decode ahead into the cursor; a large one goes straight to its destination.
    OutputRequest request;
    request.start = position;
    request.length = wanted;
    request.destination = dest;
    uint32_t ahead = cursor.uncompressedSize - position < READ_AHEAD ? cursor.uncompressedSize - position : READ_AHEAD;
    cursor.ahead.clear();
    if (wanted < ahead) {
        try {
            cursor.ahead.resize(ahead);
            request.length = ahead;
            request.destination = cursor.ahead.data();
        } catch (const std::bad_alloc&) {
            cursor.ahead.clear();
        }
    }
    // The cursor's boundary is applied before the decode saves a new one into it.
    request.boundary = &cursor.boundary;
    int status = inflateMember(archive.file, cursor.dataOffset, cursor.compressedSize, cursor.method,
                               pickResumePoint(cursor, position), request);
    cursor.hasBoundary = cursor.hasBoundary || request.boundaryReached;
    // A stream that ends before the size its header gives is as broken as a corrupt one; bytes
    // decoded ahead of the read and then not there fail only the read that needs them.
    if (request.delivered < wanted) {
        cursor.ahead.clear();
        lastArchiveError = inflateStatusCode(status == INFLATE_OK ? INFLATE_BAD_DATA : status);
        return 0;
    }
    if (!cursor.ahead.empty()) {
        cursor.ahead.resize(request.delivered);
        cursor.aheadStart = position;
        std::memcpy(dest, cursor.ahead.data(), wanted);
    }
    cursor.position = position + wanted;
    return wanted;
}

// Parses the resume points of one index record into points; returns false at a cut-off record.
bool parseResumePoints(const uint8_t* data, size_t size, size_t& at, std::vector<ResumePoint>& points) {
    for (;;) {
        if (at >= size) return true;
        if (data[at] == 255) {
            ++at;
            return true;
        }
        if (size - at < 16) return false;
        ResumePoint point;
        point.compressedOffset = read32(data + at);
        point.uncompressedOffset = read32(data + at + 4);
        point.bitState = read32(data + at + 8);
        point.windowPosition = read16(data + at + 12);
        uint32_t windowLength = read16(data + at + 14);
        at += 16;
        if (size - at < windowLength) return false;
        point.windowData.assign(data + at, data + at + windowLength);
        at += windowLength;
        if (resumePointIsSound(point)) points.push_back(std::move(point));
    }
}

void attachResumePoints(MountedArchive& archive, const uint8_t* data, size_t size) {
    size_t at = 3;
    while (at < size) {
        uint32_t nameLength = data[at++];
        if (size - at < nameLength) return;
        char name[MAX_NAME + 1];
        copyName(name, reinterpret_cast<const char*>(data + at), nameLength);
        at += nameLength;
        std::vector<ResumePoint> points;
        bool whole = parseResumePoints(data, size, at, points);
        if (ArchiveEntry* entry = findEntry(archive, name)) {
            for (ResumePoint& point : points) {
                bool known = false;
                for (const ResumePoint& attached : entry->resumePoints)
                    known = known || attached.compressedOffset == point.compressedOffset;
                if (!known) entry->resumePoints.push_back(std::move(point));
            }
        }
        if (!whole) return;
    }
}

struct ErrorText {
    int code;
    const char* text;
};

constexpr ErrorText ERROR_TEXTS[] = {
    {0, "O.K."},
    {1, "Invalid function number"},
    {2, "File not found"},
    {3, "Path not found"},
    {4, "Too many open files (no handles left)"},
    {5, "Access denied (file was opened Read Only)"},
    {6, "Invalid handle"},
    {7, "Memory control blocks destroyed"},
    {8, "Insufficient memory"},
    {9, "Invalid memory block address"},
    {10, "Invalid environment"},
    {11, "Invalid format"},
    {12, "Invalid access code"},
    {13, "Invalid data"},
    {15, "Invalid drive was specified"},
    {16, "Attempt to remove current directory"},
    {17, "Not same device"},
    {18, "No more files"},
    {19, "Attempt to write on write-protected diskette"},
    {20, "Unknown unit"},
    {21, "Drive not ready"},
    {22, "Unknown command"},
    {23, "Data error (CRC)"},
    {24, "Bad request structure length"},
    {25, "Seek error"},
    {26, "Unknown media type"},
    {27, "Sector not found"},
    {28, "Printer out of paper"},
    {29, "Write fault"},
    {30, "Read fault"},
    {31, "General failure"},
    {32, "Sharing violation"},
    {33, "Lock violation"},
    {34, "Invalid disk change"},
    {35, "FCB unavailable"},
    {36, "Sharing buffer overflow"},
    {50, "Network request not supported"},
    {51, "Remote computer not listening"},
    {52, "Duplicate name on network"},
    {53, "Network name not found"},
    {54, "Network busy"},
    {55, "Network device no longer exists"},
    {56, "Net BIOS command limit exceeded"},
    {57, "Network adapter hardware error"},
    {58, "Incorrect response from network"},
    {59, "Unexpected network error"},
    {60, "Incompatible remote adapter"},
    {61, "Print queue full"},
    {62, "Not enough space for print file"},
    {63, "Print file was deleted"},
    {65, "Access denied"},
    {66, "Network device type incorrect"},
    {67, "Network name not found"},
    {68, "Network name limit exceeded"},
    {69, "Net BIOS session limit exceeded"},
    {70, "Temporarily paused"},
    {71, "Network request not accepted"},
    {72, "Print or disk redirection is paused"},
    {80, "File exists"},
    {82, "Cannot make directory entry"},
    {83, "Fail on INT 24"},
    {84, "Too many redirections"},
    {85, "Duplicate redirection"},
    {86, "Invalid password"},
    {87, "Invalid parameter"},
    {88, "Network device fault"},
    {100, "Disk read error"},
    {101, "Disk write error"},
    {102, "File not assigned"},
    {103, "File not open"},
    {104, "File not open for input"},
    {105, "File not open for output"},
    {106, "Invalid numeric format"},
    {150, "Disk is write-protected"},
    {151, "Bad drive request struct length"},
    {152, "Drive not ready"},
    {154, "CRC error in data"},
    {156, "Disk seek error"},
    {157, "Unknown media type"},
    {158, "Sector Not Found"},
    {159, "Printer out of paper"},
    {160, "Device write fault"},
    {161, "Device read fault"},
    {162, "Hardware failure"},
    {200, "Division by zero"},
    {201, "Range check error"},
    {202, "Stack overflow error"},
    {203, "Heap overflow error"},
    {204, "Invalid pointer operation"},
    {205, "Floating point overflow"},
    {206, "Floating point underflow"},
    {207, "Invalid floating point operation"},
    {208, "Overlay manager not installed"},
    {209, "Overlay file read error"},
    {210, "Object not initialized"},
    {211, "Call to abstract method"},
    {212, "Stream registration error"},
    {213, "Collection index out of range"},
    {214, "Collection overflow error"},
    {215, "Arithmetic overflow error"},
    {216, "General Protection fault"},
    {ZFS_NIL_POINTER, "Unable to dipose pointer (it's NIL)"},
    {ZFS_NO_MEMORY, "Error allocating a new pointer (Not enough mem?)"},
    {ZFS_SEEK_OUT_OF_BOUNDS, "Error seeking a packed file : Out of boundaries"},
    {ZFS_BAD_LOCAL_HEADER, "Missing or invalid local file header in ZIP file"},
    {ZFS_NAME_TOO_LONG, "Error reading zip local file header (too long file name)"},
    {ZFS_WRITE_ERROR, "Write error while uncompressing"},
    {ZFS_READ_ERROR, "Read error while uncompressing"},
    {ZFS_BAD_DATA, "Error in ZIP file"},
    {ZFS_BAD_METHOD, "Compression method not supported"},
    {ZFS_BAD_INDEX_SIGNATURE, "Wrong seeking optimization file signature (OMZ)"},
    {ZFS_TYPED_FILES, "The ZFS reset function for typed files have a bug (see docs)"},
};

} // namespace

MountedArchive* mountArchive(const char* name, bool prefix) {
    lastArchiveError = ZFS_OK;
    MountedArchive* archive = new (std::nothrow) MountedArchive;
    if (!archive) {
        lastArchiveError = ZFS_NO_MEMORY;
        return nullptr;
    }
    int code = platform::openDiskFile(archive->file, name, 1, platform::DiskAccess::ReadOnly);
    if (code != 0) {
        lastArchiveError = code;
        delete archive;
        return nullptr;
    }
    size_t nameLength = std::strlen(name);
    copyName(archive->fileName, name, nameLength);
    const char* slash = std::strrchr(name, '/');
    const char* baseName = slash ? slash + 1 : name;
    copyName(archive->prefixName, baseName, std::strlen(baseName));
    archive->prefix = prefix;
    archive->memberCount = 0;
    archive->serial = nextSerial++;

    MountedArchive** link = &mountList;
    while (*link) link = &(*link)->next;
    *link = archive;

    lastArchiveError = walkLocalHeaders(*archive);
    return archive;
}

void unmountArchive(MountedArchive* archive) {
    lastArchiveError = ZFS_OK;
    // Only archives on the mount list are released: anything else is nothing we could free.
    if (!archive || !isMounted(archive)) {
        lastArchiveError = ZFS_NIL_POINTER;
        return;
    }
    releaseArchive(archive);
}

void unmountAllArchives() {
    lastArchiveError = ZFS_OK;
    while (mountList) releaseArchive(mountList);
}

void assignFile(ArchiveFile& file, const char* name) {
    file = ArchiveFile{};
    file.mode = FileMode::Closed;
    copyName(file.name, name, std::strlen(name));
}

void openFile(ArchiveFile& file, uint32_t recordSize) {
    lastArchiveError = ZFS_OK;
    if (recordSize == 0) recordSize = 1; // no record size could divide by zero later
    if (file.mode == FileMode::Member) {
        delete file.member;
        file.member = nullptr;
    } else if (file.mode == FileMode::Disk) {
        platform::closeDiskFile(file.disk);
    }
    file.mode = FileMode::Closed;

    // A loose file of the same name wins over an archive member. The system never writes through
    // this interface, so it is opened read-only.
    if (platform::isRegularDiskFile(file.name)) {
        int code = platform::openDiskFile(file.disk, file.name, recordSize, platform::DiskAccess::ReadOnly);
        if (code != 0) {
            lastArchiveError = code;
            return;
        }
        file.mode = FileMode::Disk;
        file.recordSize = recordSize;
        file.isMember = false;
        file.member = nullptr;
        return;
    }

    MountedArchive* archive = nullptr;
    ArchiveEntry* entry = findMember(file.name, &archive);
    if (!entry) {
        lastArchiveError = ZFS_FILE_NOT_FOUND;
        return;
    }
    MemberCursor* cursor = new (std::nothrow) MemberCursor;
    if (!cursor) {
        lastArchiveError = ZFS_NO_MEMORY;
        return;
    }
    cursor->archive = archive;
    cursor->archiveSerial = archive->serial;
    cursor->method = entry->method;
    cursor->dataOffset = entry->dataOffset;
    cursor->compressedSize = entry->compressedSize;
    cursor->uncompressedSize = entry->uncompressedSize;
    cursor->timeStamp = entry->timeStamp;
    cursor->position = 0;
    cursor->resumePoints = &entry->resumePoints;

    char name[MAX_NAME + 1];
    std::memcpy(name, file.name, sizeof name);
    file = ArchiveFile{};
    std::memcpy(file.name, name, sizeof name);
    file.mode = FileMode::Member;
    file.recordSize = recordSize;
    file.member = cursor;
    file.isMember = true;
}

void readBlock(ArchiveFile& file, void* dest, uint32_t count, uint32_t* read) {
    lastArchiveError = ZFS_OK;
    if (read) *read = 0;
    if (count == 0) return;
    if (file.mode == FileMode::Disk) {
        uint64_t records = 0;
        int code = platform::readDiskFile(file.disk, dest, count, &records);
        if (code != 0) lastArchiveError = code;
        if (read) *read = uint32_t(records);
        return;
    }
    MountedArchive* archive = file.mode == FileMode::Member ? cursorArchive(*file.member) : nullptr;
    if (!archive) {
        lastArchiveError = ZFS_FILE_NOT_OPEN;
        return;
    }
    uint32_t recordSize = file.recordSize == 0 ? 1 : file.recordSize;
    uint32_t bytes = readMember(*file.member, *archive, static_cast<uint8_t*>(dest), uint64_t(count) * recordSize);
    if (read) *read = bytes / recordSize;
}

void seekFile(ArchiveFile& file, uint32_t position) {
    lastArchiveError = ZFS_OK;
    if (file.mode == FileMode::Disk) {
        int code = platform::seekDiskFile(file.disk, position);
        if (code != 0) lastArchiveError = code;
        return;
    }
    if (file.mode != FileMode::Member || !cursorArchive(*file.member)) {
        lastArchiveError = ZFS_FILE_NOT_OPEN;
        return;
    }
    if (position > file.member->uncompressedSize) {
        lastArchiveError = ZFS_SEEK_OUT_OF_BOUNDS;
        return;
    }
    file.member->position = position;
}

uint32_t filePosition(const ArchiveFile& file) {
    if (file.mode == FileMode::Member) return file.member->position;
    if (file.mode == FileMode::Disk) return uint32_t(platform::diskFilePosition(file.disk));
    return 0;
}

uint32_t fileSize(const ArchiveFile& file) {
    if (file.mode == FileMode::Member)
        return file.member->uncompressedSize / (file.recordSize == 0 ? 1 : file.recordSize);
    if (file.mode == FileMode::Disk) {
        uint64_t records = 0;
        platform::diskFileSize(file.disk, &records);
        return records > UINT32_MAX ? UINT32_MAX : uint32_t(records);
    }
    return 0;
}

uint32_t fileSizeBound(const ArchiveFile& file) {
    if (file.mode != FileMode::Member) return fileSize(file);
    const MemberCursor& m = *file.member;
    // The compressed bytes the archive file really holds for this member.
    uint64_t stored = 0;
    if (const MountedArchive* archive = cursorArchive(m)) {
        uint64_t archiveBytes = 0;
        platform::diskFileSize(archive->file, &archiveBytes);
        if (archiveBytes > m.dataOffset) stored = archiveBytes - m.dataOffset;
    }
    if (stored > m.compressedSize) stored = m.compressedSize;
    uint64_t bound = m.method == 0 ? stored : stored * 1032u + 1032u;
    uint64_t bytes = bound < m.uncompressedSize ? bound : m.uncompressedSize;
    return uint32_t(bytes / (file.recordSize == 0 ? 1 : file.recordSize));
}

bool atEndOfFile(ArchiveFile& file) {
    if (file.mode == FileMode::Member) return file.member->position >= file.member->uncompressedSize;
    lastArchiveError = ZFS_OK;
    if (file.mode != FileMode::Disk) {
        lastArchiveError = ZFS_FILE_NOT_OPEN;
        return true;
    }
    bool atEnd = true;
    int code = platform::diskEndOfFile(file.disk, &atEnd);
    if (code != 0) lastArchiveError = code;
    return atEnd;
}

void closeFile(ArchiveFile& file) {
    lastArchiveError = ZFS_OK;
    if (file.mode == FileMode::Member) {
        delete file.member;
        file.member = nullptr;
        file.isMember = false;
        file.mode = FileMode::Closed;
        return;
    }
    if (file.mode != FileMode::Disk) {
        lastArchiveError = ZFS_FILE_NOT_OPEN;
        return;
    }
    int code = platform::closeDiskFile(file.disk);
    if (code != 0) lastArchiveError = code;
    file.mode = FileMode::Closed;
}

int takeFileError() {
    int diskCode = platform::takeDiskError();
    int code = diskCode != 0 ? diskCode : lastArchiveError;
    lastArchiveError = ZFS_OK;
    return code;
}

bool fileExists(const char* name) {
    return platform::diskNameExists(name) || findMember(name, nullptr) != nullptr;
}

const char* fileErrorText(int code) {
    for (const ErrorText& entry : ERROR_TEXTS)
        if (entry.code == code) return entry.text;
    return "UNDEFINED ERROR";
}

int readWholeFile(const char* name, std::vector<uint8_t>& data, uint32_t limit) {
    data.clear();
    ArchiveFile file;
    assignFile(file, name);
    openFile(file, 1);
    int code = takeFileError();
    if (code != ZFS_OK) return code;
    const uint32_t size = fileSize(file) < limit ? fileSize(file) : limit;
    if (fileSizeBound(file) < fileSize(file)) code = ZFS_BAD_DATA;
    // In doubling pieces: a deflated member's read cursor carries each piece on from the last.
    uint32_t piece = 65536;
    try {
        while (code == ZFS_OK && data.size() < size) {
            uint32_t want = size - uint32_t(data.size()) < piece ? size - uint32_t(data.size()) : piece;
            size_t at = data.size();
            data.resize(at + want);
            uint32_t got = 0;
            readBlock(file, data.data() + at, want, &got);
            code = takeFileError();
            data.resize(at + got);
            if (got < want) break;
            if (piece < (1u << 24)) piece *= 2;
        }
    } catch (const std::bad_alloc&) {
        code = ZFS_NO_MEMORY;
    }
    closeFile(file);
    takeFileError(); // a failed close of a file only read loses nothing
    if (code != ZFS_OK) std::vector<uint8_t>().swap(data);
    return code;
}

void loadResumeIndex(MountedArchive* archive, const char* indexName) {
    lastArchiveError = ZFS_OK;
    if (!archive || !isMounted(archive)) return;
    std::vector<uint8_t> data;
    int readCode = readWholeFile(indexName, data);
    if (readCode != ZFS_OK) {
        lastArchiveError = readCode;
        return;
    }
    if (data.size() < 3 || std::memcmp(data.data(), "OMZ", 3) != 0) {
        lastArchiveError = ZFS_BAD_INDEX_SIGNATURE;
        return;
    }
    try {
        attachResumePoints(*archive, data.data(), data.size());
    } catch (const std::bad_alloc&) {
        lastArchiveError = ZFS_NO_MEMORY;
    }
}

} // namespace archive
