// Whole-file reads through the archive file interface, shared by the mesh and texture loaders.
#pragma once
#include <cstdint>
#include <vector>

namespace assets {

// No mesh or texture file is larger than this; a file that claims more is read only this far.
constexpr uint32_t MAX_ASSET_FILE_BYTES = 64u << 20;

// Up to `limit` bytes of the named file, and never more than MAX_ASSET_FILE_BYTES (a loose disk file
// wins over an archive member). Empty when the file cannot be opened or read, or when its header
// claims more than its data can hold; the loaders treat that as a missing file.
std::vector<uint8_t> readAssetFile(const char* name, uint32_t limit = MAX_ASSET_FILE_BYTES);

} // namespace assets
