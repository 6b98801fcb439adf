// A saved web archive (.mht): its MIME parts, the root document found by its
// Content-ID or type, decoded from quoted-printable or base64 and read in the
// charset its part declares; then its text as for any page.

#include "pagechecks.h"
#include "search/mhtreader.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const FuzzSupport::CpuBudget budget;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    MhtReader::Document document;
    if (MhtReader::rootDocument(bytes, document))
        FUZZ_CHECK(document.body.size() <= bytes.size(),
                   QStringLiteral("the root document is larger than the archive"));
    FUZZ_CHECK(MhtReader::decodeQuotedPrintable(bytes).size() <= bytes.size(),
               QStringLiteral("quoted-printable decoded to more bytes than it had"));
    PageChecks::check(PageExtractor::extract(bytes, QStringLiteral("page.mht")));
    return 0;
}
