#include "platform/largeblocks.h"

void returnLargeBlocksWhenFreed()
{
    // The Windows heap has no such threshold to fix.
}

void returnStartupMemory(const std::vector<ProgramData> &)
{
    // The Windows heap gives back on its own, and the system trims the pages of the program
    // file from the working set when memory is short.
}
