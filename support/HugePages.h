// Large buffers backed by huge pages where the system allows it.
#pragma once

#include <cstddef>

// Asks the kernel to back the whole 2 MiB pages inside [address, address +
// size) with transparent huge pages. Call it on freshly allocated memory that
// has not been touched yet: a multi-megabyte photo or its Base64 text is then
// mapped in a few faults instead of thousands. Only a hint: does nothing for
// small buffers or where the system does not offer huge pages.
void AdviseHugePages(void* address, std::size_t size);
