// The messages of the engine's result codes.
#include "engine/result_codes.h"

namespace engine {

const char* errorText(ResultCode code) {
    switch (code) {
    case ERR_OK: return "Ok.";
    case ERR_OUT_OF_MEMORY: return "Out of memory.";
    case ERR_FILE_NOT_FOUND: return "File not found.";
    case ERR_CORRUPT_FILE: return "Invalid (corrupted?) file.";
    case ERR_UNSUPPORTED_VERSION: return "Unsupported version.";
    case ERR_UNSUPPORTED_FORMAT: return "Unsupported file format.";
    case ERR_INVALID_FRAME: return "Invalid frame number.";
    case ERR_INVALID_OBJECT_NAME: return "Invalid object name.";
    case ERR_NO_KEYFRAMER_DATA: return "No keyframer data.";
    case ERR_NO_SCENE: return "No scene loaded.";
    case ERR_NULL_POINTER: return "Null pointer assignment.";
    case ERR_INVALID_PARAMETER: return "Invalid parameter.";
    case ERR_SPLINE_KEYS: return "Less than 2 keys in spline.";
    case ERR_SINGULAR_MATRIX: return "Can't inverse singular matrix.";
    case ERR_INVALID_OBJECT_ID: return "Invalid object id number.";
    case ERR_OBJECT_EXISTS: return "Object already exists.";
    case ERR_INTERNAL: return "Internal error.";
    default: return "(undefined) internal error.";
    }
}

} // namespace engine
