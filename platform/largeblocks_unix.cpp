#include "platform/largeblocks.h"

#include <cstdlib> // defines __GLIBC__ with glibc

#ifdef __GLIBC__
#include <malloc.h>
#endif

void returnLargeBlocksWhenFreed()
{
#ifdef __GLIBC__
    // Setting the threshold, even to its default, stops it from growing.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}
