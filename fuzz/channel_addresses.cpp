// Fuzzes the parser of the hand-edited ".channels" address file. Besides surviving any content,
// the addresses it finds, written back in the documented form, must parse to themselves without
// a rejected line, and every problem line must name the file.
#include "channel/channeladdresses.h"

#include <cstdio>
#include <cstdlib>

namespace {

const QString FileName = QStringLiteral("fuzz.channels");

void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));
    const ChannelAddressFile parsed = parseChannelAddresses(content, FileName);

    const int lines = content.count('\n') + 1;
    if (parsed.problems.size() > lines)
        fail("more problems than lines");
    for (const QString &problem : parsed.problems) {
        if (!problem.startsWith(FileName + QLatin1Char(':')))
            fail("a problem line does not name the file");
    }

    QByteArray rewritten;
    for (const ChannelAddress &address : parsed.addresses)
        rewritten += QByteArray(reinterpret_cast<const char *>(address.data()), 3).toHex(' ')
                     + '\n';
    const ChannelAddressFile reparsed = parseChannelAddresses(rewritten, FileName);
    if (reparsed.addresses != parsed.addresses)
        fail("the addresses found do not read back to themselves");
    // Written back, every address is accepted (a repeated address may still be pointed out).
    for (const QString &problem : reparsed.problems) {
        if (problem.contains(QLatin1String("has no receiver")))
            fail("an address found, written back, is rejected");
    }
    return 0;
}
