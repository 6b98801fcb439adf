#pragma once

#include <QByteArray>

// Which character set a saved page is written in, and its text as UTF-8.
// The order is a browser's: a byte-order mark, then what the transport said
// (the charset of a MIME part), then a <meta> near the top of the page, then
// UTF-8 if the bytes are valid UTF-8, then a guess from the bytes (uchardet).
// Old Russian pages are mostly Windows-1251 or KOI8-R without a declaration.
namespace PageCharset {

// The encoding a byte-order mark names ("utf-8", "utf-16le", "utf-16be"), or empty.
QByteArray fromBom(const QByteArray &bytes);
// The charset declared by a <meta charset> or <meta http-equiv="Content-Type">
// in the first kilobytes, as written (not yet checked), or empty.
QByteArray fromMeta(const QByteArray &bytes);
// A guess from the bytes alone; never empty.
QByteArray detect(const QByteArray &bytes);
// The label browsers use for a charset name, e.g. "cp1251" -> "windows-1251",
// "iso-8859-1" -> "windows-1252"; empty when no decoder knows it.
QByteArray normalise(const QByteArray &label);

struct Decoded {
    QByteArray utf8;
    QByteArray charset; // what it was decoded from
};

// The page's bytes as UTF-8. declared is the transport's charset, may be empty.
Decoded toUtf8(const QByteArray &bytes, const QByteArray &declared = {});

} // namespace PageCharset
