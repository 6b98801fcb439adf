#include "childprocess.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <sys/stat.h>

namespace ChildProcess {

QString escapeLine(QString text)
{
    return text.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\n', QStringLiteral("\\n"));
}

QString unescapeLine(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\\' && i + 1 < text.size()) {
            const QChar c = text.at(++i);
            out += c == u'r' ? QChar(u'\r') : c == u'n' ? QChar(u'\n') : c;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

Report parseReport(int exitCode, const QByteArray &output)
{
    Report report;
    report.exitCode = exitCode;
    report.raw = output;
    for (const QString &line : QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("result=")))
            report.result = line.mid(7) == QLatin1String("1");
        else if (line.startsWith(QLatin1String("failure=")))
            report.failures << unescapeLine(line.mid(8));
        else if (line.startsWith(QLatin1String("page=")))
            report.pages << unescapeLine(line.mid(5));
    }
    return report;
}

Report run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(300000))
        return {};
    return parseReport(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll());
}

QStringList childArgs(const QStringList &rest)
{
    return QStringList{QCoreApplication::applicationFilePath(), QStringLiteral("--child")} + rest;
}

Report runAsNobody(const QStringList &rest)
{
    return run(QStringLiteral("setpriv"),
               QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                           QStringLiteral("--clear-groups")} +
                   childArgs(rest));
}

void openToEveryone(const QString &path)
{
    ::chmod(QFile::encodeName(path).constData(), 0777);
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        ::chmod(QFile::encodeName(entry).constData(), it.fileInfo().isDir() ? 0777 : 0666);
    }
}

} // namespace ChildProcess
