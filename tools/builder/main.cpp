// Data builder: makes the show's data archive tavremon.yip (meshes, textures, the keyframed scene
// and the music module), a loose copy of the module, tavremon.xm, and the desktop icons
// tavremon-N.png in the folder given.
// Everything is made from code with fixed seeds and time stamps, so every build writes the same
// bytes.
//
// Usage: tavremon-build OUTDIR
#include <cstdio>
#include <string>
#include <vector>

#include "tools/builder/icons.h"
#include "tools/builder/member.h"
#include "tools/builder/meshes.h"
#include "tools/builder/music.h"
#include "tools/builder/scene_3ds.h"
#include "tools/builder/textures.h"
#include "tools/builder/zip_writer.h"

namespace {

constexpr const char* MODULE_NAME = "zlt!qmv.mo3";

// Writes through a temporary name and renames it into place, so an interrupted build never
// leaves a cut-off archive behind that looks finished.
bool writeFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::string temporary = path + ".part";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

int fail(const char* what) {
    std::fprintf(stderr, "tavremon-build: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavremon-build OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<builder::Member> members;

    // The module first: the show reads it right after the loading picture.
    std::vector<uint8_t> module = builder::buildModule();
    if (module.empty()) return fail("the music module could not be made");
    members.push_back({MODULE_NAME, module, true});
    for (builder::Member& m : builder::buildMeshMembers()) members.push_back(std::move(m));
    if (!builder::buildTextureMembers(members))
        return fail("the textures could not be made (are the DejaVu fonts installed?)");
    if (!builder::buildSceneMember(members)) return fail("Gomb.3DS could not be written");

    std::vector<uint8_t> archive;
    builder::ZipStatus status = builder::writeZip(members, archive);
    if (status != builder::ZIP_OK) return fail(builder::zipStatusText(status));
    if (!writeFile(dir + "/tavremon.yip", archive)) return fail("cannot write tavremon.yip");
    if (!writeFile(dir + "/tavremon.xm", module)) return fail("cannot write tavremon.xm");
    const std::vector<uint8_t> title = builder::makeTitleTexture();
    for (int size : builder::ICON_SIZES) {
        std::vector<uint8_t> icon = builder::makeIconPng(title, size);
        std::string name = "tavremon-" + std::to_string(size) + ".png";
        if (icon.empty() || !writeFile(dir + "/" + name, icon)) return fail(("cannot make " + name).c_str());
    }
    return 0;
}
