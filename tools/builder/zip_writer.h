// ZIP archive writer for the show's data file. The show indexes an archive by walking its local
// headers, so every local header carries the real CRC and sizes (no data descriptors); a central
// directory and end record follow so ordinary zip tools can list and test the file too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/builder/member.h"

namespace builder {

enum ZipStatus {
    ZIP_OK = 0,
    ZIP_BAD_NAME,        // empty, or longer than the 255 bytes the show's archive layer accepts
    ZIP_DUPLICATE_NAME,  // the show matches names case-blind with "/" == "\": a twin is unreachable
    ZIP_TOO_LARGE,       // a member or the archive would need ZIP64 fields
    ZIP_DEFLATE_FAILED,
};

// The fixed DOS time stamp of every member (3 August 2000, 12:00:00), so that two builds of the
// same data give the same bytes.
constexpr uint16_t ZIP_DOS_DATE = (20 << 9) | (8 << 5) | 3;
constexpr uint16_t ZIP_DOS_TIME = 12 << 11;

// Members flagged deflate are compressed with zlib's raw deflate at the best level, unless that
// does not make them smaller, in which case they are stored. Member order is kept.
ZipStatus writeZip(const std::vector<Member>& members, std::vector<uint8_t>& archive);

// Raw deflate of a whole buffer (no zlib or gzip wrapper); false if zlib fails.
bool deflateRaw(const std::vector<uint8_t>& data, std::vector<uint8_t>& compressed);

const char* zipStatusText(ZipStatus status);

}  // namespace builder
