// The archive file interface: mounting ZIP archives written here with zlib, reading stored and
// deflated members, loose files that shadow members, error codes, and resume indexes.
#include "archive/archive.h"

#include <gtest/gtest.h>

#include "tests/archive_zlib_reference.h"
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using namespace archive;

Bytes text(size_t size, uint32_t seed) {
    static const char* words[] = {"mesh ", "texture ", "scene ", "flare ", "knot\n", "the ", "a "};
    Bytes out;
    while (out.size() < size) {
        seed = seed * 1103515245u + 12345u;
        const char* word = words[(seed >> 16) % 7];
        out.insert(out.end(), word, word + std::strlen(word));
    }
    out.resize(size);
    return out;
}

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct Member {
    Member(std::string name, Bytes data, uint16_t method, Bytes packed = {})
        : name(std::move(name)), data(std::move(data)), method(method), packed(std::move(packed)) {}
    std::string name;
    Bytes data;
    uint16_t method; // 0 stored, 8 deflated
    Bytes packed;    // written as the member's data when not empty (else stored or deflated data)
};

void put16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(Bytes& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A ZIP file: local headers with their data, then (unless left out) a central directory.
Bytes zipFile(const std::vector<Member>& members, bool centralDirectory = true) {
    Bytes out;
    for (const Member& m : members) {
        Bytes packed = !m.packed.empty() ? m.packed : m.method == 8 ? rawDeflate(m.data) : m.data;
        put32(out, 0x04034B50);
        put16(out, 20);
        put16(out, 0);
        put16(out, m.method);
        put16(out, 0x6000); // 12:00
        put16(out, 0x5A21); // 2025-01-01
        put32(out, uint32_t(crc32(0, m.data.data(), uInt(m.data.size()))));
        put32(out, uint32_t(packed.size()));
        put32(out, uint32_t(m.data.size()));
        put16(out, uint32_t(m.name.size()));
        put16(out, 0);
        out.insert(out.end(), m.name.begin(), m.name.end());
        out.insert(out.end(), packed.begin(), packed.end());
    }
    if (centralDirectory) {
        // The walk stops at the first central-directory signature; the rest is never read.
        put32(out, 0x02014B50);
        out.resize(out.size() + 42, 0);
        put32(out, 0x06054B50);
        out.resize(out.size() + 18, 0);
    }
    return out;
}

void writeFile(const std::string& name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Every test runs in a fresh folder of its own, since loose files are looked up by bare name.
class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        char pattern[] = "/tmp/archive_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        std::filesystem::current_path(folder_);
        takeFileError();
    }
    void TearDown() override {
        unmountAllArchives();
        takeFileError();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
    }

    MountedArchive* mount(const std::vector<Member>& members, const char* name = "test.yip",
                          bool centralDirectory = true) {
        writeFile(name, zipFile(members, centralDirectory));
        return mountArchive(name, false);
    }

    // Opens a name, expecting success.
    void open(ArchiveFile& file, const char* name, uint32_t recordSize = 1) {
        assignFile(file, name);
        openFile(file, recordSize);
        ASSERT_EQ(takeFileError(), 0) << name;
    }

    // Reads count records at position; the records read come back in *read.
    Bytes readAt(ArchiveFile& file, uint32_t position, uint32_t count, uint32_t* read = nullptr) {
        seekFile(file, position);
        EXPECT_EQ(takeFileError(), 0);
        Bytes out(size_t(count) * (file.recordSize ? file.recordSize : 1));
        uint32_t got = 0;
        readBlock(file, out.data(), count, &got);
        if (read) *read = got;
        out.resize(size_t(got) * (file.recordSize ? file.recordSize : 1));
        return out;
    }

    std::filesystem::path previous_, folder_;
};

Bytes slice(const Bytes& data, size_t start, size_t length) {
    if (start > data.size()) return {};
    if (length > data.size() - start) length = data.size() - start;
    return Bytes(data.begin() + long(start), data.begin() + long(start + length));
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArchiveTest, StoredAndDeflatedMembersReadByteExactAtManyOffsets) {
    Bytes big = text(100000, 1);
    Bytes noise(50000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t((i * 2654435761u) >> 13);
    std::vector<Member> members = {{"big.txt", big, 8},       {"big-stored.txt", big, 0}, {"noise.bin", noise, 8},
                                   {"empty.bin", {}, 8},       {"empty-stored.bin", {}, 0}};
    ASSERT_NE(mount(members), nullptr);
    ASSERT_EQ(takeFileError(), 0);

    for (const Member& m : members) {
        ArchiveFile file;
        open(file, m.name.c_str());
        EXPECT_EQ(fileSize(file), m.data.size()) << m.name;
        const uint32_t size = uint32_t(m.data.size());
        const uint32_t ranges[][2] = {{0, size}, {0, 7},          {1, 32768},     {32767, 3},    {32768, 40000},
                                      {65530, 20}, {size / 2, 999}, {size - 5, 5}, {size - 5, 100}};
        for (const auto& range : ranges) {
            if (range[0] > size) continue;
            uint32_t read = 0;
            Bytes got = readAt(file, range[0], range[1], &read);
            EXPECT_EQ(takeFileError(), 0) << m.name << " at " << range[0];
            EXPECT_EQ(got, slice(m.data, range[0], range[1])) << m.name << " at " << range[0];
            EXPECT_EQ(read, got.size());
            EXPECT_EQ(filePosition(file), range[0] + read);
        }
        EXPECT_TRUE(atEndOfFile(file)); // the last range read to the end
        closeFile(file);
        EXPECT_EQ(takeFileError(), 0);
    }

    // Reading on piece by piece gives the member in order.
    ArchiveFile file;
    open(file, "big.txt");
    Bytes joined, piece(7001);
    for (uint32_t got = 1; got > 0;) {
        readBlock(file, piece.data(), uint32_t(piece.size()), &got);
        joined.insert(joined.end(), piece.begin(), piece.begin() + got);
    }
    EXPECT_EQ(joined, big);
    closeFile(file);
}

TEST_F(ArchiveTest, MemberOfSize100SeeksAndReadsAtItsBounds) {
    Bytes data = text(100, 2);
    ASSERT_NE(mount({{"hundred", data, 8}, {"hundred-stored", data, 0}}), nullptr);
    for (const char* name : {"hundred", "hundred-stored"}) {
        ArchiveFile file;
        open(file, name);
        EXPECT_EQ(fileSize(file), 100u);
        seekFile(file, 100);
        EXPECT_EQ(takeFileError(), 0);
        EXPECT_TRUE(atEndOfFile(file));
        seekFile(file, 101);
        EXPECT_EQ(takeFileError(), ZFS_SEEK_OUT_OF_BOUNDS);
        EXPECT_EQ(filePosition(file), 100u);

        uint32_t read = 99;
        Bytes got = readAt(file, 80, 50, &read);
        EXPECT_EQ(read, 20u);
        EXPECT_EQ(got, slice(data, 80, 20));
        Bytes more(50);
        readBlock(file, more.data(), 50, &read);
        EXPECT_EQ(read, 0u);
        EXPECT_EQ(takeFileError(), 0);
        readBlock(file, more.data(), 0, &read);
        EXPECT_EQ(read, 0u);
        closeFile(file);
    }

    // Sizes and counts are in records.
    ArchiveFile file;
    open(file, "hundred", 3);
    EXPECT_EQ(fileSize(file), 33u);
    uint32_t read = 0;
    Bytes got = readAt(file, 95, 4, &read);
    EXPECT_EQ(read, 1u); // 5 bytes remain: one whole record
    closeFile(file);
}

TEST_F(ArchiveTest, UnreadableMemberDataFailsTheReadAndKeepsThePosition) {
    Bytes data = text(5000, 3);
    Bytes packed = rawDeflate(data);
    Bytes corrupt = packed;
    corrupt[0] |= 0x06; // block type 3
    Bytes shortStream = rawDeflate(slice(data, 0, 4000));
    ASSERT_NE(mount({{"method12", data, 12, data},
                     {"corrupt", data, 8, corrupt},
                     {"short", data, 8, shortStream},
                     {"truncated", data, 8, slice(packed, 0, packed.size() / 2)}}),
              nullptr);
    struct Case {
        const char* name;
        int code;
    } cases[] = {{"method12", ZFS_BAD_METHOD}, {"corrupt", ZFS_BAD_DATA}, {"short", ZFS_BAD_DATA}};
    for (const Case& c : cases) {
        ArchiveFile file;
        open(file, c.name);
        EXPECT_EQ(fileSize(file), 5000u) << c.name;
        seekFile(file, 10);
        Bytes out(5000, 0);
        uint32_t read = 99;
        readBlock(file, out.data(), 4990, &read);
        EXPECT_EQ(takeFileError(), c.code) << c.name;
        EXPECT_EQ(read, 0u) << c.name;
        EXPECT_EQ(filePosition(file), 10u) << c.name;
        closeFile(file);
    }

    // The last member's data is cut in half and the archive ends there (no central directory):
    // the decoder runs out of input.
    writeFile("cut.yip", zipFile({{"truncated", data, 8, slice(packed, 0, packed.size() / 2)}}, false));
    unmountAllArchives();
    ASSERT_NE(mountArchive("cut.yip", false), nullptr);
    ArchiveFile file;
    open(file, "truncated");
    Bytes out(5000);
    readBlock(file, out.data(), 5000);
    EXPECT_EQ(takeFileError(), ZFS_READ_ERROR);
    EXPECT_EQ(filePosition(file), 0u);
    closeFile(file);

    // A stored member whose data the archive file does not hold.
    Bytes cut = zipFile({{"stored", data, 0}}, false);
    cut.resize(cut.size() - 1000);
    writeFile("cut-stored.yip", cut);
    ASSERT_NE(mountArchive("cut-stored.yip", false), nullptr);
    ArchiveFile stored;
    open(stored, "stored");
    Bytes head = readAt(stored, 0, 100);
    EXPECT_EQ(head, slice(data, 0, 100));
    readBlock(stored, out.data(), 5000);
    EXPECT_EQ(takeFileError(), platform::DISK_READ_ERROR);
    EXPECT_EQ(filePosition(stored), 100u);
    closeFile(stored);
}

TEST_F(ArchiveTest, SizeBoundNeverExceedsWhatTheDataCanHold) {
    // Headers that claim far more than their data: a stored member with 10 bytes of data and a
    // deflated one with 10 bytes of stream; an honest member is bounded by its own size.
    Bytes claimed(100000, 'x');
    mount({{"stored.raw", claimed, 0, Bytes(10, 'a')},
           {"deflated.raw", claimed, 8, Bytes(10, 0x03)},
           {"honest.raw", text(5000, 3), 8}});
    ArchiveFile file;
    open(file, "stored.raw");
    EXPECT_EQ(fileSize(file), 100000u);
    EXPECT_EQ(fileSizeBound(file), 10u);
    closeFile(file);
    open(file, "deflated.raw");
    EXPECT_EQ(fileSizeBound(file), 10u * 1032u + 1032u);
    closeFile(file);
    open(file, "honest.raw");
    EXPECT_EQ(fileSizeBound(file), 5000u);
    closeFile(file);
}

TEST_F(ArchiveTest, HeaderWalkStopsAtTheCentralDirectoryOrAtAFault) {
    // Central directory first: no members, no error.
    writeFile("cd.yip", zipFile({}, true));
    MountedArchive* empty = mountArchive("cd.yip", false);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(takeFileError(), 0);
    EXPECT_EQ(empty->memberCount, 0);

    // A 256-byte name ends the walk; the member before it stays readable.
    std::string longName(256, 'n');
    MountedArchive* archive = mount({{"first", bytesOf("one"), 0}, {longName, bytesOf("two"), 0},
                                     {"third", bytesOf("three"), 0}},
                                    "long.yip");
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(takeFileError(), ZFS_NAME_TOO_LONG);
    EXPECT_EQ(archive->memberCount, 1);
    ArchiveFile file;
    open(file, "first");
    EXPECT_EQ(readAt(file, 0, 10), bytesOf("one"));
    closeFile(file);
    assignFile(file, "third");
    openFile(file, 1);
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_FOUND);

    // A 255-byte name is fine.
    std::string longest(255, 'm');
    ASSERT_NE(mount({{longest, bytesOf("ok"), 0}}, "longest.yip"), nullptr);
    EXPECT_EQ(takeFileError(), 0);
    open(file, longest.c_str());
    EXPECT_EQ(readAt(file, 0, 10), bytesOf("ok"));
    closeFile(file);

    // Anything else where a header should be, including the end of the file, is code 259.
    Bytes junk = zipFile({{"kept", bytesOf("k"), 0}}, false);
    junk.insert(junk.end(), {'P', 'K', 5, 6, 0, 0});
    writeFile("junk.yip", junk);
    MountedArchive* partial = mountArchive("junk.yip", false);
    ASSERT_NE(partial, nullptr);
    EXPECT_EQ(takeFileError(), ZFS_BAD_LOCAL_HEADER);
    EXPECT_EQ(partial->memberCount, 1);
    writeFile("noend.yip", zipFile({{"x", bytesOf("x"), 0}}, false));
    ASSERT_NE(mountArchive("noend.yip", false), nullptr);
    EXPECT_EQ(takeFileError(), ZFS_BAD_LOCAL_HEADER);

    // A missing archive is not mounted at all.
    EXPECT_EQ(mountArchive("missing.yip", false), nullptr);
    EXPECT_EQ(takeFileError(), platform::DISK_FILE_NOT_FOUND);
}

TEST_F(ArchiveTest, MemberNamesMatchAcrossSlashesAndCaseOnly) {
    MountedArchive* archive = mount({{"data/Tez.raw", bytesOf("texture"), 0}});
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->entries[0].timeStamp, 0x5A216000u);  // DOS date above DOS time
    for (const char* name : {"data/Tez.raw", "DATA\\TEZ.RAW", "data\\tez.RAW", "Data/tez.raw"}) {
        ArchiveFile file;
        open(file, name);
        EXPECT_EQ(readAt(file, 0, 100), bytesOf("texture")) << name;
        EXPECT_TRUE(fileExists(name));
        closeFile(file);
    }
    for (const char* name : {"./data/Tez.raw", "/data/Tez.raw", "data//Tez.raw", "data/Tez.raw "}) {
        ArchiveFile file;
        assignFile(file, name);
        openFile(file, 1);
        EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_FOUND) << name;
        EXPECT_FALSE(fileExists(name)) << name;
    }
}

TEST_F(ArchiveTest, TheFirstOfEqualNamesWins) {
    ASSERT_NE(mount({{"same.bin", bytesOf("first"), 0}, {"SAME.BIN", bytesOf("second"), 8}}, "a.yip"), nullptr);
    ASSERT_NE(mount({{"same.bin", bytesOf("third"), 0}, {"other.bin", bytesOf("fourth"), 0}}, "b.yip"), nullptr);
    ArchiveFile file;
    open(file, "Same.Bin");
    EXPECT_EQ(readAt(file, 0, 100), bytesOf("first"));
    closeFile(file);
    open(file, "other.bin");
    EXPECT_EQ(readAt(file, 0, 100), bytesOf("fourth"));
    closeFile(file);
}

TEST_F(ArchiveTest, PrefixedArchivesNameTheirMembersAfterTheArchiveFile) {
    std::filesystem::create_directory("sub");
    writeFile("sub/pack.yip", zipFile({{"inner/m.bin", bytesOf("member"), 0}}));
    ASSERT_NE(mountArchive("sub/pack.yip", true), nullptr);
    ArchiveFile file;
    open(file, "pack.yip\\inner\\m.bin");
    EXPECT_EQ(readAt(file, 0, 10), bytesOf("member"));
    closeFile(file);
    assignFile(file, "inner/m.bin");
    openFile(file, 1);
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_FOUND);
}

TEST_F(ArchiveTest, ALooseFileShadowsTheMemberOfItsName) {
    ASSERT_NE(mount({{"mesh.p3d", bytesOf("packed mesh"), 8}, {"folder", bytesOf("member"), 0}}), nullptr);
    writeFile("mesh.p3d", bytesOf("loose mesh data"));
    ArchiveFile file;
    open(file, "mesh.p3d");
    EXPECT_FALSE(file.isMember);
    EXPECT_EQ(fileSize(file), 15u);
    EXPECT_EQ(readAt(file, 6, 4), bytesOf("mesh"));
    EXPECT_EQ(filePosition(file), 10u);
    EXPECT_FALSE(atEndOfFile(file));
    EXPECT_EQ(readAt(file, 11, 100), bytesOf("data"));
    EXPECT_TRUE(atEndOfFile(file));
    closeFile(file);
    EXPECT_EQ(takeFileError(), 0);
    // Counts are in whole records: the part record at the end is left unread.
    open(file, "mesh.p3d", 4);
    Bytes records(20);
    uint32_t read = 0;
    readBlock(file, records.data(), 5, &read);
    EXPECT_EQ(read, 3u);
    EXPECT_FALSE(atEndOfFile(file));
    closeFile(file);

    // A directory is not a file: the member is read, though the name exists on disk.
    std::filesystem::create_directory("folder");
    open(file, "folder");
    EXPECT_TRUE(file.isMember);
    EXPECT_EQ(readAt(file, 0, 100), bytesOf("member"));
    closeFile(file);
    EXPECT_TRUE(fileExists("folder"));
    EXPECT_TRUE(fileExists("mesh.p3d"));
    EXPECT_FALSE(fileExists("nothing"));

    // Loose names follow the disk's rules: exact case only.
    assignFile(file, "MESH.P3D");
    openFile(file, 1);
    EXPECT_EQ(takeFileError(), 0);
    EXPECT_TRUE(file.isMember);
    closeFile(file);
}

TEST_F(ArchiveTest, OperationsOnHandlesThatAreNotOpenReport103) {
    ArchiveFile file;
    assignFile(file, "never-opened");
    Bytes out(4);
    readBlock(file, out.data(), 4);
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_OPEN);
    seekFile(file, 0);
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_OPEN);
    EXPECT_TRUE(atEndOfFile(file));
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_OPEN);
    closeFile(file);
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_OPEN);

    // A member whose archive has been unmounted is no longer open either.
    MountedArchive* archive = mount({{"m", bytesOf("abc"), 0}});
    open(file, "m");
    unmountArchive(archive);
    EXPECT_EQ(takeFileError(), 0);
    readBlock(file, out.data(), 3);
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_OPEN);
    closeFile(file);

    unmountArchive(nullptr);
    EXPECT_EQ(takeFileError(), ZFS_NIL_POINTER);
    unmountArchive(archive); // already gone
    EXPECT_EQ(takeFileError(), ZFS_NIL_POINTER);
}

TEST_F(ArchiveTest, ErrorTextsFollowTheTable) {
    EXPECT_STREQ(fileErrorText(0), "O.K.");
    EXPECT_STREQ(fileErrorText(5), "Access denied (file was opened Read Only)");
    EXPECT_STREQ(fileErrorText(256), "Unable to dipose pointer (it's NIL)");
    EXPECT_STREQ(fileErrorText(263), "Error in ZIP file");
    EXPECT_STREQ(fileErrorText(266), "The ZFS reset function for typed files have a bug (see docs)");
    for (int code : {14, 64, 217, 267, -2}) EXPECT_STREQ(fileErrorText(code), "UNDEFINED ERROR") << code;
}

// --- Resume indexes ---

struct OmzPoint {
    uint32_t compressedOffset, uncompressedOffset, bitState;
    uint16_t windowPosition;
    Bytes windowData;
};

void omzRecord(Bytes& out, const std::string& name, const std::vector<OmzPoint>& points) {
    out.push_back(uint8_t(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    for (const OmzPoint& p : points) {
        put32(out, p.compressedOffset);
        put32(out, p.uncompressedOffset);
        put32(out, p.bitState);
        put16(out, p.windowPosition);
        put16(out, uint32_t(p.windowData.size()));
        out.insert(out.end(), p.windowData.begin(), p.windowData.end());
    }
    out.push_back(255);
}

class ResumeIndexTest : public ArchiveTest {
protected:
    // A deflated member with a sync flush (a block boundary on a byte boundary) at flushAt.
    void SetUp() override {
        ArchiveTest::SetUp();
        data_ = text(150000, 9);
        z_stream z{};
        ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
        stream_.resize(200000);
        z.next_out = stream_.data();
        z.avail_out = uInt(stream_.size());
        z.next_in = data_.data();
        z.avail_in = flushAt;
        ASSERT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
        flushOffset_ = uint32_t(z.total_out);
        z.avail_in = uInt(data_.size() - flushAt);
        ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        stream_.resize(z.total_out);
        deflateEnd(&z);
    }

    // The decoder's state at the flush: the window holds the last 32 KiB of output, the bytes of
    // the current window from offset 0 and the older ones above the window position.
    OmzPoint flushPoint() const {
        uint32_t windowStart = flushAt - flushAt % 32768;
        uint32_t position = flushAt % 32768;
        Bytes window;
        put16(window, 0);
        put16(window, position);
        window.insert(window.end(), data_.begin() + windowStart, data_.begin() + flushAt);
        put16(window, position);
        put16(window, 32768 - position);
        window.insert(window.end(), data_.begin() + windowStart - 32768 + position, data_.begin() + windowStart);
        return {flushOffset_, windowStart, 0, uint16_t(position), window};
    }

    static constexpr uint32_t flushAt = 70000;
    Bytes data_, stream_;
    uint32_t flushOffset_ = 0;
};

TEST_F(ResumeIndexTest, ReadsPastAResumePointDecodeFromItAlone) {
    // Wreck everything before the resume point: only reads that start from it can succeed.
    Bytes wrecked = stream_;
    std::memset(wrecked.data(), 0xFF, flushOffset_ - 8);
    MountedArchive* archive = mount({{"Level/Scene.3ds", data_, 8, wrecked}, {"other", bytesOf("o"), 0}});
    ASSERT_NE(archive, nullptr);

    Bytes index = bytesOf("OMZ");
    omzRecord(index, "nobody", {{1, 2, 0, 0, {}}});
    OmzPoint bad = flushPoint();
    bad.windowData[0] = 0xFF; // the first record now starts at 32767 and runs past the window
    bad.windowData[1] = 0x7F;
    bad.compressedOffset = 1;
    omzRecord(index, "level\\scene.3DS", {flushPoint(), bad});
    writeFile("scene.omz", index);
    loadResumeIndex(archive, "scene.omz");
    ASSERT_EQ(takeFileError(), 0);
    ASSERT_EQ(archive->entries[0].resumePoints.size(), 1u); // the unsound point was dropped

    ArchiveFile file;
    open(file, "Level/Scene.3ds");
    for (uint32_t start : {65537u, 70000u, 99999u, 149990u}) {
        EXPECT_EQ(readAt(file, start, 5000), slice(data_, start, 5000)) << start;
        EXPECT_EQ(takeFileError(), 0) << start;
    }
    // The point's output offset is 65536: a read there starts from the member's first byte.
    seekFile(file, 65536);
    Bytes out(10);
    readBlock(file, out.data(), 10);
    EXPECT_EQ(takeFileError(), ZFS_BAD_DATA);

    // Loading the same index again attaches nothing twice.
    loadResumeIndex(archive, "scene.omz");
    EXPECT_EQ(archive->entries[0].resumePoints.size(), 1u);
    closeFile(file);
}

TEST_F(ResumeIndexTest, IndexesComeFromArchivesTooAndMustBeginWithOmz) {
    Bytes index = bytesOf("OMZ");
    omzRecord(index, "member", {flushPoint()});
    MountedArchive* archive = mount({{"member", data_, 8, stream_}, {"member.omz", index, 8}});
    ASSERT_NE(archive, nullptr);
    loadResumeIndex(archive, "member.omz");
    EXPECT_EQ(takeFileError(), 0);
    EXPECT_EQ(archive->entries[0].resumePoints.size(), 1u);
    writeFile("wrong.omz", bytesOf("ZMO\x06member"));
    loadResumeIndex(archive, "wrong.omz");
    EXPECT_EQ(takeFileError(), ZFS_BAD_INDEX_SIGNATURE);
    loadResumeIndex(archive, "absent.omz");
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_FOUND);

    // A cut-off index keeps what came before the cut.
    Bytes cut = bytesOf("OMZ");
    omzRecord(cut, "member", {{7, 0, 0, 0, {}}});
    omzRecord(cut, "member", {{9, 0, 0, 0, {}}});
    cut.resize(cut.size() - 3);
    writeFile("cut.omz", cut);
    loadResumeIndex(archive, "cut.omz");
    EXPECT_EQ(takeFileError(), 0);
    ASSERT_EQ(archive->entries[0].resumePoints.size(), 2u);
    EXPECT_EQ(archive->entries[0].resumePoints[1].compressedOffset, 7u);
}

} // namespace
