#include "check/collectioncheck.h"

#include "storage/workrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

using Kind = CheckProblem::Kind;

// The zip of an entry as a file: which file it is, or why there is none.
struct ZipFile {
    bool missing = false;
    QString error;             // it is there but cannot be used as a zip file
    std::uint64_t key[2] = {}; // device and inode: one zip reached by two paths is one
};

ZipFile zipFileAt(const QString &path)
{
    ZipFile file;
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) {
        if (path.isEmpty() || errno == ENOENT || errno == ENOTDIR)
            file.missing = true;
        else
            file.error = QStringLiteral("the file cannot be reached: %1")
                             .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return file;
    }
    if (!S_ISREG(st.st_mode))
        file.error = QStringLiteral("it is not a file");
    file.key[0] = std::uint64_t(st.st_dev);
    file.key[1] = std::uint64_t(st.st_ino);
    return file;
}

QString entryName(const CheckedArchive &archive)
{
    return archive.section + u'\\' + archive.archive;
}

CheckProblem problemOf(const CheckedArchive &archive, Kind kind, const QString &detail)
{
    return {kind, archive.section, archive.archive, archive.zipPath, detail};
}

// When a recovered folder was set aside: its name says so; else its time.
QDateTime keptAt(const QFileInfo &folder)
{
    const QString stamp = folder.fileName().mid(int(qstrlen("recovered-")), 15);
    const QDateTime named = QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd-HHmmss"));
    return named.isValid() ? named : folder.lastModified();
}

CheckProblem workingCopy(Kind kind, const QFileInfo &folder, const QDateTime &when)
{
    CheckProblem problem;
    problem.kind = kind;
    problem.folder = folder.absoluteFilePath();
    problem.detail = problem.folder;
    problem.keptAt = when;
    if (const std::optional<WorkRecord> record = WorkRecord::read(problem.folder)) {
        problem.section = record->section;
        problem.archive = record->archive;
        problem.zipPath = record->zipPath;
    }
    return problem;
}

} // namespace

namespace CollectionCheck {

QList<CheckProblem> checkWorkingCopies(const QString &dataFolder,
                                       const QStringList &idleWorkFolders)
{
    QList<CheckProblem> found;
    for (const QString &path : idleWorkFolders) {
        const QDir folder(path);
        if (!folder.exists() ||
            folder.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            continue;
        const QFileInfo info(path);
        found << workingCopy(Kind::LeftoverCopy, info, info.lastModified());
    }
    if (dataFolder.isEmpty())
        return found;
    const QFileInfoList recovered =
        QDir(dataFolder)
            .entryInfoList({QStringLiteral("recovered-*")},
                           QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : recovered)
        found << workingCopy(Kind::RecoveredCopy, info, keptAt(info));
    return found;
}

CheckReport run(const CheckInput &input, const Progress &progress)
{
    CheckReport report;
    // The working folders first: a command of the running program may use
    // one later, and then it is no leftover.
    const QList<CheckProblem> copies = checkWorkingCopies(input.dataFolder, input.idleWorkFolders);

    const QList<CheckedArchive> &archives = input.archives;
    const int total = int(archives.size());
    QList<ZipFile> files;
    QHash<QByteArray, QList<int>> byFile; // the entries of each zip file
    for (const CheckedArchive &archive : archives) {
        files << zipFileAt(archive.zipPath);
        const ZipFile &file = files.last();
        if (!file.missing && file.error.isEmpty())
            byFile[QByteArray(reinterpret_cast<const char *>(file.key), sizeof file.key)]
                << int(files.size() - 1);
    }

    for (int i = 0; i < total; ++i) {
        const CheckedArchive &archive = archives.at(i);
        const ZipFile &file = files.at(i);
        if (file.missing) {
            report.problems << problemOf(archive, Kind::ZipMissing, {});
        } else if (!file.error.isEmpty()) {
            report.problems << problemOf(archive, Kind::ZipDamaged, file.error);
        } else {
            const QList<int> &sharing =
                byFile.value(QByteArray(reinterpret_cast<const char *>(file.key), sizeof file.key));
            QStringList others;
            for (int other : sharing) {
                if (other != i)
                    others << entryName(archives.at(other));
            }
            if (!others.isEmpty())
                report.problems << problemOf(archive, Kind::ZipShared,
                                             others.join(QStringLiteral(", ")));
            // One zip is read once, for the first of its entries.
            if (sharing.value(0) == i)
                report.problems << checkZip(archive, &report.pagesListed, [&progress, i, total] {
                    return progress && !progress(i, total);
                });
        }
        ++report.archivesChecked;
        if (progress && !progress(i + 1, total)) {
            report.cancelled = true;
            break;
        }
    }
    report.problems << copies;
    return report;
}

QFuture<CheckReport> start(const CheckInput &input)
{
    return QtConcurrent::run([input](QPromise<CheckReport> &promise) {
        promise.setProgressRange(0, int(input.archives.size()));
        const CheckReport report = run(input, [&promise](int done, int) {
            promise.setProgressValue(done);
            return !promise.isCanceled();
        });
        promise.addResult(report);
    });
}

} // namespace CollectionCheck

QString CheckProblem::code(Kind kind)
{
    switch (kind) {
    case Kind::ZipMissing:
        return QStringLiteral("zip-missing");
    case Kind::ZipShared:
        return QStringLiteral("zip-shared");
    case Kind::ZipDamaged:
        return QStringLiteral("zip-damaged");
    case Kind::ListMissing:
        return QStringLiteral("list-missing");
    case Kind::ListUnreadable:
        return QStringLiteral("list-unreadable");
    case Kind::ListRefusedLine:
        return QStringLiteral("list-refused-line");
    case Kind::PageMissing:
        return QStringLiteral("page-missing");
    case Kind::PageUnlisted:
        return QStringLiteral("page-unlisted");
    case Kind::FolderWithoutPage:
        return QStringLiteral("folder-without-page");
    case Kind::PastLimits:
        return QStringLiteral("past-limits");
    case Kind::RecoveredCopy:
        return QStringLiteral("recovered-copy");
    case Kind::LeftoverCopy:
        return QStringLiteral("leftover-copy");
    }
    return {};
}
