// How the process's allocator treats freed memory.
#pragma once

namespace platform {

// Keeps freed blocks in the process instead of handing them back to the kernel. The software GL
// driver allocates and frees blocks of hundreds of KiB in every draw; returned to the kernel, their
// pages would be faulted in and cleared again frame after frame.
void keepFreedMemory();

} // namespace platform
