// Raw textures: headerless 256 x 256 RGB files (first stored row = texture row t 0) turned into
// mipmapped GL textures, read through the archive file interface.
//
// A missing file or one shorter than 196608 bytes is not an error: the texels the file does not
// hold are black, and loading goes on. Bytes beyond 196608 are ignored.
#pragma once
#include <cstdint>

#include "assets/mesh.h"

namespace assets {

constexpr int RAW_TEXTURE_SIZE = 256;
constexpr uint32_t RAW_TEXTURE_BYTES = RAW_TEXTURE_SIZE * RAW_TEXTURE_SIZE * 3;

// Creates a new texture from the named file and returns its GL name. Leaves the texture bound to
// GL_TEXTURE_2D and GL_TEXTURE_2D enabled. Needs a current GL context.
uint32_t loadRawTexture(const char* name);

// One new texture per material, from "<material name>.raw", stored in the material's texture field.
void loadMeshTextures(Mesh& mesh);

} // namespace assets
