#pragma once

#include <QByteArray>
#include <optional>

// A page's text as the index keeps it: deflated, behind its length. Text
// deflates to about a third, which is what keeps the index smaller than the
// text it holds.
namespace StoredText {

QByteArray pack(const QByteArray &utf8);
// Nothing when the bytes are not a packed text (a damaged index).
std::optional<QByteArray> unpack(const QByteArray &packed);

} // namespace StoredText
