// The only code that talks to the POSIX file calls. Reads use pread at the position kept in the
// DiskFile record, so two records on one descriptor never disturb each other.
#include "platform/disk_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

int pendingError = 0;

// Maps errno onto the I/O codes; fallback is the code of the operation's own kind of failure.
int codeForErrno(int error, int fallback) {
    switch (error) {
    case ENOENT: case ENXIO: return DISK_FILE_NOT_FOUND;
    case ENOTDIR: case ENAMETOOLONG: case ELOOP: return DISK_PATH_NOT_FOUND;
    case EMFILE: case ENFILE: return DISK_TOO_MANY_FILES;
    case EACCES: case EPERM: case EROFS: case ETXTBSY: return DISK_ACCESS_DENIED;
    case EBADF: return DISK_INVALID_HANDLE;
    case ENOMEM: return DISK_INSUFFICIENT_MEMORY;
    default: return fallback;
    }
}

int fail(int code) {
    pendingError = code;
    return code;
}

int failFromErrno(int fallback) { return fail(codeForErrno(errno, fallback)); }

// A zero-filled record has record size 0; it counts as 1 so no division can fault.
uint64_t recordBytes(const DiskFile& file) { return file.recordSize == 0 ? 1 : file.recordSize; }

} // namespace

int takeDiskError() {
    int code = pendingError;
    pendingError = 0;
    return code;
}

bool isRegularDiskFile(const char* name) {
    struct stat info;
    return stat(name, &info) == 0 && S_ISREG(info.st_mode);
}

bool diskNameExists(const char* name) {
    struct stat info;
    return stat(name, &info) == 0 && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode));
}

int openDiskFile(DiskFile& file, const char* name, uint32_t recordSize, DiskAccess access) {
    int flags = (access == DiskAccess::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    int descriptor;
    do descriptor = open(name, flags);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return failFromErrno(DISK_ACCESS_DENIED);
    file.descriptor = descriptor;
    file.recordSize = recordSize == 0 ? 1 : recordSize;
    file.position = 0;
    return 0;
}

int openMemoryFile(DiskFile& file, const void* data, size_t size) {
    int descriptor = memfd_create("tavremon", MFD_CLOEXEC);
    if (descriptor < 0) return failFromErrno(DISK_INSUFFICIENT_MEMORY);
    const char* bytes = static_cast<const char*>(data);
    size_t written = 0;
    while (written < size) {
        ssize_t n = write(descriptor, bytes + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int code = failFromErrno(DISK_INSUFFICIENT_MEMORY);
            close(descriptor);
            return code;
        }
        written += size_t(n);
    }
    file.descriptor = descriptor;
    file.recordSize = 1;
    file.position = 0;
    return 0;
}

int closeDiskFile(DiskFile& file) {
    if (file.descriptor < 0) return fail(DISK_NOT_OPEN);
    int result = close(file.descriptor);
    file.descriptor = -1;
    // Linux releases the descriptor even when close reports an error, so it is never retried.
    if (result != 0 && errno != EINTR) return failFromErrno(DISK_INVALID_HANDLE);
    return 0;
}

int readDiskFile(DiskFile& file, void* dest, uint64_t count, uint64_t* recordsRead) {
    if (recordsRead) *recordsRead = 0;
    if (file.descriptor < 0) return fail(DISK_NOT_OPEN);
    uint64_t size = recordBytes(file);
    uint64_t wanted = count * size;
    if (wanted / size != count) return fail(DISK_READ_ERROR);
    char* out = static_cast<char*>(dest);
    uint64_t got = 0;
    while (got < wanted) {
        size_t chunk = size_t(wanted - got < (uint64_t(1) << 30) ? wanted - got : (uint64_t(1) << 30));
        ssize_t n = pread(file.descriptor, out + got, chunk, off_t(file.position + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failFromErrno(DISK_READ_ERROR);
        if (n == 0) break;
        got += uint64_t(n);
    }
    uint64_t records = got / size;
    file.position += records * size;
    if (recordsRead) *recordsRead = records;
    return 0;
}

int seekDiskFile(DiskFile& file, uint64_t record) {
    if (file.descriptor < 0) return fail(DISK_NOT_OPEN);
    uint64_t bytes = record * recordBytes(file);
    if (bytes / recordBytes(file) != record || bytes > uint64_t(INT64_MAX)) return fail(DISK_SEEK_ERROR);
    file.position = bytes;
    return 0;
}

int diskFileSize(const DiskFile& file, uint64_t* records) {
    *records = 0;
    if (file.descriptor < 0) return fail(DISK_NOT_OPEN);
    struct stat info;
    if (fstat(file.descriptor, &info) != 0) return failFromErrno(DISK_READ_ERROR);
    *records = uint64_t(info.st_size) / recordBytes(file);
    return 0;
}

int diskEndOfFile(const DiskFile& file, bool* atEnd) {
    *atEnd = true;
    if (file.descriptor < 0) return fail(DISK_NOT_OPEN);
    struct stat info;
    if (fstat(file.descriptor, &info) != 0) return failFromErrno(DISK_READ_ERROR);
    *atEnd = file.position >= uint64_t(info.st_size);
    return 0;
}

uint64_t diskFilePosition(const DiskFile& file) { return file.position / recordBytes(file); }

} // namespace platform
