// ZIP archives and raw DEFLATE streams for the tests, made with zlib: local headers with their
// extra field and data, then (unless left out) the start of a central directory, where the show's
// walk stops; or archives as a streaming writer makes them, sizes after the data and in the
// central directory.
#pragma once
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace zipfixture {

using Bytes = std::vector<uint8_t>;

inline Bytes rawDeflate(const Bytes& data, int level = 6, int strategy = Z_DEFAULT_STRATEGY) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
    Bytes out(deflateBound(&z, uLong(data.size())) + 16);
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Text-like bytes: words from a small vocabulary, so matches of every length and distance occur.
inline Bytes wordText(size_t size, uint32_t seed) {
    static const char* words[] = {"archive ", "member ", "window ", "deflate ", "tavremon ", "the ", "of ",
                                  "flare\n", "knot ", "barlang ", "a ", "sphere, ", "tunnel "};
    Bytes out;
    while (out.size() < size) {
        seed = seed * 1103515245u + 12345u;
        const char* word = words[(seed >> 16) % 13];
        out.insert(out.end(), word, word + std::strlen(word));
    }
    out.resize(size);
    return out;
}

inline Bytes noise(size_t size, uint32_t seed) {
    Bytes out(size);
    for (auto& b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = uint8_t(seed >> 24);
    }
    return out;
}

// Up to length bytes from start, fewer at the end.
inline Bytes slice(const Bytes& data, size_t start, size_t length) {
    if (start > data.size()) return {};
    length = std::min(length, data.size() - start);
    return Bytes(data.begin() + long(start), data.begin() + long(start + length));
}

// v as `bytes` little-endian bytes; bytes past the value's own four are zeros.
inline void put(Bytes& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(i < 4 ? uint8_t(v >> (8 * i)) : 0);
}

struct Member {
    std::string name;
    Bytes data;
    uint16_t method = 0;  // 0 stored, 8 deflated
    Bytes packed = {};    // written as the member's data when not empty (else stored or deflated data)
    // An extra field as zip tools write it (a time stamp, then user and group ids); our builder writes none.
    Bytes extra = {0x55, 0x54, 5, 0, 3, 1, 2, 3, 4, 0x75, 0x78, 11, 0, 1, 4, 0xE8, 3, 0, 0, 4, 0xE8, 3, 0, 0};
};

// Dated 2025-01-01 12:00.
inline Bytes zipFile(const std::vector<Member>& members, bool centralDirectory = true) {
    Bytes out;
    for (const Member& m : members) {
        Bytes packed = !m.packed.empty() ? m.packed : m.method == 8 ? rawDeflate(m.data) : m.data;
        const uint32_t crc = uint32_t(crc32(0, m.data.data(), uInt(m.data.size())));
        const std::pair<uint32_t, int> header[] = {
            {0x04034B50, 4}, {20, 2}, {0, 2}, {m.method, 2}, {0x6000, 2}, {0x5A21, 2}, {crc, 4},
            {uint32_t(packed.size()), 4}, {uint32_t(m.data.size()), 4}, {uint32_t(m.name.size()), 2}, {uint32_t(m.extra.size()), 2}};
        for (const auto& [value, bytes] : header) put(out, value, bytes);
        out.insert(out.end(), m.name.begin(), m.name.end());
        out.insert(out.end(), m.extra.begin(), m.extra.end());
        out.insert(out.end(), packed.begin(), packed.end());
    }
    if (centralDirectory) {
        put(out, 0x02014B50, 4);
        out.resize(out.size() + 42, 0);
        put(out, 0x06054B50, 4);
        out.resize(out.size() + 18, 0);
    }
    return out;
}

// As a streaming writer makes it: each local header has flag bit 3 and zeros for CRC and sizes,
// which follow the data in a descriptor (with its signature for even members, without for odd
// ones); then a full central directory and its end record, with a comment.
inline Bytes streamingZipFile(const std::vector<Member>& members) {
    Bytes out, directory;
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        Bytes packed = !m.packed.empty() ? m.packed : m.method == 8 ? rawDeflate(m.data) : m.data;
        const uint32_t crc = uint32_t(crc32(0, m.data.data(), uInt(m.data.size())));
        const uint32_t offset = uint32_t(out.size()), name = uint32_t(m.name.size());
        const std::pair<uint32_t, int> local[] = {{0x04034B50, 4}, {20, 2}, {8, 2}, {m.method, 2}, {0x6000, 2},
                                                  {0x5A21, 2}, {0, 12}, {name, 2}, {0, 2}};
        for (const auto& [value, bytes] : local) put(out, value, bytes);
        out.insert(out.end(), m.name.begin(), m.name.end());
        out.insert(out.end(), packed.begin(), packed.end());
        if (i % 2 == 0) put(out, 0x08074B50, 4);
        for (uint32_t value : {crc, uint32_t(packed.size()), uint32_t(m.data.size())}) put(out, value, 4);
        const std::pair<uint32_t, int> central[] = {
            {0x02014B50, 4}, {20, 2}, {20, 2}, {8, 2}, {m.method, 2}, {0x6000, 2}, {0x5A21, 2}, {crc, 4},
            {uint32_t(packed.size()), 4}, {uint32_t(m.data.size()), 4}, {name, 2}, {0, 8}, {0, 4}, {offset, 4}};
        for (const auto& [value, bytes] : central) put(directory, value, bytes);
        directory.insert(directory.end(), m.name.begin(), m.name.end());
    }
    const uint32_t start = uint32_t(out.size()), count = uint32_t(members.size());
    out.insert(out.end(), directory.begin(), directory.end());
    const std::string comment = "written as a stream";
    const std::pair<uint32_t, int> end[] = {{0x06054B50, 4}, {0, 4}, {count, 2}, {count, 2},
                                            {uint32_t(directory.size()), 4}, {start, 4}, {uint32_t(comment.size()), 2}};
    for (const auto& [value, bytes] : end) put(out, value, bytes);
    out.insert(out.end(), comment.begin(), comment.end());
    return out;
}

inline void writeFile(const std::string& name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace zipfixture
