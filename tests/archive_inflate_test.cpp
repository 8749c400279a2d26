// The DEFLATE decoder against zlib's raw deflate output, and against hand-made streams for the
// cases zlib never writes (invalid codes, distance 32768, repeats past the end of a header).
#include "archive/inflate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "tests/zip_fixture.h"

namespace {

using archive::OutputRequest;
using namespace zipfixture;

// The status and the delivered part of the request.
using Result = std::pair<int, Bytes>;
Result ok(const Bytes& bytes) { return {archive::INFLATE_OK, bytes}; }

// Decodes [start, start + length) of a member lying at offset in a file of the given bytes.
Result decode(const Bytes& file, uint32_t offset, uint32_t compressedSize, uint32_t start, uint32_t length) {
    platform::DiskFile disk;
    EXPECT_EQ(platform::openMemoryFile(disk, file.data(), file.size()), 0);
    Bytes out(length);
    OutputRequest request{start, length, out.data()};
    int status = archive::inflateMember(disk, offset, compressedSize, 8, nullptr, request);
    platform::closeDiskFile(disk);
    out.resize(request.delivered);
    return {status, out};
}

Result decodeAll(const Bytes& stream, uint32_t length) { return decode(stream, 0, uint32_t(stream.size()), 0, length); }

// Writes DEFLATE bits least significant first; Huffman codes go most significant bit first.
struct BitWriter {
    Bytes bytes;
    uint32_t buffer = 0;
    uint32_t count = 0;

    void put(uint32_t value, uint32_t bits) {
        for (uint32_t i = 0; i < bits; ++i) {
            buffer |= ((value >> i) & 1u) << count;
            if (++count == 8) flushByte();
        }
    }
    void putCode(uint32_t code, uint32_t length) {
        for (uint32_t i = length; i-- > 0;) put((code >> i) & 1u, 1);
    }
    void flushByte() {
        bytes.push_back(uint8_t(buffer));
        buffer = 0;
        count = 0;
    }
    void align() {
        if (count) flushByte();
    }
    Bytes finish() {
        align();
        return bytes;
    }
};

// Canonical codes for a set of code lengths (RFC 1951 3.2.2).
std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths) {
    uint32_t count[17] = {}, next[17] = {};
    for (uint8_t l : lengths) ++count[l];
    count[0] = 0;
    for (uint32_t bits = 1, code = 0; bits <= 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t i = 0; i < lengths.size(); ++i)
        if (lengths[i]) codes[i] = next[lengths[i]]++;
    return codes;
}

// Fixed-code symbols.
void fixedLiteral(BitWriter& w, uint32_t symbol) {
    if (symbol < 144) w.putCode(0x30 + symbol, 8);
    else if (symbol < 256) w.putCode(0x190 + symbol - 144, 9);
    else if (symbol < 280) w.putCode(symbol - 256, 7);
    else w.putCode(0xC0 + symbol - 280, 8);
}

// The header of a last block with the fixed codes.
BitWriter fixedBlock() {
    BitWriter w;
    w.put(1, 1);
    w.put(1, 2);
    return w;
}

void storedBlock(BitWriter& w, const Bytes& data, bool last) {
    w.put(last, 1);
    w.put(0, 2);
    w.align();
    w.put(uint32_t(data.size()), 16);
    w.put(~uint32_t(data.size()) & 0xFFFF, 16);
    for (uint8_t b : data) w.put(b, 8);
}

// The code-length code of the dynamic blocks written here gives symbols 0-12 four bits and 13-18
// five bits, so any sequence of code-length symbols (with their extra bits) can be written.
const std::vector<uint8_t> kCodeLengthLengths = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5};
const uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

void codeLengthSymbol(BitWriter& w, uint32_t symbol, uint32_t extra = 0) {
    static const std::vector<uint32_t> codes = canonicalCodes(kCodeLengthLengths);
    w.putCode(codes[symbol], kCodeLengthLengths[symbol]);
    if (symbol == 16) w.put(extra, 2);
    if (symbol == 17) w.put(extra, 3);
    if (symbol == 18) w.put(extra, 7);
}

void dynamicBlockStart(BitWriter& w, bool last, uint32_t literalCount, uint32_t distanceCount) {
    w.put(last, 1);
    w.put(2, 2);
    w.put(literalCount - 257, 5);
    w.put(distanceCount - 1, 5);
    w.put(19 - 4, 4);
    for (uint8_t symbol : kCodeLengthOrder) w.put(kCodeLengthLengths[symbol], 3);
}

// A complete literal/length code over `count` symbols: literals 0-253 of 8 bits, then literals 254
// and 255, end-of-block and length code 257 (length 3) sharing the rest of the space at 9 bits.
std::vector<uint8_t> literalLengths(uint32_t count) {
    std::vector<uint8_t> lengths(count, 0);
    std::fill(lengths.begin(), lengths.begin() + 254, 8);
    std::fill(lengths.begin() + 254, lengths.begin() + 258, 9);
    return lengths;
}

// ---------------------------------------------------------------------------------------------

TEST(InflateZlibStreams, DecodeByteExactForEveryBlockKindAtManyOffsets) {
    Bytes data = wordText(100000, 7);
    Bytes tail = noise(20000, 3);  // incompressible stretch: zlib switches block kinds around it
    data.insert(data.begin() + 40000, tail.begin(), tail.end());
    const std::pair<int, int> kinds[] = {{0, Z_DEFAULT_STRATEGY}, {6, Z_FIXED},  {9, Z_DEFAULT_STRATEGY},
                                         {6, Z_HUFFMAN_ONLY},     {6, Z_RLE},    {1, Z_DEFAULT_STRATEGY}};
    const uint32_t size = uint32_t(data.size());
    const uint32_t ranges[][2] = {{0, size},        {0, 1},          {0, 10},          {1, 32767},
                                  {32767, 2},       {32768, 1},      {32760, 70000},   {65535, 32770},
                                  {size - 10, 10},  {size - 1, 1},   {50001, 12345},   {98304, size - 98304}};
    for (const auto& [level, strategy] : kinds) {
        Bytes stream = rawDeflate(data, level, strategy);
        for (const auto& range : ranges)
            ASSERT_EQ(decode(stream, 0, uint32_t(stream.size()), range[0], range[1]), ok(slice(data, range[0], range[1])))
                << "level " << level << " strategy " << strategy << " at " << range[0];
    }
}

TEST(InflateStoredBlocks, EmptyStreamsAndZeroLengthStoredBlocksDecode) {
    EXPECT_EQ(decodeAll(rawDeflate({}, 6), 16), ok({}));
    BitWriter w;
    storedBlock(w, {'a', 'b'}, false);
    storedBlock(w, {}, false);
    storedBlock(w, {'c'}, false);
    storedBlock(w, {}, true);
    EXPECT_EQ(decodeAll(w.finish(), 3), ok({'a', 'b', 'c'}));
}

TEST(InflateWindow, BackReferencesReachAcrossTheWindowEndAndOverlapTheirOwnOutput) {
    // Phrases repeated about 30000 bytes later make zlib emit long distances at every window end.
    Bytes data;
    for (int round = 0; round < 8; ++round) {
        Bytes block = noise(30000, 100 + round / 2);
        data.insert(data.end(), block.begin(), block.end());
    }
    Bytes stream = rawDeflate(data, 9);
    ASSERT_LT(stream.size(), data.size() * 6 / 10);  // the repeats were found
    for (uint32_t start : {0u, 32760u, 65530u, 131000u, 200000u})
        EXPECT_EQ(decode(stream, 0, uint32_t(stream.size()), start, 8000), ok(slice(data, start, 8000))) << start;

    // zlib never uses distance 32768 itself: 32768 stored bytes, then a copy of all of them.
    Bytes original = noise(32768, 9);
    BitWriter w;
    storedBlock(w, slice(original, 0, 20000), false);
    storedBlock(w, slice(original, 20000, 12768), false);
    w.put(1, 1);
    w.put(1, 2);
    for (int i = 0; i < 127; ++i) {
        fixedLiteral(w, 285);  // length 258
        w.putCode(29, 5);      // distance 24577 + 8191
        w.put(8191, 13);
    }
    fixedLiteral(w, 256);
    Result got = decodeAll(w.finish(), 32768 + 127 * 258);
    ASSERT_EQ(got.first, archive::INFLATE_OK);
    for (size_t i = 32768; i < got.second.size(); ++i) ASSERT_EQ(got.second[i], original[i % 32768]) << i;

    // Distances 1 and 2 repeat the bytes just written.
    w = fixedBlock();
    for (uint32_t symbol : {uint32_t('x'), uint32_t('y'), 285u}) fixedLiteral(w, symbol);  // 285: length 258
    w.putCode(0, 5);                                                   // distance 1
    fixedLiteral(w, 258);                                              // length 4
    w.putCode(1, 5);                                                   // distance 2
    fixedLiteral(w, 256);
    Bytes expected = {'x'};
    expected.insert(expected.end(), 263, 'y');
    EXPECT_EQ(decodeAll(w.finish(), 300), ok(expected));
}

// The compressed bytes zlib takes to produce the first outputBytes of the stream.
size_t inputForOutput(const Bytes& stream, size_t outputBytes) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    Bytes out(outputBytes);
    z.next_in = const_cast<uint8_t*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    inflate(&z, Z_SYNC_FLUSH);
    size_t taken = z.total_in;
    inflateEnd(&z);
    return taken;
}

TEST(InflateRequest, DecodingStopsAtTheFirstWindowFlushPastTheRequest) {
    Bytes data = wordText(100000, 5);
    Bytes stream = rawDeflate(data, 6);
    // Only the compressed data for about 50000 output bytes: whatever needs the flush at 65536
    // runs out of input, whatever is complete at the flush at 32768 never gets there.
    Bytes part = slice(stream, 0, inputForOutput(stream, 50000));
    const uint32_t size = uint32_t(part.size()), whole = uint32_t(stream.size());
    EXPECT_EQ(decode(part, 0, size, 0, 10), ok(slice(data, 0, 10)));
    EXPECT_EQ(decode(part, 0, size, 100, 32667), ok(slice(data, 100, 32667)));
    // A request ending exactly at a window end is only seen complete at the next flush.
    EXPECT_EQ(decode(part, 0, size, 0, 32768).first, archive::INFLATE_NO_INPUT);
    EXPECT_EQ(decode(part, 0, size, 32768, 10).first, archive::INFLATE_NO_INPUT);
    // With the whole stream, the last bytes come from decoding to the end; beyond them, nothing.
    EXPECT_EQ(decode(stream, 0, whole, 99990, 10), ok(slice(data, 99990, 10)));
    EXPECT_EQ(decode(stream, 0, whole, 100000, 10), ok({}));
}

// A stream of a last block with the fixed codes holding the given literal/length symbols, then
// distance code `distance`.
Bytes fixedStream(std::initializer_list<uint32_t> symbols, int distance = -1) {
    BitWriter w = fixedBlock();
    for (uint32_t symbol : symbols) fixedLiteral(w, symbol);
    if (distance >= 0) w.putCode(uint32_t(distance), 5);
    w.put(0, 16);
    return w.finish();
}

// A dynamic block with the given code lengths, then 'a' and length 3 in its codes, then distance
// code `distance` in 5 bits.
Bytes dynamicStream(const std::vector<uint8_t>& literals, const std::vector<uint8_t>& distances, int distance = -1) {
    BitWriter w;
    dynamicBlockStart(w, true, uint32_t(literals.size()), uint32_t(distances.size()));
    for (uint8_t l : literals) codeLengthSymbol(w, l);
    for (uint8_t l : distances) codeLengthSymbol(w, l);
    std::vector<uint32_t> codes = canonicalCodes(literals);
    w.putCode(codes['a'], 8);
    w.putCode(codes[257], 9);
    if (distance >= 0) w.putCode(uint32_t(distance), 5);
    w.put(0, 32);
    return w.finish();
}

TEST(InflateInvalidData, MalformedBlocksAndCodesFailAsInvalidData) {
    std::vector<std::pair<const char*, Bytes>> cases = {
        {"length code 286", fixedStream({'a', 286})},
        {"length code 287", fixedStream({'a', 287})},
        {"fixed distance code 30", fixedStream({'a', 257}, 30)},
        // 32 distance codes of 5 bits each: the header is fine, but codes 30 and 31 mean nothing.
        {"dynamic distance code 31", dynamicStream(literalLengths(258), std::vector<uint8_t>(32, 5), 31)},
        {"length code without distance codes", dynamicStream(literalLengths(258), {0})},
        {"over-subscribed literal/length code", dynamicStream(std::vector<uint8_t>(258, 8), {1})},
        {"block type 3", {0x07}},  // last-block bit, then type bits 11
    };
    std::vector<uint8_t> incomplete = literalLengths(258);
    incomplete[257] = 0;  // leaves part of the code space unused
    cases.push_back({"incomplete literal/length code", dynamicStream(incomplete, {1})});
    BitWriter w;
    storedBlock(w, Bytes(5), true);
    Bytes stored = w.finish();
    stored[3] ^= 1;  // the complement no longer matches the length
    cases.push_back({"stored length and complement differ", stored});
    for (uint32_t symbol : {16u, 17u, 18u}) {
        // A repeat that runs past the 258 + 1 declared lengths.
        w = BitWriter{};
        dynamicBlockStart(w, true, 258, 1);
        for (int i = 0; i < 257; ++i) codeLengthSymbol(w, 8);
        codeLengthSymbol(w, symbol, 0);  // at least 3 more lengths, but only 2 are left
        cases.push_back({"repeat past the declared lengths", w.finish()});
    }
    for (const auto& [name, stream] : cases) {
        // Padding after the stream, so running out of input is never the reason.
        Bytes file = stream;
        file.resize(file.size() + 64, 0);
        EXPECT_EQ(decode(file, 0, uint32_t(stream.size()), 0, 100).first, archive::INFLATE_BAD_DATA) << name;
    }
}

TEST(InflateInput, DecodingReadsOnPastTheMemberOnlyUpToItsSizeAndTwoBytes) {
    Bytes data = wordText(3000, 11);
    Bytes stream = rawDeflate(data, 6);
    // The compressed size says 0, but the first 4096-byte read already holds the whole stream.
    EXPECT_EQ(decode(stream, 0, 0, 0, uint32_t(data.size())), ok(data));
    // A member that needs a second read after its stated size fails, even with data still there.
    Bytes big = noise(6000, 5);  // more than one read, less than two
    EXPECT_EQ(decode(rawDeflate(big, 6), 0, 100, 0, uint32_t(big.size())).first, archive::INFLATE_NO_INPUT);
    // The member can start anywhere in the file.
    Bytes file = noise(5000, 1);
    file.insert(file.end(), stream.begin(), stream.end());
    EXPECT_EQ(decode(file, 5000, uint32_t(stream.size()), 0, uint32_t(data.size())), ok(data));
}

TEST(InflateInput, TruncatedStreamsFailInsteadOfDecodingMadeUpBits) {
    Bytes data = wordText(3000, 4);
    for (int strategy : {Z_FIXED, Z_DEFAULT_STRATEGY}) {
        Bytes stream = rawDeflate(data, 6, strategy);
        for (size_t cut = 0; cut < stream.size(); ++cut)
            ASSERT_EQ(decodeAll(slice(stream, 0, cut), uint32_t(data.size())).first, archive::INFLATE_NO_INPUT) << cut;
        EXPECT_EQ(decodeAll(stream, uint32_t(data.size())), ok(data));
    }
    // A stored block cut short.
    BitWriter w;
    storedBlock(w, noise(100, 2), true);
    EXPECT_EQ(decodeAll(slice(w.finish(), 0, 60), 100).first, archive::INFLATE_NO_INPUT);
}

} // namespace
