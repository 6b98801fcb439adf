#include "search/storedtext.h"

#include <QtEndian>
#include <zlib.h>

namespace {

constexpr int kLevel = 1;
constexpr quint32 kMaxText = quint32(1) << 30;

} // namespace

namespace StoredText {

QByteArray pack(const QByteArray &utf8)
{
    uLongf size = compressBound(uLong(utf8.size()));
    QByteArray packed(qsizetype(4 + size), Qt::Uninitialized);
    qToLittleEndian(quint32(utf8.size()), packed.data());
    if (compress2(reinterpret_cast<Bytef *>(packed.data() + 4), &size,
                  reinterpret_cast<const Bytef *>(utf8.constData()), uLong(utf8.size()),
                  kLevel) != Z_OK)
        return {};
    packed.resize(qsizetype(4 + size));
    return packed;
}

std::optional<QByteArray> unpack(const QByteArray &packed)
{
    if (packed.size() < 4)
        return std::nullopt;
    const quint32 length = qFromLittleEndian<quint32>(packed.constData());
    if (length > kMaxText)
        return std::nullopt;
    QByteArray utf8(qsizetype(length), Qt::Uninitialized);
    uLongf size = length;
    if (uncompress(reinterpret_cast<Bytef *>(utf8.data()), &size,
                   reinterpret_cast<const Bytef *>(packed.constData() + 4),
                   uLong(packed.size() - 4)) != Z_OK ||
        size != length)
        return std::nullopt;
    return utf8;
}

} // namespace StoredText
