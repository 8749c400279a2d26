// One member of the show archive as the builder produces it: the name it is stored under, its
// uncompressed bytes, and whether the writer should deflate it (textures and the module) or store
// it as it is (meshes and the scene, which the show reads in small pieces).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace builder {

struct Member {
    std::string name;
    std::vector<uint8_t> data;
    bool deflate;
};

}  // namespace builder
