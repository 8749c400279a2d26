// Arbitrary bytes as a .p3d file: loaded through a loose file (as the show would find one beside the
// program), then drawn headless at times inside and outside the path with both entry points. A mesh
// the loader accepts must also survive a write and reload unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/mesh_file.h"
#include "assets/mesh_renderer.h"
#include "platform/headless_gl.h"

namespace {

bool haveGL() {
    static const bool ok = platform::createHeadlessGL(16, 12);
    return ok;
}

const std::string& inputName() {
    static const std::string name = "mesh_load_fuzz_" + std::to_string(getpid()) + ".p3d";
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(inputName().c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    assets::Mesh mesh;
    assets::loadMesh(mesh, inputName().c_str());
    std::remove(inputName().c_str());

    std::vector<uint8_t> written = assets::encodeMesh(mesh);
    assets::Mesh reloaded;
    if (!assets::decodeMesh(reloaded, written.data(), written.size()))
        std::abort();
    if (assets::encodeMesh(reloaded) != written) std::abort();

    if (!haveGL()) return 0;
    assets::lightingEnabled = (size & 1) != 0;
    assets::lightRange = 100;
    for (float t : {0.0f, 0.5f, 2.75f, -1.0f, 1e9f}) assets::drawMesh(mesh, t);
    const int32_t objects = mesh.objectCount < 8 ? mesh.objectCount : 8;
    for (int32_t i = -1; i <= objects; ++i) assets::drawMeshObject(mesh, 1.5f, i, 0.5f);
    return 0;
}
