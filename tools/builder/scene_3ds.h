// The keyframed scene "Gomb.3DS": a geosphere "GeoSphere0" (a subdivided icosahedron centred on
// the origin) and a camera "Camera01" that frames it. The barlang flight draws the sphere twice
// from this camera, upright and as a mirror image shifted 121 units down, with the camera
// distance breathing between 1 and 2 times the stored one: the radius and the camera below keep
// the two images one above the other, apart and on screen.
#pragma once

#include <vector>

#include "tools/builder/member.h"
#include "tools/builder/writer_3ds.h"

namespace builder {

constexpr float ENGINE_SPHERE_RADIUS = 45.0f;
constexpr int ENGINE_SPHERE_SUBDIVISIONS = 4;  // 20 * 4^4 = 5120 faces, 2562 points
constexpr float ENGINE_MIRROR_DROP = 121.0f;   // how far below the mirror image is drawn

// The icosahedron split `subdivisions` times, every point pushed out to the radius.
Mesh3ds makeGeosphere(const std::string& name, float radius, int subdivisions);

Scene3ds makeEngineSphereScene();

// Appends "Gomb.3DS" (stored, not deflated). False if the scene cannot be written.
bool buildSceneMember(std::vector<Member>& members);

}  // namespace builder
