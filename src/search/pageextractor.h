#pragma once

#include <QByteArray>
#include <QString>

// The text of one saved page (HTML or a .mht web archive) from its bytes.
namespace PageExtractor {

// Pages larger than this are read only this far: the index is for finding a
// page, and the parser's memory grows with its input.
inline constexpr qsizetype kMaxHtmlBytes = qsizetype(16) << 20;

struct PageText {
    QByteArray title;   // the page's own <title>, UTF-8
    QByteArray text;    // its visible text, UTF-8
    QByteArray charset; // what the page was decoded from
    bool cut = false;   // the page was longer than kMaxHtmlBytes
};

// Whether a file name is one of the page files an archive holds (by extension).
bool isPageFileName(const QString &name);
bool isWebArchiveName(const QString &name);

PageText extract(const QByteArray &bytes, const QString &fileName);

} // namespace PageExtractor
