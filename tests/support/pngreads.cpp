#include "pngreads.h"

#include <atomic>
#include <cstdlib>

#include <dlfcn.h>

namespace {
std::atomic<long> reads{0};
}

long pngReadsStarted()
{
    return reads.load();
}

// Same signature as libpng's; the program's definition comes first in symbol lookup, so Qt's
// calls land here and are passed on to the library.
extern "C" void *png_create_read_struct(const char *version,
                                        void *error,
                                        void *onError,
                                        void *onWarning)
{
    using Create = void *(*) (const char *, void *, void *, void *);
    static const auto next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "png_create_read_struct"));
    if (!next)
        std::abort();
    ++reads;
    return next(version, error, onError, onWarning);
}
