#pragma once

#include <QByteArray>

// The page inside a saved web archive (.mht, MIME multipart/related): the part
// the archive starts with, decoded from quoted-printable or base64, with the
// charset its header declares.
namespace MhtReader {

struct Document {
    QByteArray body;        // decoded bytes, still in charset
    QByteArray charset;     // as the part's Content-Type declares it, may be empty
    QByteArray contentType; // lower case, e.g. "text/html"
};

// False when the bytes hold no MIME message.
bool rootDocument(const QByteArray &mht, Document &document);

QByteArray decodeQuotedPrintable(const QByteArray &encoded);

} // namespace MhtReader
