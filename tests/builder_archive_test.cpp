// The ZIP writer as the show reads it: every member comes back byte-exact through the project's
// archive layer with fixed time stamps, and names the show could not tell apart are refused. Then
// the archive the build made: every member the show opens is there, and a second run of the
// builder writes the same bytes (meshes, textures, module and desktop icons).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "archive/archive.h"
#include "tests/zip_fixture.h"
#include "tools/builder/icons.h"
#include "tools/builder/scene_3ds.h"
#include "tools/builder/textures.h"
#include "tools/builder/zip_writer.h"

using namespace builder;

namespace {

std::string tempPath(const std::string& leaf) {
    return "/tmp/builder_archive_test_" + std::to_string(getpid()) + "_" + leaf;
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Opens a member through the archive layer and reads it whole.
std::vector<uint8_t> readMember(const char* name) {
    archive::ArchiveFile file;
    archive::assignFile(file, name);
    archive::openFile(file, 1);
    EXPECT_EQ(archive::takeFileError(), 0) << name;
    std::vector<uint8_t> data(archive::fileSize(file));
    uint32_t read = 0;
    archive::readBlock(file, data.data(), uint32_t(data.size()), &read);
    EXPECT_EQ(archive::takeFileError(), 0) << name;
    EXPECT_EQ(read, data.size()) << name;
    archive::closeFile(file);
    return data;
}

const archive::ArchiveEntry* findEntry(const archive::MountedArchive* a, const std::string& name) {
    for (const archive::ArchiveEntry& e : a->entries)
        if (name == e.name) return &e;
    return nullptr;
}

}  // namespace

TEST(ZipWriter, EveryMemberReadsBackByteExactThroughTheArchiveLayer) {
    // Noise does not deflate smaller: it is stored despite its flag.
    const std::vector<Member> members = {{"a.raw", std::vector<uint8_t>(5000, 7), true},
                                         {"noise.bin", zipfixture::noise(70000, 1), true},
                                         {"empty.bin", {}, true},
                                         {"sub/dir.txt", {'h', 'i'}, false}};
    std::vector<uint8_t> zip;
    ASSERT_EQ(writeZip(members, zip), ZIP_OK);
    std::string path = tempPath("members.zip");
    zipfixture::writeFile(path, zip);
    archive::MountedArchive* mounted = archive::mountArchive(path.c_str(), false);
    ASSERT_NE(mounted, nullptr);
    EXPECT_EQ(archive::takeFileError(), 0);
    EXPECT_EQ(mounted->memberCount, int32_t(members.size()));
    for (const Member& m : members) {
        EXPECT_EQ(readMember(m.name.c_str()), m.data) << m.name;
        const archive::ArchiveEntry* e = findEntry(mounted, m.name);
        ASSERT_NE(e, nullptr) << m.name;
        EXPECT_EQ(e->timeStamp, uint32_t(ZIP_DOS_DATE) << 16 | ZIP_DOS_TIME);
        EXPECT_EQ(e->method, m.name == "a.raw" ? 8 : 0) << m.name;
    }
    archive::unmountArchive(mounted);
    std::remove(path.c_str());
}

TEST(ZipWriter, RefusesNamesTheShowCouldNotReachOrStore) {
    std::vector<uint8_t> zip;
    auto status = [&](std::vector<std::string> names) {
        std::vector<Member> members;
        for (const std::string& n : names) members.push_back({n, {1}, false});
        return writeZip(members, zip);
    };
    // The show looks members up case-blind with "/" and "\" alike; the first twin would hide the
    // second.
    EXPECT_EQ(status({"Tavrion.raw", "tavrion.RAW"}), ZIP_DUPLICATE_NAME);
    EXPECT_EQ(status({"maps/a.raw", "MAPS\\A.RAW"}), ZIP_DUPLICATE_NAME);
    EXPECT_TRUE(zip.empty());
    EXPECT_EQ(status({""}), ZIP_BAD_NAME);
    EXPECT_EQ(status({std::string(256, 'n')}), ZIP_BAD_NAME);
    EXPECT_EQ(status({std::string(255, 'n')}), ZIP_OK);
}

TEST(BuiltArchive, HoldsEveryMemberTheShowOpensAndIsRebuiltByteIdentical) {
    const std::string built = std::string(TAV_BUILD_DIR) + "/tavremon.yip";
    std::vector<uint8_t> zip = readWholeFile(built);
    ASSERT_FALSE(zip.empty()) << built << " is missing: build the show_data target first";

    archive::MountedArchive* mounted = archive::mountArchive(built.c_str(), false);
    ASSERT_NE(mounted, nullptr);
    ASSERT_EQ(archive::takeFileError(), 0);
    std::vector<Member> expected;
    ASSERT_TRUE(buildTextureMembers(expected));
    ASSERT_TRUE(buildSceneMember(expected));
    for (const Member& m : expected) EXPECT_EQ(readMember(m.name.c_str()), m.data) << m.name;
    for (const char* mesh : {"gyar.p3d", "scene1.p3d", "barlang.p3d", "scene2.p3d", "scene3.p3d",
                             "tknot.p3D", "sphere.p3D"})
        EXPECT_NE(findEntry(mounted, mesh), nullptr) << mesh;
    std::vector<uint8_t> module = readMember("zlt!qmv.mo3");
    EXPECT_FALSE(module.empty());
    EXPECT_EQ(readWholeFile(std::string(TAV_BUILD_DIR) + "/tavremon.xm"), module);
    archive::unmountArchive(mounted);

    // Fixed seeds and time stamps: a fresh run writes exactly the archive the build wrote.
    std::string dir = tempPath("rebuild");
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    std::string command = std::string(TAV_BUILD_DIR) + "/tavremon-build " + dir;
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(readWholeFile(dir + "/tavremon.yip") == zip);
    for (int size : ICON_SIZES) {
        std::string icon = "/tavremon-" + std::to_string(size) + ".png";
        std::vector<uint8_t> first = readWholeFile(std::string(TAV_BUILD_DIR) + icon);
        EXPECT_FALSE(first.empty()) << icon;
        EXPECT_TRUE(readWholeFile(dir + icon) == first) << icon;
    }
    std::system(("rm -rf " + dir).c_str());
}
