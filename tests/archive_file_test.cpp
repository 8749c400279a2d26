// The archive file interface: mounting ZIP archives written here with zlib, reading stored and
// deflated members, loose files that shadow members, error codes, and resume indexes.
#include "archive/archive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tests/zip_fixture.h"

namespace {

using namespace archive;
using namespace zipfixture;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

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

    // Up to count bytes of a member from position on, through a handle of its own.
    Bytes readMember(const char* name, uint32_t position = 0, uint32_t count = 100) {
        ArchiveFile file;
        open(file, name);
        Bytes out = readAt(file, position, count);
        closeFile(file);
        return out;
    }

    std::filesystem::path previous_, folder_;
};

TEST_F(ArchiveTest, StoredAndDeflatedMembersReadByteExactAtManyOffsets) {
    Bytes big = wordText(100000, 1);
    std::vector<Member> members = {{"big.txt", big, 8}, {"big-stored.txt", big, 0}, {"noise.bin", noise(50000, 7), 8},
                                   {"empty.bin", {}, 8}, {"empty-stored.bin", {}, 0}};
    ASSERT_NE(mount(members), nullptr);
    ASSERT_EQ(takeFileError(), 0);

    for (const Member& m : members) {
        ArchiveFile file;
        open(file, m.name.c_str());
        EXPECT_EQ(fileSize(file), m.data.size()) << m.name;
        const uint32_t size = uint32_t(m.data.size());
        const uint32_t ranges[][2] = {{0, size}, {1, 32768}, {32767, 3}, {65530, 20}, {size / 2, 999}, {size - 5, 100}};
        for (const auto& range : ranges) {
            if (range[0] > size) continue;
            uint32_t read = 0;
            Bytes got = readAt(file, range[0], range[1], &read);
            EXPECT_EQ(takeFileError(), 0) << m.name << " at " << range[0];
            EXPECT_EQ(got, slice(m.data, range[0], range[1])) << m.name << " at " << range[0];
            EXPECT_EQ(filePosition(file), range[0] + read);
        }
        EXPECT_TRUE(atEndOfFile(file));  // the last range read to the end
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

TEST_F(ArchiveTest, MemberOfSize100SeeksAndReadsAtItsBoundsCountingInRecords) {
    Bytes data = wordText(100, 2);
    ASSERT_NE(mount({{"hundred", data, 8}, {"hundred-stored", data, 0}}), nullptr);
    for (const char* name : {"hundred", "hundred-stored"}) {
        ArchiveFile file;
        open(file, name);
        seekFile(file, 100);
        EXPECT_EQ(takeFileError(), 0);
        EXPECT_TRUE(atEndOfFile(file));
        seekFile(file, 101);
        EXPECT_EQ(takeFileError(), ZFS_SEEK_OUT_OF_BOUNDS);
        EXPECT_EQ(filePosition(file), 100u);

        uint32_t read = 99;
        EXPECT_EQ(readAt(file, 80, 50, &read), slice(data, 80, 20));
        Bytes more(50);
        readBlock(file, more.data(), 50, &read);
        EXPECT_EQ(read, 0u);
        EXPECT_EQ(takeFileError(), 0);
        closeFile(file);
    }
    ArchiveFile file;
    open(file, "hundred", 3);
    EXPECT_EQ(fileSize(file), 33u);
    uint32_t read = 0;
    readAt(file, 95, 4, &read);
    EXPECT_EQ(read, 1u);  // 5 bytes remain: one whole record
    closeFile(file);
}

TEST_F(ArchiveTest, UnreadableMemberDataFailsTheReadAndKeepsThePosition) {
    Bytes data = wordText(5000, 3);
    Bytes packed = rawDeflate(data);
    Bytes corrupt = packed;
    corrupt[0] |= 0x06;  // block type 3
    ASSERT_NE(mount({{"method12", data, 12, data}, {"corrupt", data, 8, corrupt},
                     {"short", data, 8, rawDeflate(slice(data, 0, 4000))}}),
              nullptr);
    const std::pair<const char*, int> cases[] = {
        {"method12", ZFS_BAD_METHOD}, {"corrupt", ZFS_BAD_DATA}, {"short", ZFS_BAD_DATA}};
    for (const auto& [name, code] : cases) {
        ArchiveFile file;
        open(file, name);
        seekFile(file, 10);
        Bytes out(5000, 0);
        uint32_t read = 99;
        readBlock(file, out.data(), 4990, &read);
        EXPECT_EQ(takeFileError(), code) << name;
        EXPECT_TRUE(read == 0 && filePosition(file) == 10u) << name;
        closeFile(file);
    }

    // The last member's data is cut in half and the archive ends there: the decoder runs out of input.
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
    open(file, "stored");
    EXPECT_EQ(readAt(file, 0, 100), slice(data, 0, 100));
    readBlock(file, out.data(), 5000);
    EXPECT_EQ(takeFileError(), platform::DISK_READ_ERROR);
    EXPECT_EQ(filePosition(file), 100u);
    closeFile(file);
}

TEST_F(ArchiveTest, SizeBoundNeverExceedsWhatTheDataCanHold) {
    // Headers that claim far more than their data: a stored member with 10 bytes of data and a
    // deflated one with 10 bytes of stream; an honest member is bounded by its own size.
    Bytes claimed(100000, 'x');
    mount({{"stored.raw", claimed, 0, Bytes(10, 'a')}, {"deflated.raw", claimed, 8, Bytes(10, 0x03)},
           {"honest.raw", wordText(5000, 3), 8}});
    const std::pair<const char*, uint32_t> bounds[] = {
        {"stored.raw", 10}, {"deflated.raw", 10u * 1032u + 1032u}, {"honest.raw", 5000}};
    for (const auto& [name, bound] : bounds) {
        ArchiveFile file;
        open(file, name);
        EXPECT_EQ(fileSizeBound(file), bound) << name;
        closeFile(file);
    }
    // Whole-file reads refuse such a member outright, read an honest one whole or up to a limit,
    // and leave no error pending.
    Bytes whole(3, 7);
    EXPECT_EQ(readWholeFile("stored.raw", whole), ZFS_BAD_DATA);
    EXPECT_TRUE(whole.empty());
    EXPECT_EQ(readWholeFile("deflated.raw", whole), ZFS_BAD_DATA);
    EXPECT_EQ(readWholeFile("missing.raw", whole), ZFS_FILE_NOT_FOUND);
    EXPECT_EQ(readWholeFile("honest.raw", whole), 0);
    EXPECT_EQ(whole, wordText(5000, 3));
    EXPECT_EQ(readWholeFile("honest.raw", whole, 4321), 0);
    EXPECT_EQ(whole, slice(wordText(5000, 3), 0, 4321));
    EXPECT_EQ(takeFileError(), 0);
}

// A loose file may hold fewer bytes than its size claims (a kernel attribute file claims 4096 and
// holds a line): the whole-file read keeps what the reads gave, not zeros after it.
TEST_F(ArchiveTest, WholeFileReadKeepsOnlyTheBytesALooseFileHolds) {
    const char* name = "/sys/devices/system/cpu/online";
    std::ifstream in(name, std::ios::binary);
    const Bytes text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    struct stat info {};
    if (text.empty() || stat(name, &info) != 0 || uint64_t(info.st_size) <= text.size())
        GTEST_SKIP() << name << " is missing or holds its full size";
    Bytes whole;
    EXPECT_EQ(readWholeFile(name, whole), 0);
    EXPECT_EQ(whole, text);
}

// Flag bit 3 (sizes and CRC after the data): the sizes come from the central directory, which must
// agree with the local header and the descriptor; anything else is a damaged archive.
TEST_F(ArchiveTest, StreamingArchivesTakeTheirSizesFromAnAgreeingCentralDirectory) {
    const std::vector<Member> members = {{"a.txt", wordText(70000, 4), 8}, {"b.raw", noise(3000, 5), 0},
                                         {"c/empty", {}, 8}, {"d.txt", wordText(999, 6), 8}};
    const Bytes zip = streamingZipFile(members);
    writeFile("stream.yip", zip);
    MountedArchive* archive = mountArchive("stream.yip", false);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(takeFileError(), 0);
    EXPECT_EQ(archive->memberCount, 4);
    for (const Member& m : members) EXPECT_EQ(readMember(m.name.c_str(), 0, 80000), m.data) << m.name;

    // Forged: each case changes one byte of the second member's records (its central record is the
    // second, after a.txt's 46 + 5 bytes); the walk keeps a.txt and stops there with 259.
    auto at = [&zip](uint32_t signature, int which) {
        size_t found = 0;
        for (size_t i = 0; i + 4 <= zip.size(); ++i)
            if (zip[i] == uint8_t(signature) && zip[i + 1] == uint8_t(signature >> 8) &&
                zip[i + 2] == uint8_t(signature >> 16) && zip[i + 3] == uint8_t(signature >> 24) && which-- == 0)
                found = i;
        return found;
    };
    const size_t central = at(0x02014B50, 1), local = at(0x04034B50, 1);
    const size_t forgedBytes[] = {central + 20, central + 24, central + 16, central + 10,
                                  central + 46, central + 42, local + 18, local + 8};
    for (size_t byte : forgedBytes) {
        Bytes forged = zip;
        forged[byte] ^= 0x01;
        writeFile("forged.yip", forged);
        archive = mountArchive("forged.yip", false);
        ASSERT_NE(archive, nullptr);
        EXPECT_EQ(takeFileError(), ZFS_BAD_LOCAL_HEADER) << "byte " << byte;
        EXPECT_EQ(archive->memberCount, 1) << "byte " << byte;
        unmountArchive(archive);
    }
    // Without its end record the directory cannot be found: nothing is mounted from it.
    writeFile("cut.yip", slice(zip, 0, zip.size() - 30));
    archive = mountArchive("cut.yip", false);
    EXPECT_EQ(takeFileError(), ZFS_BAD_LOCAL_HEADER);
    EXPECT_EQ(archive->memberCount, 0);
}

// What Info-ZIP writes when it streams (zip -fd), stored and deflated.
TEST_F(ArchiveTest, ArchivesWrittenByZipAsAStreamLoad) {
    if (std::system("command -v zip >/dev/null") != 0) GTEST_SKIP() << "zip is not installed";
    const Bytes text = wordText(90000, 8), raw = noise(5000, 9);
    writeFile("text.txt", text);
    writeFile("raw.bin", raw);
    ASSERT_EQ(std::system("zip -q -fd -X deflated.zip text.txt raw.bin && zip -q -0 -fd -X stored.zip raw.bin"), 0);
    std::filesystem::remove("text.txt");
    std::filesystem::remove("raw.bin");
    for (const char* name : {"deflated.zip", "stored.zip"}) {
        ASSERT_NE(mountArchive(name, false), nullptr);
        EXPECT_EQ(takeFileError(), 0) << name;
    }
    EXPECT_EQ(readMember("text.txt", 0, 100000), text);
    EXPECT_EQ(readMember("raw.bin", 0, 100000), raw);
}

// A deflated member of many blocks read in pieces: on from the last read, backwards, past a block
// boundary, and through two handles at once, each keeping its own place.
TEST_F(ArchiveTest, PiecewiseReadsOfADeflatedMemberGiveItsBytesInAnyOrder) {
    Bytes data = wordText(600000, 10);
    const Bytes middle = noise(70000, 11);  // stored blocks between the coded ones
    data.insert(data.begin() + 300000, middle.begin(), middle.end());
    ASSERT_NE(mount({{"big", data, 8, rawDeflate(data, 9)}}), nullptr);
    ArchiveFile first, second;
    open(first, "big");
    open(second, "big");
    Bytes joined, piece(4096);
    uint32_t got = 0;
    do {
        readBlock(first, piece.data(), 4096, &got);
        joined.insert(joined.end(), piece.begin(), piece.begin() + got);
        if (joined.size() % (4096 * 37) == 0) {
            const uint32_t back = uint32_t(data.size() - joined.size() / 2);
            EXPECT_EQ(readAt(second, back, 5000), slice(data, back, 5000));
        }
    } while (got == 4096);
    EXPECT_EQ(joined, data);
    EXPECT_EQ(takeFileError(), 0);
    const uint32_t jumps[][2] = {{500000, 70000}, {1000, 200}, {299990, 40}, {369990, 300000}, {1200, 10}};
    for (const auto& [position, count] : jumps)
        EXPECT_EQ(readAt(first, position, count), slice(data, position, count)) << position;
    closeFile(first);
    closeFile(second);
}

TEST_F(ArchiveTest, HeaderWalkStopsAtTheCentralDirectoryOrAtAFault) {
    // A 256-byte name ends the walk, 255 bytes are fine; anything else where a header should be,
    // including the end of the file, is code 259. The members before a fault stay readable.
    const std::string longest(255, 'm');
    Bytes junk = zipFile({{"kept", bytesOf("k"), 0}}, false);
    junk.insert(junk.end(), {'P', 'K', 5, 6, 0, 0});
    const struct {
        Bytes zip;
        int error, members;
    } cases[] = {
        {zipFile({}), 0, 0},
        {zipFile({{"first", bytesOf("one"), 0}, {std::string(256, 'n'), bytesOf("two"), 0}, {"third", bytesOf("3"), 0}}),
         ZFS_NAME_TOO_LONG, 1},
        {zipFile({{longest, bytesOf("ok"), 0}}), 0, 1},
        {junk, ZFS_BAD_LOCAL_HEADER, 1},
        {zipFile({{"x", bytesOf("x"), 0}}, false), ZFS_BAD_LOCAL_HEADER, 1},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = "case" + std::to_string(i) + ".yip";
        writeFile(name, cases[i].zip);
        MountedArchive* archive = mountArchive(name.c_str(), false);
        ASSERT_NE(archive, nullptr) << i;
        EXPECT_EQ(takeFileError(), cases[i].error) << i;
        EXPECT_EQ(archive->memberCount, cases[i].members) << i;
    }
    EXPECT_EQ(readMember(longest.c_str()), bytesOf("ok"));
    EXPECT_EQ(mountArchive("missing.yip", false), nullptr);
    EXPECT_EQ(takeFileError(), platform::DISK_FILE_NOT_FOUND);
}

TEST_F(ArchiveTest, MemberNamesMatchAcrossSlashesAndCaseOnlyAndTheFirstOfEqualNamesWins) {
    MountedArchive* archive = mount({{"data/Tez.raw", bytesOf("texture"), 0}, {"DATA/tez.RAW", bytesOf("second"), 8}});
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->entries[0].timeStamp, 0x5A216000u);  // DOS date above DOS time
    ASSERT_NE(mount({{"data/tez.raw", bytesOf("third"), 0}, {"other.bin", bytesOf("fourth"), 0}}, "b.yip"), nullptr);
    for (const char* name : {"data/Tez.raw", "DATA\\TEZ.RAW", "data\\tez.RAW", "Data/tez.raw"})
        EXPECT_EQ(readMember(name), bytesOf("texture")) << name;
    for (const char* name : {"./data/Tez.raw", "/data/Tez.raw", "data//Tez.raw", "data/Tez.raw "}) {
        ArchiveFile file;
        assignFile(file, name);
        openFile(file, 1);
        EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_FOUND) << name;
    }
    EXPECT_EQ(readMember("other.bin"), bytesOf("fourth"));

    // Not used by the show: members named after their archive, and the name check.
    std::filesystem::create_directory("sub");
    writeFile("sub/pack.yip", zipFile({{"inner/m.bin", bytesOf("member"), 0}}));
    ASSERT_NE(mountArchive("sub/pack.yip", true), nullptr);
    EXPECT_EQ(readMember("pack.yip\\inner\\m.bin"), bytesOf("member"));
    EXPECT_TRUE(fileExists("Data\\Tez.raw"));
    EXPECT_FALSE(fileExists("inner/m.bin"));
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
    // Counts are in whole records: the part record at the end is left unread.
    open(file, "mesh.p3d", 4);
    Bytes records(20);
    uint32_t read = 0;
    readBlock(file, records.data(), 5, &read);
    EXPECT_EQ(read, 3u);
    EXPECT_FALSE(atEndOfFile(file));
    closeFile(file);

    // A directory is not a file; loose names follow the disk's rules (exact case only).
    std::filesystem::create_directory("folder");
    for (const char* name : {"folder", "MESH.P3D"}) {
        open(file, name);
        EXPECT_TRUE(file.isMember) << name;
        closeFile(file);
    }
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
    readBlock(file, out.data(), 3);
    EXPECT_EQ(takeFileError(), ZFS_FILE_NOT_OPEN);
    closeFile(file);
    unmountArchive(archive);  // already gone
    EXPECT_EQ(takeFileError(), ZFS_NIL_POINTER);
    EXPECT_STREQ(fileErrorText(ZFS_FILE_NOT_OPEN), "File not open");
    EXPECT_STREQ(fileErrorText(267), "UNDEFINED ERROR");
}

// Resume indexes (the show loads none): a sound point is attached, an unsound one dropped, and
// reads go on working.
TEST_F(ArchiveTest, ResumeIndexesAttachTheirSoundPoints) {
    Bytes data = wordText(100000, 9);
    MountedArchive* archive = mount({{"Level/Scene.3ds", data, 8}});
    ASSERT_NE(archive, nullptr);
    Bytes index = bytesOf("OMZ\x0flevel\\scene.3DS");
    const Bytes start(16, 0);  // the stream's own start, no window
    // Two window bytes at 32767 run past the 32 KiB window.
    const Bytes unsound = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0xFF, 0x7F, 2, 0, 7, 7};
    index.insert(index.end(), start.begin(), start.end());
    index.insert(index.end(), unsound.begin(), unsound.end());
    index.push_back(255);
    writeFile("scene.omz", index);
    loadResumeIndex(archive, "scene.omz");
    ASSERT_EQ(takeFileError(), 0);
    EXPECT_EQ(archive->entries[0].resumePoints.size(), 1u);
    EXPECT_EQ(readMember("Level/Scene.3ds", 70000, 5000), slice(data, 70000, 5000));
    writeFile("wrong.omz", bytesOf("ZMO\x06member"));
    loadResumeIndex(archive, "wrong.omz");
    EXPECT_EQ(takeFileError(), ZFS_BAD_INDEX_SIGNATURE);
}

} // namespace
