#pragma once

#include <QString>
#include <QStringList>

class QUrl;

// What a saved page may reach. A page comes from anywhere on the web and keeps
// its scripts: it is treated as untrusted. It reads files only inside the
// folders it was shown from (the open archive's working folder, the manual),
// reaches the network only while off-line mode is off, and hands nothing to
// other programs by itself.
namespace PageAccess {

struct Verdict {
    enum Kind { Allow, Refuse, Redirect };
    Kind kind = Refuse;
    // For Redirect: the file the request stands for (see LocalFiles).
    QString path;
};

// The verdict on a request of a page shown from below one of roots: a file
// inside a root (links resolved, letter case found as for pages saved on
// Windows) is allowed, every other file refused; data:, blob:, about: and
// the program's own qrc: resources are allowed; http(s) and web sockets only
// while not offline; any other scheme is refused.
Verdict forRequest(const QUrl &url, bool offline, const QStringList &roots);

// Whether url is an address of a kind that a program of the desktop handles
// (mail, news, chat, telephone, ...), which the user may choose to open from
// a page. Addresses of unknown kinds are never handed on.
bool isForAnotherProgram(const QUrl &url);

// Whether the view shows url itself (whatever it then decides about it):
// files, the web, and the schemes of the browser's own.
bool isShownInView(const QUrl &url);

} // namespace PageAccess
