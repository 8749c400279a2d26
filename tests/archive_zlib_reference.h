// zlib's raw deflate, the reference the archive tests build their compressed inputs with.
#pragma once
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

inline std::vector<uint8_t> rawDeflate(const std::vector<uint8_t>& data, int level = 6,
                                       int strategy = Z_DEFAULT_STRATEGY) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
    std::vector<uint8_t> out(deflateBound(&z, uLong(data.size())) + 16);
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
