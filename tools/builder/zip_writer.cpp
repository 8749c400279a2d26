// Writes the data archive: stored or deflated members with their real CRC and sizes in the local
// headers, then the central directory and end record.
#include "tools/builder/zip_writer.h"

#include <zlib.h>

#include <cstring>
#include <set>

namespace builder {
namespace {

constexpr uint32_t LOCAL_HEADER_SIGNATURE = 0x04034B50;
constexpr uint32_t CENTRAL_HEADER_SIGNATURE = 0x02014B50;
constexpr uint32_t END_RECORD_SIGNATURE = 0x06054B50;
constexpr uint16_t METHOD_STORED = 0;
constexpr uint16_t METHOD_DEFLATED = 8;
constexpr size_t MAX_NAME_LENGTH = 255;
// Offsets and sizes are 32-bit fields and the member count a 16-bit one; 0xFFFFFFFF and 0xFFFF
// would announce ZIP64 records that this writer does not produce.
constexpr uint64_t MAX_FIELD_32 = 0xFFFFFFFEu;
constexpr size_t MAX_MEMBERS = 0xFFFE;

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The form in which the show's archive layer compares names.
std::string normalizedName(const std::string& name) {
    std::string n = name;
    for (char& c : n) {
        if (c == '/') c = '\\';
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return n;
}

struct Entry {
    const Member* member;
    uint16_t method;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t headerOffset;
};

// Fields shared by the local and the central header, from "version needed" to the name length.
void putCommonFields(std::vector<uint8_t>& out, const Entry& e) {
    put16(out, e.method == METHOD_DEFLATED ? 20 : 10);  // version needed to extract
    put16(out, 0);                                      // flags: sizes are in this header
    put16(out, e.method);
    put16(out, ZIP_DOS_TIME);
    put16(out, ZIP_DOS_DATE);
    put32(out, e.crc);
    put32(out, e.compressedSize);
    put32(out, uint32_t(e.member->data.size()));
    put16(out, uint32_t(e.member->name.size()));
}

void putName(std::vector<uint8_t>& out, const std::string& name) {
    out.insert(out.end(), name.begin(), name.end());
}

ZipStatus checkNames(const std::vector<Member>& members) {
    std::set<std::string> seen;
    for (const Member& m : members) {
        if (m.name.empty() || m.name.size() > MAX_NAME_LENGTH) return ZIP_BAD_NAME;
        if (!seen.insert(normalizedName(m.name)).second) return ZIP_DUPLICATE_NAME;
    }
    return ZIP_OK;
}

}  // namespace

bool deflateRaw(const std::vector<uint8_t>& data, std::vector<uint8_t>& compressed) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    // Window bits -15: raw deflate, which is what a ZIP member holds.
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    compressed.assign(deflateBound(&z, uLong(data.size())), 0);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = compressed.data();
    z.avail_out = uInt(compressed.size());
    int result = deflate(&z, Z_FINISH);
    compressed.resize(z.total_out);
    deflateEnd(&z);
    return result == Z_STREAM_END;
}

ZipStatus writeZip(const std::vector<Member>& members, std::vector<uint8_t>& archive) {
    archive.clear();
    if (members.size() > MAX_MEMBERS) return ZIP_TOO_LARGE;
    if (ZipStatus s = checkNames(members); s != ZIP_OK) return s;

    std::vector<Entry> entries;
    for (const Member& m : members) {
        if (m.data.size() > MAX_FIELD_32) return ZIP_TOO_LARGE;
        Entry e{&m, METHOD_STORED, 0, uint32_t(m.data.size()), 0};
        e.crc = uint32_t(crc32(crc32(0, nullptr, 0), m.data.data(), uInt(m.data.size())));

        std::vector<uint8_t> packed;
        if (m.deflate) {
            if (!deflateRaw(m.data, packed)) return ZIP_DEFLATE_FAILED;
            if (packed.size() < m.data.size()) {
                e.method = METHOD_DEFLATED;
                e.compressedSize = uint32_t(packed.size());
            }
        }
        if (archive.size() > MAX_FIELD_32) return ZIP_TOO_LARGE;
        e.headerOffset = uint32_t(archive.size());
        put32(archive, LOCAL_HEADER_SIGNATURE);
        putCommonFields(archive, e);
        put16(archive, 0);  // extra field length
        putName(archive, m.name);
        const std::vector<uint8_t>& body = e.method == METHOD_DEFLATED ? packed : m.data;
        archive.insert(archive.end(), body.begin(), body.end());
        entries.push_back(e);
    }

    uint64_t directoryOffset = archive.size();
    for (const Entry& e : entries) {
        put32(archive, CENTRAL_HEADER_SIGNATURE);
        put16(archive, 20);  // made by: MS-DOS attributes, version 2.0
        putCommonFields(archive, e);
        put16(archive, 0);  // extra field length
        put16(archive, 0);  // comment length
        put16(archive, 0);  // disk number
        put16(archive, 0);  // internal attributes
        put32(archive, 0);  // external attributes
        put32(archive, e.headerOffset);
        putName(archive, e.member->name);
    }
    uint64_t directorySize = archive.size() - directoryOffset;
    if (directoryOffset > MAX_FIELD_32 || directorySize > MAX_FIELD_32) return ZIP_TOO_LARGE;

    put32(archive, END_RECORD_SIGNATURE);
    put16(archive, 0);  // this disk
    put16(archive, 0);  // disk with the directory
    put16(archive, uint32_t(entries.size()));
    put16(archive, uint32_t(entries.size()));
    put32(archive, uint32_t(directorySize));
    put32(archive, uint32_t(directoryOffset));
    put16(archive, 0);  // comment length
    return ZIP_OK;
}

const char* zipStatusText(ZipStatus status) {
    switch (status) {
    case ZIP_OK: return "ok";
    case ZIP_BAD_NAME: return "member name empty or longer than 255 bytes";
    case ZIP_DUPLICATE_NAME: return "two members share a name";
    case ZIP_TOO_LARGE: return "archive too large for 32-bit ZIP fields";
    case ZIP_DEFLATE_FAILED: return "deflate failed";
    }
    return "unknown error";
}

}  // namespace builder
