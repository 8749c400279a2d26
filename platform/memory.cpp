// Tells the C library's allocator to keep freed memory in the process (see memory.h for why).
#include "platform/memory.h"

#include <malloc.h>

namespace platform {

void keepFreedMemory() {
    // Blocks up to 32 MiB come from the heap, whose top is never trimmed below 256 MiB of slack.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

} // namespace platform
