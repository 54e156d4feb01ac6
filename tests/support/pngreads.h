#pragma once

// Counts the PNG images that libpng has been asked to read in this process, to show that an
// image shown again comes from a cache instead of being decoded again. Works by interposing
// libpng's png_create_read_struct, which Qt's PNG reader calls once per image it reads.
long pngReadsStarted();
