// Arbitrary bytes as a deflated member. Input: request start (2 bytes, x4), request length
// (2 bytes, x4, +1), a flags byte, then the compressed data (with flag 1, a resume point first).
// Whenever zlib decodes the data as a complete stream, our decoder must deliver the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "archive/inflate.h"

namespace {

uint32_t read16(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8; }

// The bytes zlib gets from a raw deflate stream, or false when it is not a complete stream.
bool zlibDecode(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    out.assign(limit, 0);
    z.next_in = const_cast<uint8_t*>(data);
    z.avail_in = uInt(size);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    int result = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return result == Z_STREAM_END;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const uint32_t start = read16(data) * 4;
    const uint32_t length = read16(data + 2) * 4 + 1;
    const uint8_t flags = data[4];
    data += 5;
    size -= 5;

    archive::ResumePoint resume;
    bool resumed = (flags & 1) && size >= 12;
    if (resumed) {
        resume.compressedOffset = data[0];
        resume.uncompressedOffset = read16(data + 1) * 4;
        resume.bitState = read16(data + 3) | uint32_t(data[5]) << 16;
        resume.windowPosition = uint16_t(read16(data + 6));
        uint32_t windowLength = data[8];
        data += 9;
        size -= 9;
        if (windowLength > size) windowLength = uint32_t(size);
        resume.windowData.assign(data, data + windowLength);
        data += windowLength;
        size -= windowLength;
    }

    platform::DiskFile file;
    if (platform::openMemoryFile(file, data, size) != 0) abort();
    std::vector<uint8_t> out(length, 0xA5);
    archive::OutputRequest request;
    request.start = start;
    request.length = length;
    request.destination = out.data();
    int status = archive::inflateMember(file, 0, uint32_t(size), 8, resumed ? &resume : nullptr, request);
    platform::closeDiskFile(file);

    if (request.delivered > length) abort();
    if (status != archive::INFLATE_OK && status != archive::INFLATE_NO_INPUT && status != archive::INFLATE_BAD_DATA)
        abort();

    std::vector<uint8_t> expected;
    if (!resumed && zlibDecode(data, size, size_t(start) + length, expected)) {
        size_t wanted = expected.size() > start ? expected.size() - start : 0;
        if (status != archive::INFLATE_OK || request.delivered != wanted) abort();
        if (wanted && std::memcmp(out.data(), expected.data() + start, wanted) != 0) abort();
    }
    return 0;
}
