#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The test executable started again with "--child" to run one operation and
// print what happened, for faults that need another user, a file size limit,
// a mount namespace or a kill. The child prints "result=0|1", then
// "failure=..." and "page=..." lines; texts are escaped onto one line.
namespace ChildProcess {

struct Report {
    int exitCode = -1;
    bool result = false;
    QStringList failures;
    QStringList pages;
    QByteArray raw;
};

// A text on one line, and back.
QString escapeLine(QString text);
QString unescapeLine(const QString &text);

Report parseReport(int exitCode, const QByteArray &output);
Report run(const QString &program, const QStringList &args);
// This executable with "--child" and rest.
QStringList childArgs(const QStringList &rest);
// Runs the child as an unprivileged user (root only).
Report runAsNobody(const QStringList &rest);
// Opens every folder below (and including) path to other users, so that an
// unprivileged child can work in it.
void openToEveryone(const QString &path);

} // namespace ChildProcess
