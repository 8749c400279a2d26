// Raw 256 x 256 RGB textures uploaded as mipmapped GL textures. A short or missing file is padded
// with black, so the upload never reads past the data it was given.
#include "assets/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <string>

#include "assets/file_read.h"

namespace assets {

uint32_t loadRawTexture(const char* name) {
    // Only the first 256 x 256 texels matter; whatever the file lacks stays black, so a short or
    // missing file never makes the upload read past the data.
    std::vector<uint8_t> pixels = readAssetFile(name, RAW_TEXTURE_BYTES);
    pixels.resize(RAW_TEXTURE_BYTES, 0);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, RAW_TEXTURE_SIZE, RAW_TEXTURE_SIZE, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels.data());
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, RAW_TEXTURE_SIZE, RAW_TEXTURE_SIZE, GL_RGB, GL_UNSIGNED_BYTE,
                      pixels.data());
    return texture;
}

void loadMeshTextures(Mesh& mesh) {
    if (!mesh.materials) return;
    for (int32_t i = 0; i < mesh.materialCount; ++i) {
        MeshMaterial& material = mesh.materials[i];
        size_t length = std::min<size_t>(material.nameLength, sizeof material.name);
        std::string file(material.name, length);
        file += ".raw";
        material.texture = loadRawTexture(file.c_str());
    }
}

} // namespace assets
