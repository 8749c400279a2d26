// The DEFLATE decoder against zlib's raw deflate output, and against hand-made streams for the
// cases zlib never writes (invalid codes, distance 32768, repeats past the end of a header).
#include "archive/inflate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/zip_fixture.h"

namespace {

using archive::OutputRequest;
using namespace zipfixture;

struct Decoded {
    int status;
    Bytes bytes; // the delivered part of the request
    uint32_t position;
};

// Decodes [start, start + length) of a member lying at offset in a file of the given bytes.
Decoded decode(const Bytes& file, uint32_t offset, uint32_t compressedSize, uint32_t start, uint32_t length) {
    platform::DiskFile disk;
    EXPECT_EQ(platform::openMemoryFile(disk, file.data(), file.size()), 0);
    Bytes out(length);
    OutputRequest request;
    request.start = start;
    request.length = length;
    request.destination = out.data();
    int status = archive::inflateMember(disk, offset, compressedSize, 8, nullptr, request);
    platform::closeDiskFile(disk);
    out.resize(request.delivered);
    return {status, out, request.position};
}

Decoded decodeAll(const Bytes& stream, uint32_t length) {
    return decode(stream, 0, uint32_t(stream.size()), 0, length);
}

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

// A dynamic block header. The code-length code gives symbols 0-12 four bits and 13-18 five bits,
// so any sequence of code-length symbols (with their extra bits) can be written.
struct DynamicHeader {
    std::vector<uint8_t> literalLengths;
    std::vector<uint8_t> distanceLengths;
};

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

void dynamicBlockHeader(BitWriter& w, bool last, const DynamicHeader& header) {
    dynamicBlockStart(w, last, uint32_t(header.literalLengths.size()), uint32_t(header.distanceLengths.size()));
    for (uint8_t l : header.literalLengths) codeLengthSymbol(w, l);
    for (uint8_t l : header.distanceLengths) codeLengthSymbol(w, l);
}

// A complete literal/length code over nl symbols: 256 literals and end-of-block, lengths 3-10.
std::vector<uint8_t> literalLengths(uint32_t count) {
    std::vector<uint8_t> lengths(count, 0);
    // 254 codes of 8 bits, then the rest of the space split between the remaining symbols.
    for (uint32_t i = 0; i < 254; ++i) lengths[i] = 8;
    lengths[254] = 9;
    lengths[255] = 9;
    lengths[256] = 9;
    lengths[257] = 9; // length code 3
    return lengths;
}

// ---------------------------------------------------------------------------------------------

TEST(InflateZlibStreams, DecodeByteExactForEveryBlockKindAtManyOffsets) {
    Bytes data = wordText(100000, 7);
    Bytes tail = noise(20000, 3); // incompressible stretch: zlib switches block kinds around it
    data.insert(data.begin() + 40000, tail.begin(), tail.end());
    struct Kind {
        const char* name;
        int level, strategy;
    } kinds[] = {{"stored", 0, Z_DEFAULT_STRATEGY},
                 {"fixed", 6, Z_FIXED},
                 {"dynamic", 9, Z_DEFAULT_STRATEGY},
                 {"huffman only", 6, Z_HUFFMAN_ONLY},
                 {"run length", 6, Z_RLE},
                 {"fast", 1, Z_DEFAULT_STRATEGY}};
    const uint32_t size = uint32_t(data.size());
    const uint32_t ranges[][2] = {{0, size},        {0, 1},          {0, 10},          {1, 32767},
                                  {32767, 2},       {32768, 1},      {32760, 70000},   {65535, 32770},
                                  {size - 10, 10},  {size - 1, 1},   {50001, 12345},   {98304, size - 98304}};
    for (const Kind& kind : kinds) {
        Bytes stream = rawDeflate(data, kind.level, kind.strategy);
        for (const auto& range : ranges) {
            Decoded got = decode(stream, 0, uint32_t(stream.size()), range[0], range[1]);
            ASSERT_EQ(got.status, archive::INFLATE_OK) << kind.name << " at " << range[0];
            ASSERT_EQ(got.bytes, slice(data, range[0], range[1])) << kind.name << " at " << range[0];
        }
    }
}

TEST(InflateStoredBlocks, EmptyStreamsAndZeroLengthStoredBlocksDecode) {
    Decoded empty = decodeAll(rawDeflate({}, 6), 16);
    EXPECT_EQ(empty.status, archive::INFLATE_OK);
    EXPECT_TRUE(empty.bytes.empty());
    BitWriter w;
    storedBlock(w, {'a', 'b'}, false);
    storedBlock(w, {}, false);
    storedBlock(w, {'c'}, false);
    storedBlock(w, {}, true);
    Decoded got = decodeAll(w.finish(), 3);
    EXPECT_EQ(got.status, archive::INFLATE_OK);
    EXPECT_EQ(got.bytes, (Bytes{'a', 'b', 'c'}));
}

TEST(InflateWindow, BackReferencesReachAcrossTheWindowEnd) {
    // Phrases repeated about 30000 bytes later make zlib emit long distances at every window end.
    Bytes data;
    for (int round = 0; round < 8; ++round) {
        Bytes block = noise(30000, 100 + round / 2);
        data.insert(data.end(), block.begin(), block.end());
    }
    Bytes stream = rawDeflate(data, 9);
    ASSERT_LT(stream.size(), data.size() * 6 / 10); // the repeats were found
    for (uint32_t start : {0u, 32760u, 65530u, 131000u, 200000u}) {
        Decoded got = decode(stream, 0, uint32_t(stream.size()), start, 8000);
        ASSERT_EQ(got.status, archive::INFLATE_OK);
        EXPECT_EQ(got.bytes, slice(data, start, 8000)) << start;
    }

    // zlib never uses distance 32768 itself: 32768 stored bytes, then a copy of all of them.
    Bytes original = noise(32768, 9);
    BitWriter w;
    storedBlock(w, slice(original, 0, 20000), false);
    storedBlock(w, slice(original, 20000, 12768), false);
    w.put(1, 1);
    w.put(1, 2);
    for (int i = 0; i < 127; ++i) {
        fixedLiteral(w, 285); // length 258
        w.putCode(29, 5);     // distance 24577 + 8191
        w.put(8191, 13);
    }
    fixedLiteral(w, 256);
    Decoded got = decodeAll(w.finish(), 32768 + 127 * 258);
    ASSERT_EQ(got.status, archive::INFLATE_OK);
    for (size_t i = 32768; i < got.bytes.size(); ++i) ASSERT_EQ(got.bytes[i], original[i % 32768]) << i;
}

TEST(InflateWindow, DistanceOneRepeatsThePreviousByte) {
    BitWriter w = fixedBlock();
    fixedLiteral(w, 'x');
    fixedLiteral(w, 'y');
    fixedLiteral(w, 285); // length 258
    w.putCode(0, 5);      // distance 1
    fixedLiteral(w, 258); // length 4
    w.putCode(1, 5);      // distance 2
    fixedLiteral(w, 256);
    Decoded got = decodeAll(w.finish(), 300);
    EXPECT_EQ(got.status, archive::INFLATE_OK);
    Bytes expected = {'x'};
    expected.insert(expected.end(), 259, 'y');
    expected.insert(expected.end(), {'y', 'y', 'y', 'y'});
    EXPECT_EQ(got.bytes, expected);
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
    uint32_t size = uint32_t(part.size());

    Decoded head = decode(part, 0, size, 0, 10);
    EXPECT_EQ(head.status, archive::INFLATE_OK);
    EXPECT_EQ(head.bytes, slice(data, 0, 10));
    Decoded almostWindow = decode(part, 0, size, 100, 32667);
    EXPECT_EQ(almostWindow.status, archive::INFLATE_OK);
    EXPECT_EQ(almostWindow.bytes, slice(data, 100, 32667));

    // A request ending exactly at a window end is only seen complete at the next flush.
    EXPECT_EQ(decode(part, 0, size, 0, 32768).status, archive::INFLATE_NO_INPUT);
    EXPECT_EQ(decode(part, 0, size, 32768, 10).status, archive::INFLATE_NO_INPUT);

    // With the whole stream, the last bytes come from decoding to the end.
    Decoded last = decode(stream, 0, uint32_t(stream.size()), 99990, 10);
    EXPECT_EQ(last.status, archive::INFLATE_OK);
    EXPECT_EQ(last.bytes, slice(data, 99990, 10));

    // A request beyond the member's output gets nothing.
    Decoded beyond = decode(stream, 0, uint32_t(stream.size()), 100000, 10);
    EXPECT_EQ(beyond.status, archive::INFLATE_OK);
    EXPECT_TRUE(beyond.bytes.empty());
}

TEST(InflateInvalidData, MalformedBlocksAndCodesFailAsInvalidData) {
    struct Case {
        const char* name;
        Bytes stream;
    };
    std::vector<Case> cases;
    {
        BitWriter w;
        w.put(1, 1);
        w.put(3, 2); // block type 3
        w.put(0, 16);
        cases.push_back({"block type 3", w.finish()});
    }
    {
        BitWriter w;
        w.put(1, 1);
        w.put(0, 2);
        w.align();
        w.put(5, 16);
        w.put(0xFFFA ^ 1, 16); // not the complement of 5
        w.put(0, 32);
        w.put(0, 16);
        cases.push_back({"stored length and complement differ", w.finish()});
    }
    for (uint32_t code : {286u, 287u}) {
        BitWriter w = fixedBlock();
        fixedLiteral(w, 'a');
        fixedLiteral(w, code);
        w.put(0, 16);
        cases.push_back({"length code 286/287", w.finish()});
    }
    {
        BitWriter w = fixedBlock();
        fixedLiteral(w, 'a');
        fixedLiteral(w, 257);
        w.putCode(30, 5); // the fixed code has no distance 30
        w.put(0, 16);
        cases.push_back({"fixed distance code 30", w.finish()});
    }
    {
        // 32 distance codes of 5 bits each: the header is fine, but codes 30 and 31 mean nothing.
        BitWriter w;
        DynamicHeader header{literalLengths(258), std::vector<uint8_t>(32, 5)};
        dynamicBlockHeader(w, true, header);
        std::vector<uint32_t> codes = canonicalCodes(header.literalLengths);
        w.putCode(codes['a'], 8);
        w.putCode(codes[257], 9);
        w.putCode(31, 5);
        w.put(0, 16);
        cases.push_back({"dynamic distance code 31", w.finish()});
    }
    {
        // No distance codes at all, and then a length code.
        BitWriter w;
        DynamicHeader header{literalLengths(258), std::vector<uint8_t>(1, 0)};
        dynamicBlockHeader(w, true, header);
        std::vector<uint32_t> codes = canonicalCodes(header.literalLengths);
        w.putCode(codes['a'], 8);
        w.putCode(codes[257], 9);
        w.put(0, 16);
        cases.push_back({"length code without distance codes", w.finish()});
    }
    for (uint32_t symbol : {16u, 17u, 18u}) {
        // A repeat that runs past the 258 + 1 declared lengths.
        BitWriter w;
        dynamicBlockStart(w, true, 258, 1);
        for (int i = 0; i < 257; ++i) codeLengthSymbol(w, 8);
        codeLengthSymbol(w, symbol, 0); // at least 3 more lengths, but only 2 are left
        w.put(0, 32);
        cases.push_back({"repeat past the declared lengths", w.finish()});
    }
    {
        BitWriter w;
        DynamicHeader header{std::vector<uint8_t>(258, 8), {1}}; // 258 codes of 8 bits
        dynamicBlockHeader(w, true, header);
        w.put(0, 32);
        cases.push_back({"over-subscribed literal/length code", w.finish()});
    }
    {
        BitWriter w;
        std::vector<uint8_t> lengths = literalLengths(258);
        lengths[257] = 0; // leaves part of the code space unused
        dynamicBlockHeader(w, true, DynamicHeader{lengths, {1}});
        w.put(0, 32);
        cases.push_back({"incomplete literal/length code", w.finish()});
    }
    for (const Case& c : cases) {
        // Padding after the stream, so running out of input is never the reason.
        Bytes file = c.stream;
        file.resize(file.size() + 64, 0);
        Decoded got = decode(file, 0, uint32_t(c.stream.size()), 0, 100);
        EXPECT_EQ(got.status, archive::INFLATE_BAD_DATA) << c.name;
    }
}

TEST(InflateDynamicHeaders, MaximalCountsAndASingleDistanceCodeAreAccepted) {
    std::vector<uint8_t> lengths = literalLengths(286); // HLIT 29
    std::vector<uint8_t> distances(30, 0);              // HDIST 29, one code in use
    distances[3] = 1;
    BitWriter w;
    dynamicBlockHeader(w, true, DynamicHeader{lengths, distances});
    std::vector<uint32_t> codes = canonicalCodes(lengths);
    for (char c : std::string("abcd")) w.putCode(codes[uint8_t(c)], 8);
    w.putCode(codes[257], 9); // length 3
    w.putCode(0, 1);          // distance code 3: distance 4
    w.putCode(codes[256], 9);
    Decoded got = decodeAll(w.finish(), 16);
    EXPECT_EQ(got.status, archive::INFLATE_OK);
    EXPECT_EQ(std::string(got.bytes.begin(), got.bytes.end()), "abcdabc");
}

TEST(InflateInput, DecodingReadsOnPastTheMemberOnlyUpToItsSizeAndTwoBytes) {
    Bytes data = wordText(3000, 11);
    Bytes stream = rawDeflate(data, 6);
    // The compressed size says 0, but the first 4096-byte read already holds the whole stream.
    Decoded got = decode(stream, 0, 0, 0, uint32_t(data.size()));
    EXPECT_EQ(got.status, archive::INFLATE_OK);
    EXPECT_EQ(got.bytes, data);

    // A member that needs a second read after its stated size fails, even with data still there.
    Bytes big = noise(6000, 5);  // more than one read, less than two
    Bytes bigStream = rawDeflate(big, 6);
    got = decode(bigStream, 0, 100, 0, uint32_t(big.size()));
    EXPECT_EQ(got.status, archive::INFLATE_NO_INPUT);

    // The member can start anywhere in the file.
    Bytes file = noise(5000, 1);
    file.insert(file.end(), stream.begin(), stream.end());
    got = decode(file, 5000, uint32_t(stream.size()), 0, uint32_t(data.size()));
    EXPECT_EQ(got.bytes, data);
}

TEST(InflateInput, TruncatedStreamsFailInsteadOfDecodingMadeUpBits) {
    Bytes data = wordText(3000, 4);
    for (int strategy : {Z_FIXED, Z_DEFAULT_STRATEGY}) {
        Bytes stream = rawDeflate(data, 6, strategy);
        for (size_t cut = 0; cut < stream.size(); ++cut) {
            Bytes part = slice(stream, 0, cut);
            Decoded got = decodeAll(part, uint32_t(data.size()));
            ASSERT_EQ(got.status, archive::INFLATE_NO_INPUT) << "cut at " << cut;
        }
        EXPECT_EQ(decodeAll(stream, uint32_t(data.size())).bytes, data);
    }
    // A stored block cut short.
    BitWriter w;
    storedBlock(w, noise(100, 2), true);
    Bytes stored = w.finish();
    stored.resize(60);
    EXPECT_EQ(decodeAll(stored, 100).status, archive::INFLATE_NO_INPUT);
}

} // namespace
