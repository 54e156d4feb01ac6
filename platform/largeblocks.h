#pragma once

// Makes the memory of large blocks go back to the system as soon as they are freed. Decoding
// an image file holds the whole image for a moment (the 535×300 button artwork is 640 KB, twice
// over while it is converted), to be scaled to the few kilobytes shown. glibc's allocator raises
// its threshold for giving memory back with every such block freed, and then keeps their pages
// for the life of the process; fixed at its default, it gives them back. Other allocators are
// left as they are. Called once, before the application object exists;
// platform/largeblocks_<platform>.cpp does the work.
void returnLargeBlocksWhenFreed();
