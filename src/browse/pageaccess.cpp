#include "browse/pageaccess.h"

#include "browse/localfiles.h"

#include <QFileInfo>
#include <QUrl>

namespace {

bool isInside(const QString &canonical, const QString &canonicalRoot)
{
    return canonical.startsWith(canonicalRoot + u'/');
}

// The file under one of roots that path stands for, with every link resolved
// before it is judged; empty when there is none inside a root.
PageAccess::Verdict confined(const QString &path, const QStringList &roots)
{
    for (const QString &root : roots) {
        if (root.isEmpty())
            continue;
        const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
        if (canonicalRoot.isEmpty())
            continue;
        QString file = path;
        PageAccess::Verdict::Kind kind = PageAccess::Verdict::Allow;
        if (!QFileInfo::exists(path)) {
            file = LocalFiles::resolveWithoutCase(root, path);
            if (file.isEmpty())
                continue;
            kind = PageAccess::Verdict::Redirect;
        }
        const QFileInfo info(file);
        // Only files: a folder would show a listing of what it holds.
        if (info.isFile() && isInside(info.canonicalFilePath(), canonicalRoot))
            return {kind, kind == PageAccess::Verdict::Redirect ? file : QString()};
    }
    return {};
}

} // namespace

namespace PageAccess {

Verdict forRequest(const QUrl &url, bool offline, const QStringList &roots)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == u"file") {
        // A file on another machine is no file of the archive.
        const QString host = url.host();
        if (!host.isEmpty() && host.compare(u"localhost", Qt::CaseInsensitive) != 0)
            return {};
        return confined(url.toLocalFile(), roots);
    }
    if (scheme == u"data" || scheme == u"blob" || scheme == u"about" || scheme == u"qrc")
        return {Verdict::Allow, {}};
    if (scheme == u"http" || scheme == u"https" || scheme == u"ws" || scheme == u"wss")
        return {offline ? Verdict::Refuse : Verdict::Allow, {}};
    return {};
}

bool isForAnotherProgram(const QUrl &url)
{
    static const QStringList kKnown = {
        QStringLiteral("mailto"), QStringLiteral("news"),   QStringLiteral("nntp"),
        QStringLiteral("snews"),  QStringLiteral("irc"),    QStringLiteral("ircs"),
        QStringLiteral("xmpp"),   QStringLiteral("sip"),    QStringLiteral("sips"),
        QStringLiteral("tel"),    QStringLiteral("callto"), QStringLiteral("sms"),
        QStringLiteral("geo"),    QStringLiteral("magnet"), QStringLiteral("webcal"),
        QStringLiteral("ftp"),
    };
    return url.isValid() && kKnown.contains(url.scheme().toLower());
}

bool isShownInView(const QUrl &url)
{
    static const QStringList kOwn = {
        QStringLiteral("file"), QStringLiteral("http"),       QStringLiteral("https"),
        QStringLiteral("data"), QStringLiteral("blob"),       QStringLiteral("about"),
        QStringLiteral("qrc"),  QStringLiteral("javascript"),
    };
    return kOwn.contains(url.scheme().toLower());
}

} // namespace PageAccess
