#include "search/mhtreader.h"

#include <QList>

namespace {

struct Headers {
    QByteArray contentType; // the value, parameters included
    QByteArray transferEncoding;
    QByteArray contentId;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

// Reads a header block from pos up to and including the blank line after it;
// continuation lines are joined. False when no header line was found.
bool readHeaders(const QByteArray &bytes, qsizetype &pos, Headers &headers)
{
    QList<QByteArray> lines;
    const qsizetype n = bytes.size();
    while (pos < n) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = n;
        QByteArray line = bytes.mid(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        pos = end + 1;
        if (line.isEmpty())
            break;
        if (isSpace(line[0]) && !lines.isEmpty())
            lines.last() += ' ' + line.trimmed();
        else
            lines << line;
    }
    bool any = false;
    for (const QByteArray &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-type")
            headers.contentType = value;
        else if (name == "content-transfer-encoding")
            headers.transferEncoding = value.toLower();
        else if (name == "content-id")
            headers.contentId = value;
        any = true;
    }
    return any;
}

// A parameter of a header value: boundary, charset, start, type.
QByteArray parameter(const QByteArray &value, const QByteArray &wanted)
{
    qsizetype pos = value.indexOf(';');
    while (pos >= 0 && pos < value.size()) {
        ++pos;
        while (pos < value.size() && isSpace(value[pos]))
            ++pos;
        const qsizetype eq = value.indexOf('=', pos);
        if (eq < 0)
            break;
        const QByteArray name = value.mid(pos, eq - pos).trimmed().toLower();
        pos = eq + 1;
        while (pos < value.size() && isSpace(value[pos]))
            ++pos;
        QByteArray result;
        if (pos < value.size() && value[pos] == '"') {
            const qsizetype close = value.indexOf('"', pos + 1);
            result = value.mid(pos + 1, close < 0 ? -1 : close - pos - 1);
            pos = close < 0 ? value.size() : close + 1;
            pos = value.indexOf(';', pos);
        } else {
            const qsizetype semicolon = value.indexOf(';', pos);
            result = value.mid(pos, semicolon < 0 ? -1 : semicolon - pos).trimmed();
            pos = semicolon;
        }
        if (name == wanted)
            return result;
    }
    return {};
}

QByteArray mediaType(const QByteArray &contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return contentType.left(semicolon < 0 ? contentType.size() : semicolon).trimmed().toLower();
}

QByteArray decodeBody(const QByteArray &body, const QByteArray &encoding)
{
    if (encoding == "quoted-printable")
        return MhtReader::decodeQuotedPrintable(body);
    if (encoding == "base64")
        return QByteArray::fromBase64(body); // line breaks and stray bytes are skipped
    return body;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray unbracketed(QByteArray id)
{
    id = id.trimmed();
    if (id.startsWith('<') && id.endsWith('>'))
        id = id.mid(1, id.size() - 2);
    return id;
}

} // namespace

namespace MhtReader {

QByteArray decodeQuotedPrintable(const QByteArray &encoded)
{
    QByteArray out;
    out.reserve(encoded.size());
    const qsizetype n = encoded.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = encoded[i];
        if (c != '=') {
            out += c;
            continue;
        }
        // A soft line break: "=" at the end of a line, blanks allowed before it.
        qsizetype j = i + 1;
        while (j < n && isSpace(encoded[j]))
            ++j;
        if (j < n && (encoded[j] == '\r' || encoded[j] == '\n')) {
            if (encoded[j] == '\r' && j + 1 < n && encoded[j + 1] == '\n')
                ++j;
            i = j;
            continue;
        }
        if (j >= n) {
            i = j;
            continue;
        }
        const int high = i + 1 < n ? hexValue(encoded[i + 1]) : -1;
        const int low = i + 2 < n ? hexValue(encoded[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
            out += char(high * 16 + low);
            i += 2;
        } else {
            out += c; // not an escape: kept as written
        }
    }
    return out;
}

bool rootDocument(const QByteArray &mht, Document &document)
{
    qsizetype pos = 0;
    Headers top;
    if (!readHeaders(mht, pos, top) || top.contentType.isEmpty())
        return false;
    const QByteArray topType = mediaType(top.contentType);
    if (!topType.startsWith("multipart/")) {
        document.body = decodeBody(mht.mid(pos), top.transferEncoding);
        document.charset = parameter(top.contentType, "charset");
        document.contentType = topType;
        return true;
    }

    const QByteArray boundary = parameter(top.contentType, "boundary");
    if (boundary.isEmpty())
        return false;
    const QByteArray start = unbracketed(parameter(top.contentType, "start"));
    const QByteArray delimiter = "--" + boundary;

    struct Part {
        Headers headers;
        qsizetype begin;
        qsizetype end;
    };
    QList<Part> parts;
    // Delimiters stand at the start of a line; the first may follow the
    // blank line that ends the headers at once.
    qsizetype at = mht.indexOf("\n" + delimiter, pos - 1);
    while (at >= 0) {
        const qsizetype lineStart = at == 0 ? 0 : at + 1;
        qsizetype afterDelimiter = lineStart + delimiter.size();
        if (mht.mid(afterDelimiter, 2) == "--")
            break; // the closing delimiter
        const qsizetype lineEnd = mht.indexOf('\n', afterDelimiter);
        if (lineEnd < 0)
            break;
        qsizetype bodyStart = lineEnd + 1;
        Part part;
        readHeaders(mht, bodyStart, part.headers);
        part.begin = bodyStart;
        at = mht.indexOf("\n" + delimiter, bodyStart);
        part.end = at < 0 ? mht.size() : at;
        if (part.end > part.begin && mht[part.end - 1] == '\r')
            --part.end; // the line break before a delimiter belongs to it
        parts << part;
    }
    if (parts.isEmpty())
        return false;

    const Part *root = nullptr;
    if (!start.isEmpty()) {
        for (const Part &part : std::as_const(parts)) {
            if (unbracketed(part.headers.contentId) == start) {
                root = &part;
                break;
            }
        }
    }
    for (const Part &part : std::as_const(parts)) {
        if (root)
            break;
        const QByteArray type = mediaType(part.headers.contentType);
        if (type == "text/html" || type == "application/xhtml+xml")
            root = &part;
    }
    if (!root)
        root = &parts.first();
    document.body =
        decodeBody(mht.mid(root->begin, root->end - root->begin), root->headers.transferEncoding);
    document.charset = parameter(root->headers.contentType, "charset");
    document.contentType = mediaType(root->headers.contentType);
    return true;
}

} // namespace MhtReader
