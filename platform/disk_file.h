// Disk files on POSIX: open by name, block read in records, seek and position in records, size,
// end-of-file test, close. Errors come back as the numeric I/O codes the archive layer reports
// (2 file not found, 3 path not found, 5 access denied, 100 read error, 103 file not open, ...);
// every failure is also left pending until takeDiskError collects it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {

// A file opened by this layer. The position lives here, not in the kernel's file offset, so a
// copy of the record reads on independently of the original (the decoder relies on that).
struct DiskFile {
    int descriptor = -1;
    uint32_t recordSize = 1;
    uint64_t position = 0; // in bytes
};

// The codes this layer reports (all others pass through from the mapping in disk_file.cpp).
constexpr int DISK_FILE_NOT_FOUND = 2;
constexpr int DISK_PATH_NOT_FOUND = 3;
constexpr int DISK_TOO_MANY_FILES = 4;
constexpr int DISK_ACCESS_DENIED = 5;
constexpr int DISK_INVALID_HANDLE = 6;
constexpr int DISK_INSUFFICIENT_MEMORY = 8;
constexpr int DISK_SEEK_ERROR = 25;
constexpr int DISK_READ_ERROR = 100;
constexpr int DISK_NOT_OPEN = 103;

enum class DiskAccess { ReadOnly, ReadWrite };

// Returns the pending I/O code (0 when none) and clears it.
int takeDiskError();

// True for an ordinary file of exactly this name (directories and devices do not count).
bool isRegularDiskFile(const char* name);
// True for any file or directory of exactly this name.
bool diskNameExists(const char* name);

// All of these return 0 or an I/O code. A record size of 0 is taken as 1.
int openDiskFile(DiskFile& file, const char* name, uint32_t recordSize, DiskAccess access);
// An anonymous in-memory file holding a copy of the bytes, read like any other disk file.
int openMemoryFile(DiskFile& file, const void* data, size_t size);
int closeDiskFile(DiskFile& file);
// Reads up to count records at the position and advances it; a short read at the end is no error.
int readDiskFile(DiskFile& file, void* dest, uint64_t count, uint64_t* recordsRead);
int seekDiskFile(DiskFile& file, uint64_t record);
int diskFileSize(const DiskFile& file, uint64_t* records);
int diskEndOfFile(const DiskFile& file, bool* atEnd);
uint64_t diskFilePosition(const DiskFile& file); // in records

} // namespace platform
