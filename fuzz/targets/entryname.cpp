// Entry names as a zip's central directory gives them: code page 866 with the
// program's shift, the Unicode Path extra field, UTF-8 with or without its
// flag. The input is one central directory record (46 bytes, then the name,
// then the extra field; lengths running past the input are cut to it).
// Every name that may be unpacked must also be storable, and come back the
// same from what is stored.

#include "fuzzsupport.h"
#include "zip/entryname.h"
#include "zip/zipguard.h"

namespace {

constexpr std::size_t kRecordSize = 46;

std::uint16_t le16(const std::uint8_t *p)
{
    return std::uint16_t(p[0] | (p[1] << 8));
}

bool isAsciiOrCyrillic(const QString &name)
{
    for (const QChar c : name) {
        if (c.unicode() >= 0x80 && (c.unicode() < 0x0410 || c.unicode() > 0x044F))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const FuzzSupport::CpuBudget budget;
    if (size < kRecordSize)
        return 0;
    const std::uint16_t versionMadeBy = le16(data + 4);
    const std::uint16_t flags = le16(data + 8);
    const std::size_t rest = size - kRecordSize;
    const std::size_t nameLength = std::min<std::size_t>(le16(data + 28), rest);
    const std::size_t extraLength = std::min<std::size_t>(le16(data + 30), rest - nameLength);
    const QByteArray raw(reinterpret_cast<const char *>(data + kRecordSize), qsizetype(nameLength));
    const QByteArray extra(reinterpret_cast<const char *>(data + kRecordSize + nameLength),
                           qsizetype(extraLength));

    const QString name = EntryName::decode(raw, flags, extra, versionMadeBy);
    FUZZ_CHECK(!name.contains(u'\\'), FuzzSupport::shown(name));
    if (!EntryName::unsafeReason(name).isEmpty() || name.endsWith(u'/') ||
        name.toUtf8().size() > ZipLimits::kMaxPathBytes)
        return 0;

    QString why;
    const auto encoded = EntryName::encode(name, &why);
    FUZZ_CHECK(encoded, QStringLiteral("\"%1\" unpacks but cannot be stored: %2")
                            .arg(FuzzSupport::shown(name), why));
    // The writer's own entries are made on an MS-DOS host (version made by 0).
    const QString back = EntryName::decode(encoded->name, encoded->flags, encoded->extra, 0);
    FUZZ_CHECK(back == name, QStringLiteral("\"%1\" is stored so that it reads back as \"%2\"")
                                 .arg(FuzzSupport::shown(name), FuzzSupport::shown(back)));
    // Older copies of the program read code page 866 names without the flag.
    if (isAsciiOrCyrillic(name))
        FUZZ_CHECK(!(encoded->flags & EntryName::kUtf8Flag), FuzzSupport::shown(name));
    return 0;
}
