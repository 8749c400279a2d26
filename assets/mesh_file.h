// The .p3d mesh file: little-endian counts followed by arrays, no header, no magic. One description
// of the layout drives both the loader (used by the show) and the writer (used by the data builder).
//
// The loader trusts nothing. A file that is missing, truncated anywhere, has a negative count, a
// count larger than the bytes that follow can hold, a triangle index outside its object's vertices
// or a material index outside the material array is rejected whole, before anything is allocated
// for it: the mesh comes back empty (all counts 0, no arrays), which every consumer draws as
// nothing. Bytes after the trailer are ignored, and so is anything past the first 64 MiB.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/mesh.h"

namespace assets {

// Reads the named file through the archive file interface (a loose file wins over an archive
// member) into `mesh`, replacing whatever it held (its old arrays go once no Mesh record holds
// them). Reports nothing; a bad file, or one too big for the memory there is, gives the empty mesh.
void loadMesh(Mesh& mesh, const char* name);

// The same from bytes in memory. Returns false (and leaves `mesh` empty) for a rejected file.
bool decodeMesh(Mesh& mesh, const uint8_t* data, size_t size);

// The file bytes for `mesh`. An array pointer that is null where its count says there should be
// elements is written as zero bytes of the right length, so the result always loads back.
std::vector<uint8_t> encodeMesh(const Mesh& mesh);

// Shallow copy of object `fromIndex` of `from` over object `toIndex` of `to` (the start-up object
// splices); `to` takes a share of the blocks the copy points into. Returns false and changes
// nothing when either index is out of range.
bool copyMeshObject(Mesh& to, int32_t toIndex, const Mesh& from, int32_t fromIndex);

} // namespace assets
