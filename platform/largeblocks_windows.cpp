#include "platform/largeblocks.h"

void returnLargeBlocksWhenFreed()
{
    // The Windows heap has no such threshold to fix.
}
