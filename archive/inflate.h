// Our DEFLATE (RFC 1951) decoder for archive members of compression method 8. A call decodes the
// member from its first byte (or from a saved resume point), hands every full 32 KiB window to the
// output request, which keeps only the requested byte range, and stops once that range is complete.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/disk_file.h"

namespace archive {

// Statuses of inflateMember (the archive layer maps them onto its error codes).
constexpr int INFLATE_OK = 0;
constexpr int INFLATE_STOP = 1; // internal: the request is complete
constexpr int INFLATE_WRITE_ERROR = -1;
constexpr int INFLATE_NO_INPUT = -2;   // compressed data ran out, or the archive could not be read
constexpr int INFLATE_BAD_DATA = -3;
constexpr int INFLATE_NO_MEMORY = -4;
constexpr int INFLATE_BAD_METHOD = -5;

constexpr uint32_t WINDOW_SIZE = 32768;
constexpr uint32_t INPUT_BLOCK = 4096;

// Saved decoder state that lets a decode start inside a member.
struct ResumePoint {
    uint32_t compressedOffset = 0;   // from the member's data offset
    uint32_t uncompressedOffset = 0; // output position of window byte 0
    uint32_t bitState = 0;           // bit buffer in bits 0-15, bit count in bits 16-23
    uint16_t windowPosition = 0;
    // Records back to back: window offset (2 bytes), count c (2 bytes), c bytes; little-endian.
    std::vector<uint8_t> windowData;
};

// True when a resume point describes a state the decoder can start from: a bit count of at most 16,
// a window position inside the window, and window records that all fit the window.
bool resumePointIsSound(const ResumePoint& point);

// The output sink: which uncompressed bytes the caller wants and where they go.
struct OutputRequest {
    uint32_t start = 0;
    uint32_t length = 0;
    uint8_t* destination = nullptr; // room for length bytes
    uint32_t delivered = 0;
    uint32_t position = 0; // output position of the window's next delivery
    // When set, receives the decoder state at the last block boundary the decode passes, from
    // which a later decode of the same member can resume (a read cursor's continuation point).
    ResumePoint* boundary = nullptr;
    bool boundaryReached = false;
};

enum class Delivery { Continue, Stop };

// Hands n window bytes (output positions request.position ...) to the request.
Delivery deliverWindow(OutputRequest& request, const uint8_t* window, uint32_t n);

// Decodes the member at dataOffset of the archive file into the request. resume may be null.
int inflateMember(const platform::DiskFile& archiveFile, uint32_t dataOffset, uint32_t compressedSize,
                  uint16_t method, const ResumePoint* resume, OutputRequest& request);

} // namespace archive
