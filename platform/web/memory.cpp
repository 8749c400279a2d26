// The browser's heap only grows: freed blocks stay in the module's memory anyway.
#include "platform/memory.h"

namespace platform {

void keepFreedMemory() {}

} // namespace platform
