// Whole-file reads through the archive file interface, shared by the mesh and texture loaders.
#pragma once
#include <cstdint>
#include <vector>

namespace assets {

// Up to `limit` bytes of the named file (a loose disk file wins over an archive member). A file that
// cannot be opened or read gives what was read before the failure, possibly nothing; the archive
// error code is collected so that it does not linger for the next caller.
std::vector<uint8_t> readAssetFile(const char* name, uint32_t limit = UINT32_MAX);

} // namespace assets
