#include "search/pageextractor.h"

#include "search/htmltext.h"
#include "search/mhtreader.h"
#include "search/pagecharset.h"

#include <QStringList>

namespace {

QString extensionOf(const QString &name)
{
    const qsizetype slash = name.lastIndexOf(u'/');
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= slash + 1)
        return {};
    return name.mid(dot + 1).toLower();
}

} // namespace

namespace PageExtractor {

bool isPageFileName(const QString &name)
{
    static const QStringList extensions = {QStringLiteral("htm"),   QStringLiteral("html"),
                                           QStringLiteral("shtml"), QStringLiteral("dhtml"),
                                           QStringLiteral("phtml"), QStringLiteral("xhtml"),
                                           QStringLiteral("mht"),   QStringLiteral("mhtml")};
    return extensions.contains(extensionOf(name));
}

bool isWebArchiveName(const QString &name)
{
    const QString extension = extensionOf(name);
    return extension == u"mht" || extension == u"mhtml";
}

PageText extract(const QByteArray &bytes, const QString &fileName)
{
    PageText page;
    QByteArray html = bytes;
    QByteArray declared;
    if (isWebArchiveName(fileName)) {
        MhtReader::Document document;
        if (MhtReader::rootDocument(bytes, document)) {
            html = document.body;
            declared = document.charset;
            if (document.contentType == "text/plain") {
                const PageCharset::Decoded decoded = PageCharset::toUtf8(html, declared);
                page.text = decoded.utf8.simplified();
                page.charset = decoded.charset;
                return page;
            }
        }
    }
    PageCharset::Decoded decoded = PageCharset::toUtf8(html, declared);
    html.clear();
    if (decoded.utf8.size() > kMaxHtmlBytes) {
        decoded.utf8.truncate(kMaxHtmlBytes);
        page.cut = true;
    }
    HtmlText::Result result = HtmlText::extract(decoded.utf8);
    page.title = std::move(result.title);
    page.text = std::move(result.text);
    page.charset = decoded.charset;
    return page;
}

} // namespace PageExtractor
