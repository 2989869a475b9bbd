#include "allocator.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace allocator {

void keepFreedMemory() {
#ifdef __GLIBC__
    // glibc's defaults map every block of 128 KB or more on its own and unmap it when freed, raising that
    // limit only as such blocks come and go, and hand the top of the heap back once 128 KB of it are free;
    // setting either limit stops the raising, so both are set. Qt's PDF writer takes two 10 MB buffers and a
    // compressor for every page: they now come from the heap, and freed memory stays for the next page and
    // the next step (up to 256 MB, above the largest report's pages) instead of being faulted in and zeroed
    // again. One heap for all threads: a thread's own heaps are at most 64 MB each, and a new thread (Print)
    // given the heaps of an earlier one, full of the preview's pages, mapped and unmapped a new heap for
    // every page.
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // glibc's largest
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_ARENA_MAX, 1);
#endif
}

} // namespace allocator
