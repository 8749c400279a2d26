// Writer for Autodesk 3D Studio (.3DS) files: the chunk tree the show's scene engine reads (main
// chunk, version, mesh data with its mesh version, materials, named triangle objects and cameras)
// and a keyframer section holding each object and camera at rest. Coordinates are the file's own,
// z up.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace builder {

struct Point3f {
    float x, y, z;
};

struct Material3ds {
    std::string name;
    std::array<float, 3> ambient{}, diffuse{}, specular{};  // 0..1
    uint16_t shininess = 0;                                  // percent
    std::string textureFile;                                 // empty: no texture map
};

struct Mesh3ds {
    std::string name;
    std::vector<Point3f> points;
    std::vector<std::array<float, 2>> texCoords;  // empty, or one per point
    std::vector<std::array<uint16_t, 3>> faces;   // counter-clockwise seen from outside
    std::string material;                         // empty, or the name of a material of the scene
};

struct Camera3ds {
    std::string name;
    Point3f position, target;
    float roll = 0;   // degrees
    float lens = 50;  // millimetres; 2400 / lens is the field of view in degrees
};

struct Scene3ds {
    std::vector<Material3ds> materials;
    std::vector<Mesh3ds> meshes;
    std::vector<Camera3ds> cameras;
    int32_t frameCount = 100;  // the keyframer's frame range is 0 .. frameCount
};

enum Write3dsStatus {
    WRITE3DS_OK = 0,
    WRITE3DS_BAD_NAME,          // empty, over 63 bytes (the readers keep 63), or used twice
    WRITE3DS_TOO_MANY_POINTS,   // counts are 16-bit in the file
    WRITE3DS_TOO_MANY_FACES,
    WRITE3DS_BAD_FACE,          // a face names a point the mesh does not have
    WRITE3DS_BAD_TEXCOORDS,     // texture coordinates present but not one per point
    WRITE3DS_UNKNOWN_MATERIAL,  // a mesh names a material the scene does not define
    WRITE3DS_BAD_CAMERA,        // lens not above zero
};

Write3dsStatus write3ds(const Scene3ds& scene, std::vector<uint8_t>& file);

const char* write3dsStatusText(Write3dsStatus status);

}  // namespace builder
