#include "platform/largeblocks.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib> // defines __GLIBC__ with glibc

#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

struct Segment
{
    std::uintptr_t begin;
    std::uintptr_t end;
};

// The program file's read-only segments, as loaded: the first object listed is the program.
std::vector<Segment> programReadOnlySegments()
{
    std::vector<Segment> segments;
    dl_iterate_phdr(
        [](dl_phdr_info *info, std::size_t, void *out) {
            auto &found = *static_cast<std::vector<Segment> *>(out);
            for (int n = 0; n < info->dlpi_phnum; ++n) {
                const ElfW(Phdr) &header = info->dlpi_phdr[n];
                if (header.p_type == PT_LOAD && !(header.p_flags & PF_W)) {
                    const std::uintptr_t begin = info->dlpi_addr + header.p_vaddr;
                    found.push_back({begin, begin + header.p_memsz});
                }
            }
            return 1; // the program only
        },
        &segments);
    return segments;
}

} // namespace

void returnLargeBlocksWhenFreed()
{
#ifdef __GLIBC__
    // Setting the threshold, even to its default, stops it from growing.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

void returnStartupMemory(const std::vector<ProgramData> &read)
{
#ifdef __GLIBC__
    // Also the free pages between blocks still in use, which starting up leaves many of.
    malloc_trim(0);
#endif
    const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    for (const Segment &segment : programReadOnlySegments()) {
        std::uintptr_t begin = UINTPTR_MAX;
        std::uintptr_t end = 0;
        for (const ProgramData &data : read) {
            const auto at = reinterpret_cast<std::uintptr_t>(data.data);
            if (at >= segment.begin && at + data.size <= segment.end) {
                begin = std::min(begin, at);
                end = std::max(end, at + data.size);
            }
        }
        // Whole pages only: what shares a page with the data stays.
        begin = (begin + page - 1) & ~(page - 1);
        end &= ~(page - 1);
        // The pages of a read-only part of a file that nothing wrote to: dropping them loses
        // nothing.
        if (begin < end)
            madvise(reinterpret_cast<void *>(begin), end - begin, MADV_DONTNEED);
    }
}
