// Fuzzes the configuration reader with arbitrary file contents, then writes what was read and
// reads that back: the second record must equal the first, and writing it again must give the
// same bytes.
#include "app/configuration.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool sameRecord(const Configuration &a, const Configuration &b)
{
    return a.winGeometry == b.winGeometry && a.winState == b.winState && a.active == b.active
           && a.fileName == b.fileName;
}

void fail(const char *what, const Configuration &first, const QByteArray &written)
{
    std::fprintf(stderr,
                 "%s\nfirst record: geometry \"%s\" state \"%s\"\nwritten:\n%s\n",
                 what,
                 qPrintable(first.winGeometry),
                 qPrintable(first.winState),
                 written.constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));

    Configuration first;
    first.read(content);
    const QByteArray written = first.toJson();

    Configuration second;
    second.read(written);
    if (!sameRecord(second, first))
        fail("the file written does not read back to the same record", first, written);
    if (second.toJson() != written)
        fail("writing the re-read record gives different bytes", first, written);

    // Reading over a record that already holds values: a file that is no JSON document keeps them.
    Configuration kept = first;
    kept.read(content);
    if (!sameRecord(kept, first))
        fail("reading the same content twice gives different records", first, written);
    return 0;
}
