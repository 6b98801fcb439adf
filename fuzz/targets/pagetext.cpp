// A saved page in any encoding: its charset found (byte-order mark, <meta>,
// UTF-8, a guess), its markup trimmed and parsed, its text and title taken,
// tokenized for the index and cut into a snippet.

#include "pagechecks.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const FuzzSupport::CpuBudget budget;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    PageChecks::check(PageExtractor::extract(bytes, QStringLiteral("page.htm")));
    return 0;
}
