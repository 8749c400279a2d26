// The engine's result codes: every engine operation that can fail returns one, 0 for success.
// The codes are returned as they are and turned into text once, by errorText, at the edge where
// the show reports an engine error.
#pragma once
#include <cstdint>

namespace engine {

using ResultCode = int32_t;

constexpr ResultCode ERR_OK = 0;
constexpr ResultCode ERR_OUT_OF_MEMORY = 1;
constexpr ResultCode ERR_FILE_NOT_FOUND = 2;
constexpr ResultCode ERR_CORRUPT_FILE = 3;
constexpr ResultCode ERR_UNSUPPORTED_VERSION = 4;
constexpr ResultCode ERR_UNSUPPORTED_FORMAT = 5;
constexpr ResultCode ERR_INVALID_FRAME = 6;
constexpr ResultCode ERR_INVALID_OBJECT_NAME = 7;
constexpr ResultCode ERR_NO_KEYFRAMER_DATA = 8;
constexpr ResultCode ERR_NO_SCENE = 9;
constexpr ResultCode ERR_NULL_POINTER = 10;
constexpr ResultCode ERR_INVALID_PARAMETER = 11;
constexpr ResultCode ERR_SPLINE_KEYS = 12;
constexpr ResultCode ERR_SINGULAR_MATRIX = 13;
constexpr ResultCode ERR_INVALID_OBJECT_ID = 14;
constexpr ResultCode ERR_OBJECT_EXISTS = 15;
constexpr ResultCode ERR_NODE_NOT_FOUND = 16;  // attachTrack only; has no message of its own
constexpr ResultCode ERR_INTERNAL = 255;

// The fixed English message of a code; "(undefined) internal error." for codes without one.
const char* errorText(ResultCode code);

} // namespace engine
