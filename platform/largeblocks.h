#pragma once

#include <cstddef>
#include <vector>

// Makes the memory of large blocks go back to the system as soon as they are freed. Decoding
// an image file holds the whole image for a moment (the 535×300 button artwork is 640 KB, twice
// over while it is converted), to be scaled to the few kilobytes shown. glibc's allocator raises
// its threshold for giving memory back with every such block freed, and then keeps their pages
// for the life of the process; fixed at its default, it gives them back. Other allocators are
// left as they are. Called once, before the application object exists;
// platform/largeblocks_<platform>.cpp does the work.
void returnLargeBlocksWhenFreed();

// Bytes the program file holds, such as the images compiled into it.
struct ProgramData
{
    const void *data;
    std::size_t size;
};

// Once starting up is over: gives back the pages that the allocator holds free, and the pages
// of `read` (data of the program file that was read once, to be decoded) that lie in the
// program file's read-only part. Those are not lost: should one be read again, the system
// brings its page back from the file. Anything outside that part is left alone.
void returnStartupMemory(const std::vector<ProgramData> &read);
