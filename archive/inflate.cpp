// DEFLATE decoder (RFC 1951) for deflated archive members.
//
// The decoder reads the archive file itself, 4096 bytes at a time, and writes into a 32 KiB
// window. Each full window goes to the output request, which throws away what lies before the
// requested range and says stop once the range is complete. Huffman codes are decoded through
// lookup tables: a root table indexed by the next m input bits, and sub-tables for longer codes.
//
// Input is hostile: member sizes, table headers and back-references all come from a file someone
// else made. Every table index is masked to its table, every copy stays inside the decoder's buffer,
// and a decode that needs bits past the end of its input fails instead of using made-up bits.
#include "archive/inflate.h"

#include <cstring>
#include <memory>
#include <new>

namespace archive {

namespace {

// One entry of a decoding table.
//   op 0..13: length or distance base in value, followed by op extra bits
//   op 15: end of block; op 16: literal (or code-length symbol) in value
//   op 17..: link to the sub-table at index value, indexed by op - 16 further bits
//   op 99: no symbol has this code
struct DecodeEntry {
    uint8_t op;
    uint8_t bits; // bits this entry consumes
    uint16_t value;
};

constexpr uint8_t OP_END_OF_BLOCK = 15;
constexpr uint8_t OP_LITERAL = 16;
constexpr uint8_t OP_INVALID = 99;

// Statuses of the table builder.
constexpr int BUILD_COMPLETE = 0;
constexpr int BUILD_INCOMPLETE = 1;
constexpr int BUILD_BAD_LENGTHS = 2;
constexpr int BUILD_NO_ROOM = 3;

// Root lookup widths: wide enough that most codes resolve in one lookup, small enough to build fast.
constexpr uint32_t FIXED_LITERAL_BITS = 7;
constexpr uint32_t FIXED_DISTANCE_BITS = 5;
constexpr uint32_t CODE_LENGTH_BITS = 7;
constexpr uint32_t DYNAMIC_LITERAL_BITS = 9;
constexpr uint32_t DYNAMIC_DISTANCE_BITS = 6;

// Table capacities. A code longer than the root opens at most two sub-tables (one more only when
// the end-of-block rule cuts a table short), each of at most 2^(15 - root) entries, so:
constexpr uint32_t LITERAL_TABLE_SIZE = (1u << 9) + 2 * 288 * (1u << 6);
constexpr uint32_t DISTANCE_TABLE_SIZE = (1u << 6) + 2 * 32 * (1u << 6);
constexpr uint32_t CODE_LENGTH_TABLE_SIZE = 1u << 7;

// Lengths 257..285; 286 and 287 exist in the fixed code but mean nothing.
constexpr uint16_t LENGTH_BASE[31] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27, 31,
                                      35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint8_t LENGTH_EXTRA[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                      3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
// Distances 0..29; codes 30 and 31 can be given lengths in a dynamic header but mean nothing.
constexpr uint16_t DISTANCE_BASE[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,  33,
                                        49,   65,   97,   129,  193,  257,   385,   513,   769, 1025, 1537,
                                        2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 0,   0};
constexpr uint8_t DISTANCE_EXTRA[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 99, 99};
// Order of the code-length code lengths in a dynamic block header.
constexpr uint8_t CODE_LENGTH_ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The fast loop runs while enough input is buffered for two refills (up to 7 bytes each, the
// second an 8-byte load) and while two literals and a longest match cannot reach the window's end.
constexpr int32_t FAST_INPUT_MARGIN = 24;
constexpr uint32_t FAST_WINDOW_LIMIT = WINDOW_SIZE - 260;
// Bytes after the window that chunked copies may scribble on.
constexpr uint32_t COPY_SLACK = 64;

// --- Decoder state: one decode at a time, set up whole by inflateMember and cleared on return. ---

struct Decoder {
    // The window sits in a buffer right after a copy of the previous window, so a back-reference
    // is always the plain address window + position - distance: no wrapping, and copies can run
    // ahead in chunks. Delivering a full window moves it down into the history half. Offsets into
    // the window mean the same as in a 32 KiB circular window: byte w of the window is output
    // position (window start + w), and the history keeps what a circular window holds above the
    // position.
    uint8_t* history = nullptr; // 32 KiB before the window
    uint8_t* window = nullptr;
    uint32_t windowPosition = 0;
    OutputRequest* request = nullptr;

    platform::DiskFile source; // private copy of the archive file, positioned by this decoder only
    uint8_t input[INPUT_BLOCK] = {};
    int32_t nextIn = 0;
    int32_t lastIn = -1;
    uint32_t compressedSize = 0;
    uint64_t bytesTaken = 0;
    bool endOfInput = false;

    uint64_t bitBuffer = 0; // unused input bits, least significant first; nothing above bitCount
    uint32_t bitCount = 0;
    // Zero bits stood in for input that was not there. Decoding is sound while all of them are
    // still in the bit buffer; once one has been consumed, the data has run out.
    uint32_t missingBits = 0;
};
Decoder state;

// The tables are no part of a decode's state: a dynamic block builds its three tables in full
// before it reads a code with them, and the fixed code's tables are built once and kept.
DecodeEntry literalTable[LITERAL_TABLE_SIZE];
DecodeEntry distanceTable[DISTANCE_TABLE_SIZE];
DecodeEntry codeLengthTable[CODE_LENGTH_TABLE_SIZE];
struct FixedTables {
    DecodeEntry literals[LITERAL_TABLE_SIZE];
    DecodeEntry distances[DISTANCE_TABLE_SIZE];
    uint32_t literalBits = 0;
    uint32_t distanceBits = 0;
    bool built = false;
};
FixedTables fixedCode;

inline uint64_t mask(uint32_t k) { return (uint64_t(1) << k) - 1; }

// --- Input ---

// Fetches the next 4096 bytes of the archive. Reads run on past the member into whatever follows
// it, since the last code of a member may need a few bits of lookahead; only once more than the
// compressed size plus two bytes have been taken is the input considered exhausted.
void refill() {
    state.nextIn = 0;
    state.lastIn = -1;
    if (state.endOfInput) return;
    if (state.bytesTaken > uint64_t(state.compressedSize) + 2) {
        state.endOfInput = true;
        return;
    }
    uint64_t got = 0;
    if (platform::readDiskFile(state.source, state.input, INPUT_BLOCK, &got) != 0 || got == 0) {
        state.endOfInput = true;
        state.bytesTaken += INPUT_BLOCK;
        return;
    }
    state.bytesTaken += got;
    state.lastIn = int32_t(got) - 1;
}

inline void need(uint32_t k) {
    while (state.bitCount < k) {
        if (state.nextIn > state.lastIn) refill();
        uint64_t byte = 0;
        if (state.nextIn <= state.lastIn)
            byte = state.input[state.nextIn++];
        else
            state.missingBits += 8;
        state.bitBuffer |= byte << state.bitCount;
        state.bitCount += 8;
    }
}

inline void drop(uint32_t k) {
    state.bitBuffer >>= k;
    state.bitCount -= k;
}

inline uint32_t take(uint32_t k) {
    need(k);
    uint32_t value = uint32_t(state.bitBuffer & mask(k));
    drop(k);
    return value;
}

inline bool inputOverrun() { return state.missingBits > state.bitCount; }

// --- Output ---

// Passes a full window on; false when the request is complete and decoding should stop.
inline bool flushFullWindow() {
    if (deliverWindow(*state.request, state.window, WINDOW_SIZE) == Delivery::Stop) return false;
    std::memcpy(state.history, state.window, WINDOW_SIZE);
    state.windowPosition = 0;
    return true;
}

// Copies n bytes from distance (1 to 32768) back, flushing at the window's end. Byte by byte, so
// a source that overlaps its own output repeats the pattern. Returns false when a flush in
// between completed the request.
bool copyMatch(uint32_t distance, uint32_t n) {
    while (n > 0) {
        uint32_t run = WINDOW_SIZE - state.windowPosition;
        if (run > n) run = n;
        uint8_t* out = state.window + state.windowPosition;
        const uint8_t* from = out - distance;
        for (uint32_t i = 0; i < run; ++i) out[i] = from[i];
        state.windowPosition += run;
        n -= run;
        if (state.windowPosition == WINDOW_SIZE && !flushFullWindow()) return false;
    }
    return true;
}

// --- Tables ---

// Builds a decoding table for the code lengths[0..n-1] (canonical code, RFC 1951 3.2.2). Symbols
// below simpleCount decode to themselves; the others to base/extra[symbol - simpleCount]. rootBits
// comes in as the wanted root width and goes out as the width used. Every entry the code leaves
// unreached is op 99, and an empty code gives a one-entry table holding just that.
int buildDecodeTable(const uint8_t* lengths, uint32_t n, uint32_t simpleCount, const uint16_t* base,
                     const uint8_t* extra, DecodeEntry* table, uint32_t capacity, uint32_t& rootBits) {
    const DecodeEntry invalid = {OP_INVALID, 0, 0};
    uint32_t count[17] = {};
    for (uint32_t i = 0; i < n; ++i) {
        if (lengths[i] > 16) {
            rootBits = 0;
            table[0] = invalid;
            return BUILD_BAD_LENGTHS;
        }
        ++count[lengths[i]];
    }
    if (count[0] == n) {
        rootBits = 0;
        table[0] = invalid;
        return BUILD_COMPLETE;
    }

    uint32_t shortest = 1;
    while (count[shortest] == 0) ++shortest;
    uint32_t longest = 16;
    while (count[longest] == 0) --longest;
    if (rootBits < shortest) rootBits = shortest;
    if (rootBits > longest) rootBits = longest;
    // The end-of-block code should end exactly at a table boundary, so reading it never needs
    // more bits than it has.
    uint32_t endOfBlockLength = n > 256 ? lengths[256] : 16;

    int32_t left = 1;
    for (uint32_t len = 1; len <= 16; ++len) {
        left = (left << 1) - int32_t(count[len]);
        if (left < 0) {
            rootBits = 0;
            table[0] = invalid;
            return BUILD_BAD_LENGTHS;
        }
    }

    // Symbols in canonical order: by length, then by symbol.
    uint16_t offset[17];
    offset[1] = 0;
    for (uint32_t len = 1; len < 16; ++len) offset[len + 1] = uint16_t(offset[len] + count[len]);
    uint16_t sorted[320];
    for (uint32_t i = 0; i < n; ++i)
        if (lengths[i] != 0) sorted[offset[lengths[i]]++] = uint16_t(i);

    // Walk the codes in order with a stack of open tables. code holds the current code
    // bit-reversed (the order input bits arrive in); w is the number of bits the enclosing
    // tables resolve.
    uint32_t levelBits[17], levelStart[17], levelPrefix[17];
    int level = 0;
    uint32_t w = 0;
    levelBits[0] = rootBits;
    levelStart[0] = 0;
    levelPrefix[0] = 0;
    uint32_t used = 1u << rootBits;
    if (used > capacity) return BUILD_NO_ROOM;
    for (uint32_t i = 0; i < used; ++i) table[i] = invalid;

    uint32_t code = 0;
    uint32_t symbolIndex = 0;
    for (uint32_t len = shortest; len <= longest; ++len) {
        for (uint32_t remaining = count[len]; remaining > 0; --remaining) {
            // Open sub-tables until this code fits the current level.
            while (len > w + levelBits[level]) {
                uint32_t parentBits = levelBits[level];
                uint32_t parentStart = levelStart[level];
                uint32_t parentW = w;
                w += parentBits;
                ++level;
                // Smallest width whose space the codes of this and the next lengths fill.
                uint32_t limit = longest - w < rootBits ? longest - w : rootBits;
                uint32_t j = len - w;
                if ((1u << j) > remaining) {
                    uint32_t space = (1u << j) - remaining;
                    uint32_t nextLen = len;
                    while (++j < limit) {
                        space <<= 1;
                        if (space <= count[++nextLen]) break;
                        space -= count[nextLen];
                    }
                }
                if (w + j > endOfBlockLength && w < endOfBlockLength) j = endOfBlockLength - w;
                uint32_t size = 1u << j;
                if (used + size > capacity) return BUILD_NO_ROOM;
                levelBits[level] = j;
                levelStart[level] = used;
                levelPrefix[level] = code & uint32_t(mask(w));
                for (uint32_t i = 0; i < size; ++i) table[used + i] = invalid;
                table[parentStart + (levelPrefix[level] >> parentW)] =
                    DecodeEntry{uint8_t(16 + j), uint8_t(parentBits), uint16_t(used)};
                used += size;
            }

            uint32_t symbol = sorted[symbolIndex++];
            DecodeEntry entry;
            entry.bits = uint8_t(len - w);
            if (symbol < simpleCount) {
                entry.op = symbol < 256 ? OP_LITERAL : OP_END_OF_BLOCK;
                entry.value = uint16_t(symbol);
            } else {
                entry.op = extra[symbol - simpleCount];
                entry.value = base[symbol - simpleCount];
            }
            uint32_t stride = 1u << (len - w);
            uint32_t size = 1u << levelBits[level];
            for (uint32_t i = code >> w; i < size; i += stride) table[levelStart[level] + i] = entry;

            // Next code of this length, counted bit-reversed.
            uint32_t bit = 1u << (len - 1);
            while (code & bit) {
                code ^= bit;
                bit >>= 1;
            }
            code ^= bit;

            // Leave the tables this code has filled.
            while (level > 0 && (code & mask(w)) != levelPrefix[level]) {
                --level;
                w -= levelBits[level];
            }
        }
    }
    return left > 0 && longest != 1 ? BUILD_INCOMPLETE : BUILD_COMPLETE;
}

// The fixed code never changes, so its tables are built once and kept.
bool buildFixedTables() {
    if (fixedCode.built) return true;
    uint8_t lengths[288];
    for (uint32_t i = 0; i < 144; ++i) lengths[i] = 8;
    for (uint32_t i = 144; i < 256; ++i) lengths[i] = 9;
    for (uint32_t i = 256; i < 280; ++i) lengths[i] = 7;
    for (uint32_t i = 280; i < 288; ++i) lengths[i] = 8;
    fixedCode.literalBits = FIXED_LITERAL_BITS;
    if (buildDecodeTable(lengths, 288, 257, LENGTH_BASE, LENGTH_EXTRA, fixedCode.literals, LITERAL_TABLE_SIZE,
                         fixedCode.literalBits) != BUILD_COMPLETE)
        return false;
    for (uint32_t i = 0; i < 30; ++i) lengths[i] = 5;
    fixedCode.distanceBits = FIXED_DISTANCE_BITS;
    // Incomplete: 30 of the 32 five-bit codes are used.
    if (buildDecodeTable(lengths, 30, 0, DISTANCE_BASE, DISTANCE_EXTRA, fixedCode.distances, DISTANCE_TABLE_SIZE,
                         fixedCode.distanceBits) > BUILD_INCOMPLETE)
        return false;
    fixedCode.built = true;
    return true;
}

// --- Codes ---

// Decodes one symbol bit by bit through the root and sub-tables.
inline DecodeEntry decodeSymbol(const DecodeEntry* table, uint32_t rootBits) {
    need(rootBits);
    DecodeEntry entry = table[state.bitBuffer & mask(rootBits)];
    while (entry.op > OP_LITERAL && entry.op != OP_INVALID) {
        drop(entry.bits);
        uint32_t k = entry.op - 16u;
        need(k);
        entry = table[entry.value + (state.bitBuffer & mask(k))];
    }
    if (entry.op != OP_INVALID) drop(entry.bits);
    return entry;
}

constexpr int FAST_CONTINUE = 2; // fast loop ran out of input or window room

// Copies a match whose end stays well inside the buffer. Chunks may write up to 15 bytes past the
// match: those bytes lie ahead of the output (or in the slack), and are written again later.
inline uint8_t* copyMatchFast(uint8_t* out, uint32_t distance, uint32_t length) {
    const uint8_t* from = out - distance;
    uint8_t* const end = out + length;
    if (distance >= 16) {
        // Each chunk reads only bytes written before it.
        do {
            std::memcpy(out, from, 16);
            out += 16;
            from += 16;
        } while (out < end);
    } else if (distance >= 8) {
        do {
            std::memcpy(out, from, 8);
            out += 8;
            from += 8;
        } while (out < end);
    } else if (distance == 1) {
        std::memset(out, *from, length);
    } else {
        do *out++ = *from++;
        while (out < end);
    }
    return end;
}

// The hot loop: while enough input is buffered and the window has room, codes are decoded from a
// 64-bit bit buffer refilled eight bytes at a time, with no per-byte refill or window checks.
// Whole bytes it has loaded but not used go back to the input buffer at the end.
int decodeCodesFast(const DecodeEntry* lengthTable, uint32_t lengthBits, const DecodeEntry* distanceCodes,
                    uint32_t distanceBits) {
    const uint8_t* in = state.input + state.nextIn;
    const uint8_t* const entryIn = in;
    const uint8_t* const inLimit = state.input + state.lastIn + 1 - FAST_INPUT_MARGIN;
    uint64_t hold = state.bitBuffer;
    uint32_t bits = state.bitCount;
    uint8_t* out = state.window + state.windowPosition;
    uint8_t* const outLimit = state.window + FAST_WINDOW_LIMIT;
    const uint64_t lengthMask = mask(lengthBits);
    const uint64_t distanceMask = mask(distanceBits);
    int status = FAST_CONTINUE;

    // Keeps at least 56 bits in the buffer: enough for three literal codes, or two and a length
    // code with its extra bits (20 at most), or a distance code with its extra bits (28).
    auto refill = [&] {
        uint64_t chunk;
        std::memcpy(&chunk, in, 8);
        hold |= chunk << bits;
        in += (63 - bits) >> 3;
        bits |= 56;
    };
    // Resolves an entry through its sub-tables; the codes are never longer than 15 bits.
    auto resolve = [&](const DecodeEntry* table, DecodeEntry entry) {
        while (entry.op > OP_LITERAL && entry.op != OP_INVALID) {
            hold >>= entry.bits;
            bits -= entry.bits;
            entry = table[entry.value + (hold & mask(entry.op - 16u))];
        }
        return entry;
    };

    while (in <= inLimit && out < outLimit) {
        refill();
        DecodeEntry entry = resolve(lengthTable, lengthTable[hold & lengthMask]);
        if (entry.op == OP_LITERAL) {
            // Up to three literals per refill; after two, 26 bits remain for a length code.
            hold >>= entry.bits;
            bits -= entry.bits;
            *out++ = uint8_t(entry.value);
            entry = resolve(lengthTable, lengthTable[hold & lengthMask]);
            if (entry.op == OP_LITERAL) {
                hold >>= entry.bits;
                bits -= entry.bits;
                *out++ = uint8_t(entry.value);
                entry = resolve(lengthTable, lengthTable[hold & lengthMask]);
                if (entry.op == OP_LITERAL) {
                    hold >>= entry.bits;
                    bits -= entry.bits;
                    *out++ = uint8_t(entry.value);
                    continue;
                }
            }
        }
        if (entry.op == OP_INVALID) {
            status = INFLATE_BAD_DATA;
            break;
        }
        hold >>= entry.bits;
        bits -= entry.bits;
        if (entry.op == OP_END_OF_BLOCK) {
            status = INFLATE_OK;
            break;
        }
        uint32_t length = entry.value + uint32_t(hold & mask(entry.op));
        hold >>= entry.op;
        bits -= entry.op;

        refill(); // a distance code and its extra bits take up to 28 bits
        entry = resolve(distanceCodes, distanceCodes[hold & distanceMask]);
        if (entry.op >= OP_END_OF_BLOCK) { // invalid; literal or end-of-block entries have no place here
            status = INFLATE_BAD_DATA;
            break;
        }
        hold >>= entry.bits;
        bits -= entry.bits;
        uint32_t distance = entry.value + uint32_t(hold & mask(entry.op));
        hold >>= entry.op;
        bits -= entry.op;
        out = copyMatchFast(out, distance, length);
    }

    // Give back the whole bytes this loop loaded but did not use.
    uint32_t unused = bits >> 3;
    uint32_t loaded = uint32_t(in - entryIn);
    if (unused > loaded) unused = loaded;
    in -= unused;
    bits -= unused * 8;
    state.bitBuffer = hold & mask(bits);
    state.bitCount = bits;
    state.nextIn = int32_t(in - state.input);
    state.windowPosition = uint32_t(out - state.window);
    return status;
}

// Decodes literal/length and distance codes until the end of the block.
int decodeCodes(const DecodeEntry* lengthTable, uint32_t lengthBits, const DecodeEntry* distanceCodes,
                uint32_t distanceBits) {
    for (;;) {
        const bool roomForFastLoop =
            state.lastIn + 1 - state.nextIn >= FAST_INPUT_MARGIN && state.windowPosition < FAST_WINDOW_LIMIT;
        if (!state.endOfInput && roomForFastLoop) {
            int status = decodeCodesFast(lengthTable, lengthBits, distanceCodes, distanceBits);
            if (status != FAST_CONTINUE) return status;
        }

        DecodeEntry entry = decodeSymbol(lengthTable, lengthBits);
        if (inputOverrun()) return INFLATE_NO_INPUT;
        if (entry.op == OP_INVALID) return INFLATE_BAD_DATA;
        if (entry.op == OP_LITERAL) {
            state.window[state.windowPosition++] = uint8_t(entry.value);
            if (state.windowPosition == WINDOW_SIZE && !flushFullWindow()) return INFLATE_STOP;
            continue;
        }
        if (entry.op == OP_END_OF_BLOCK) return INFLATE_OK;

        uint32_t length = entry.value + take(entry.op);
        entry = decodeSymbol(distanceCodes, distanceBits);
        if (inputOverrun()) return INFLATE_NO_INPUT;
        if (entry.op >= OP_END_OF_BLOCK) return INFLATE_BAD_DATA;
        uint32_t distance = entry.value + take(entry.op);
        if (inputOverrun()) return INFLATE_NO_INPUT;
        if (!copyMatch(distance, length)) return INFLATE_STOP;
    }
}

// --- Blocks ---

int decodeStoredBlock() {
    drop(state.bitCount % 8);
    uint32_t length = take(16);
    uint32_t complement = take(16);
    if (inputOverrun()) return INFLATE_NO_INPUT;
    if (length != (~complement & 0xFFFFu)) return INFLATE_BAD_DATA;

    // Whole bytes still held in the bit buffer come first, then straight copies from the input.
    while (length > 0 && state.bitCount >= 8) {
        if (state.missingBits > state.bitCount - 8) return INFLATE_NO_INPUT;
        state.window[state.windowPosition++] = uint8_t(state.bitBuffer);
        drop(8);
        --length;
        if (state.windowPosition == WINDOW_SIZE && !flushFullWindow()) return INFLATE_STOP;
    }
    while (length > 0) {
        if (state.nextIn > state.lastIn) {
            refill();
            if (state.nextIn > state.lastIn) return INFLATE_NO_INPUT;
        }
        uint32_t run = length;
        if (run > uint32_t(state.lastIn + 1 - state.nextIn)) run = uint32_t(state.lastIn + 1 - state.nextIn);
        if (run > WINDOW_SIZE - state.windowPosition) run = WINDOW_SIZE - state.windowPosition;
        std::memcpy(state.window + state.windowPosition, state.input + state.nextIn, run);
        state.nextIn += int32_t(run);
        state.windowPosition += run;
        length -= run;
        if (state.windowPosition == WINDOW_SIZE && !flushFullWindow()) return INFLATE_STOP;
    }
    return INFLATE_OK;
}

int decodeFixedBlock() {
    if (!buildFixedTables()) return INFLATE_BAD_DATA;
    return decodeCodes(fixedCode.literals, fixedCode.literalBits, fixedCode.distances, fixedCode.distanceBits);
}

int decodeDynamicBlock() {
    uint32_t literalCount = take(5) + 257;
    uint32_t distanceCount = take(5) + 1;
    uint32_t codeLengthCount = take(4) + 4;
    // Five bits cannot say more than 288 and 32; codes 286, 287, 30 and 31 decode as invalid.

    uint8_t lengths[320] = {};
    for (uint32_t i = 0; i < codeLengthCount; ++i) lengths[CODE_LENGTH_ORDER[i]] = uint8_t(take(3));
    if (inputOverrun()) return INFLATE_NO_INPUT;
    uint32_t codeLengthBits = CODE_LENGTH_BITS;
    if (buildDecodeTable(lengths, 19, 19, nullptr, nullptr, codeLengthTable, CODE_LENGTH_TABLE_SIZE,
                         codeLengthBits) != BUILD_COMPLETE)
        return INFLATE_BAD_DATA;

    uint32_t total = literalCount + distanceCount;
    uint32_t previous = 0;
    for (uint32_t i = 0; i < 320; ++i) lengths[i] = 0;
    for (uint32_t index = 0; index < total;) {
        DecodeEntry entry = decodeSymbol(codeLengthTable, codeLengthBits);
        if (entry.op == OP_INVALID) return inputOverrun() ? INFLATE_NO_INPUT : INFLATE_BAD_DATA;
        uint32_t symbol = entry.value;
        if (symbol < 16) {
            lengths[index++] = uint8_t(symbol);
            previous = symbol;
            continue;
        }
        uint32_t repeat;
        uint32_t value = 0;
        if (symbol == 16) {
            repeat = 3 + take(2);
            value = previous;
        } else if (symbol == 17) {
            repeat = 3 + take(3);
            previous = 0;
        } else {
            repeat = 11 + take(7);
            previous = 0;
        }
        // A repeat running past the declared lengths is invalid data, whichever symbol made it.
        if (repeat > total - index) return inputOverrun() ? INFLATE_NO_INPUT : INFLATE_BAD_DATA;
        while (repeat-- > 0) lengths[index++] = uint8_t(value);
    }
    if (inputOverrun()) return INFLATE_NO_INPUT;

    uint32_t lengthBits = DYNAMIC_LITERAL_BITS;
    if (buildDecodeTable(lengths, literalCount, 257, LENGTH_BASE, LENGTH_EXTRA, literalTable, LITERAL_TABLE_SIZE,
                         lengthBits) != BUILD_COMPLETE)
        return INFLATE_BAD_DATA;
    // An incomplete distance code is legal (a single distance code is common); an empty one
    // leaves a table whose only entry is invalid, so a length code then fails as invalid data.
    uint32_t distanceBits = DYNAMIC_DISTANCE_BITS;
    if (buildDecodeTable(lengths + literalCount, distanceCount, 0, DISTANCE_BASE, DISTANCE_EXTRA, distanceTable,
                         DISTANCE_TABLE_SIZE, distanceBits) > BUILD_INCOMPLETE)
        return INFLATE_BAD_DATA;
    return decodeCodes(literalTable, lengthBits, distanceTable, distanceBits);
}

int decodeBlock(bool& last) {
    last = take(1) != 0;
    uint32_t type = take(2);
    if (inputOverrun()) return INFLATE_NO_INPUT;
    int status;
    switch (type) {
    case 0: status = decodeStoredBlock(); break;
    case 1: status = decodeFixedBlock(); break;
    case 2: status = decodeDynamicBlock(); break;
    default: status = INFLATE_BAD_DATA; break;
    }
    // Once the input is exhausted, anything that looks bad may only have been read from the
    // stand-in bits: the data ran out.
    if (status == INFLATE_BAD_DATA && state.missingBits > 0) status = INFLATE_NO_INPUT;
    return status;
}

// --- Resume points ---

// Loads a saved decoder state (already checked sound) into the window and bit reader. Saved bytes
// below the window position are output of the current window; those above it are older output,
// which lives in the history.
void applyResumePoint(const ResumePoint& resume) {
    const std::vector<uint8_t>& data = resume.windowData;
    for (size_t at = 0; at < data.size();) {
        uint32_t offset = data[at] | uint32_t(data[at + 1]) << 8;
        uint32_t count = data[at + 2] | uint32_t(data[at + 3]) << 8;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t slot = offset + i;
            (slot < resume.windowPosition ? state.window : state.history)[slot] = data[at + 4 + i];
        }
        at += 4 + count;
    }
    uint32_t savedCount = (resume.bitState >> 16) & 0xFF;
    state.windowPosition = resume.windowPosition;
    state.bitCount = savedCount;
    state.bitBuffer = resume.bitState & mask(savedCount);
}

// Saves the state between two blocks as a resume point: the whole window with its history, the
// input position, and the bits of a partly used byte (whole bytes held in the bit buffer are given
// back to the input). Not when stand-in bits or a failed read have made the input position unsure.
void saveBoundary(ResumePoint& point) {
    if (state.missingBits > 0 || state.endOfInput) return;
    uint64_t unread = uint64_t(state.lastIn + 1 - state.nextIn) + state.bitCount / 8;
    uint32_t savedCount = state.bitCount % 8;
    point.compressedOffset = uint32_t(state.bytesTaken - unread);
    point.uncompressedOffset = state.request->position;
    point.bitState = uint32_t(state.bitBuffer & mask(savedCount)) | savedCount << 16;
    point.windowPosition = uint16_t(state.windowPosition);
    std::vector<uint8_t>& data = point.windowData;
    data.resize(8 + WINDOW_SIZE);
    const uint32_t records[2][2] = {{0, state.windowPosition},
                                    {state.windowPosition, WINDOW_SIZE - state.windowPosition}};
    uint8_t* at = data.data();
    for (const auto& [offset, count] : records) {
        const uint8_t header[4] = {uint8_t(offset), uint8_t(offset >> 8), uint8_t(count), uint8_t(count >> 8)};
        std::memcpy(at, header, 4);
        std::memcpy(at + 4, (offset < state.windowPosition ? state.window : state.history) + offset, count);
        at += 4 + count;
    }
    state.request->boundaryReached = true;
}

} // namespace

bool resumePointIsSound(const ResumePoint& point) {
    if (((point.bitState >> 16) & 0xFF) > 16 || point.windowPosition >= WINDOW_SIZE) return false;
    const std::vector<uint8_t>& data = point.windowData;
    for (size_t at = 0; at < data.size();) {
        if (data.size() - at < 4) return false;
        uint32_t offset = data[at] | uint32_t(data[at + 1]) << 8;
        uint32_t count = data[at + 2] | uint32_t(data[at + 3]) << 8;
        at += 4;
        if (count > data.size() - at || offset + count > WINDOW_SIZE) return false;
        at += count;
    }
    return true;
}

Delivery deliverWindow(OutputRequest& request, const uint8_t* bytes, uint32_t n) {
    uint64_t position = request.position;
    const uint64_t start = request.start;
    const uint64_t end = start + request.length;
    if (position < start) {
        if (start - position >= n) {
            request.position += n;
            return Delivery::Continue;
        }
        uint32_t skip = uint32_t(start - position);
        bytes += skip;
        n -= skip;
        position = start;
    }
    // The destination offset follows from the position, so nothing lands outside the request.
    if (end >= position + n) {
        std::memcpy(request.destination + (position - start), bytes, n);
        request.delivered = uint32_t(position - start) + n;
        request.position = uint32_t(position + n);
        return Delivery::Continue;
    }
    uint32_t rest = end > position ? uint32_t(end - position) : 0;
    if (rest > 0) std::memcpy(request.destination + (position - start), bytes, rest);
    if (end > position) request.delivered = uint32_t(end - start);
    request.position = uint32_t(position + rest);
    return Delivery::Stop;
}

int inflateMember(const platform::DiskFile& archiveFile, uint32_t dataOffset, uint32_t size, uint16_t method,
                  const ResumePoint* resume, OutputRequest& output) {
    if (method != 8) return INFLATE_BAD_METHOD;
    // Zero-filled, so a back-reference to bytes no data has written yet reads zeros, never old
    // heap contents.
    std::unique_ptr<uint8_t[]> windowBlock(new (std::nothrow) uint8_t[2 * WINDOW_SIZE + COPY_SLACK]());
    if (!windowBlock) return INFLATE_NO_MEMORY;
    output.delivered = 0;
    output.boundaryReached = false;
    output.position = 0;
    if (resume && !resumePointIsSound(*resume)) return INFLATE_BAD_DATA;
    state = Decoder{};
    state.history = windowBlock.get();
    state.window = state.history + WINDOW_SIZE;
    state.request = &output;
    uint32_t resumeOffset = 0;
    if (resume) {
        applyResumePoint(*resume);
        resumeOffset = resume->compressedOffset;
        output.position = resume->uncompressedOffset;
    }

    // A private copy of the archive file: positioning it is only setting a number, so it cannot
    // fail, and the archive's own record is left as it was.
    state.source = archiveFile;
    state.source.recordSize = 1;
    state.source.position = uint64_t(dataOffset) + resumeOffset;
    state.compressedSize = size;
    state.bytesTaken = resumeOffset;

    int status;
    bool last = false;
    do {
        status = decodeBlock(last);
        if (status == INFLATE_OK && !last && output.boundary) saveBoundary(*output.boundary);
    } while (status == INFLATE_OK && !last);
    if (status == INFLATE_OK || status == INFLATE_STOP) {
        deliverWindow(output, state.window, state.windowPosition);
        status = INFLATE_OK;
    }
    // Nothing of this decode (its window is about to be freed) stays reachable.
    state = Decoder{};
    return status;
}

} // namespace archive
