// Unpacking and writing back an archive, against Info-ZIP on the same data in
// the same run: ZipReader::extract against `unzip -q`, FolderZip::write against
// `zip -9 -r -q`, and the write-back after a small change (our update of the
// unpacked zip) against `zip -FS` on the same folder and zip. Leaving the
// archive for a 10-page one is timed against leaving a 10-page one. bench/README.md
// explains the rows.
//
//   zipbench [--pages N] [--files-per-page N] [--runs N] [--seed N] [--leaving-only]
//
// The working set is generated from the seed (bench/pageset.h): pages of HTML
// text, each with a companion folder of style sheets, scripts and
// incompressible "pictures"; --files-per-page changes how many files share a
// page's 250 KB (11 by default), so that sets of more than 1,818 pages fit
// into a zip.
// Each side runs in a child process (ours is this program started again with
// --child). Our times are those of the operation inside the child; Info-ZIP's
// are the whole process, its start included (about a millisecond). Every side
// runs once to warm the cache before the timed runs, which alternate between
// sides. Peak memory is the high-water mark of the process's own memory
// (VmHWM): ours reports it at its end; Info-ZIP's is sampled in an extra,
// untimed run. (ru_maxrss would not do: a spawned child inherits the
// parent's high-water mark across exec.)

#include "benchrun.h"
#include "pageset.h"
#include "storage/folderzip.h"
#include "storage/listfile.h"
#include "storage/longwork.h"
#include "storage/openarchive.h"
#include "storage/pagelistmodel.h"
#include "storage/pagenames.h"
#include "zip/zipguard.h"
#include "zip/zipreader.h"
#include "zip/zipwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace {

using namespace BenchRun;

// The shape of the pages of this run; children are told it on their command
// line, before --child.
PageSet::Shape g_shape;

qint64 generate(const QString &folder, int pages, quint32 seed, int *fileCount)
{
    return PageSet::generate(folder, pages, seed, fileCount, g_shape);
}

// The change an update row makes to an unpacked archive and its page list.
bool change(const QString &folder, const QString &what, PageListModel &pages)
{
    if (what == QLatin1String("add")) {
        QRandomGenerator rng(4242);
        int files = 0;
        // Page 999 unless the set has a page of that number already.
        return PageSet::writePage(folder, std::max(999, int(pages.count())), rng, pages, &files,
                                  g_shape) > 0;
    }
    if (what == QLatin1String("remove")) {
        const QString file = pages.fileName(0);
        const QString companion = PageNames::baseName(file) + QStringLiteral("_files");
        pages.removeAt(0);
        return QFile::remove(folder + u'/' + file) &&
               QDir(folder + u'/' + companion).removeRecursively();
    }
    if (what == QLatin1String("rename")) {
        pages.setTitle(0, QStringLiteral("A title the user gave it"));
        return true;
    }
    return false;
}

// The page list file of pages written into folder, then folder into zipPath:
// the program's write-back. False, with the reason on stderr, when it failed.
bool writeBack(const QString &folder, const QString &zipPath, const PageListModel &pages,
               ZipWriter &writer, const UnpackRecord *previous, UnpackRecord *written = nullptr)
{
    if (!saveWholeFile(ListFile::path(folder), ListFile::compose(pages.titles(), pages.fileNames())))
        return false;
    auto zipped = FolderZip::write(folder, zipPath, writer, previous);
    // Our side's messages go to stderr: the benchmark has no one to ask.
    if (!zipped) {
        std::fprintf(stderr, "%s\n", qPrintable(zipped.failure().detail));
        return false;
    }
    if (written)
        *written = *zipped;
    return true;
}

// --child extract <zip> <dest> | save <folder> <zip> | idle
//       | update <zip> <folder> <add|remove|rename> [full]
//       | leave <zip> <next zip> <data folder> [in-place]
// leave opens the zip as the program does, then times closing it and opening
// the next one; in-place: with the working copy removed where it is.
// update unpacks the zip into the folder, makes the change and times the
// write-back alone: incremental, or with full a write of every file.
int child(const QStringList &args)
{
    const QString op = args.value(2);
    ZipWriter writer;
    QElapsedTimer timer;
    bool ok = false;
    PageListModel pages;
    if (op == QLatin1String("extract")) {
        QDir().mkpath(args.value(4));
        timer.start();
        auto extracted = ZipReader::extract(args.value(3), args.value(4));
        ok = extracted.hasValue();
        if (!ok)
            std::fprintf(stderr, "extract: %s\n", qPrintable(extracted.failure().detail));
    } else if (op == QLatin1String("save")) {
        const QString folder = args.value(3);
        readListFile(ListFile::path(folder), pages);
        timer.start();
        ok = writeBack(folder, args.value(4), pages, writer, nullptr);
    } else if (op == QLatin1String("update")) {
        const QString zipPath = args.value(3);
        const QString folder = args.value(4);
        QDir().mkpath(folder);
        auto unpacked = ZipReader::extract(zipPath, folder);
        if (!unpacked || !readListFile(ListFile::path(folder), pages) ||
            !change(folder, args.value(5), pages))
            return 1;
        ::sync(); // the unpacking's dirty pages are not the write-back's to pay for
        const bool full = args.value(6) == QLatin1String("full");
        timer.start();
        ok = writeBack(folder, zipPath, pages, writer, full ? nullptr : &*unpacked) &&
             (full || writer.copiedEntries() > 0);
    } else if (op == QLatin1String("leave")) {
        WorkFolders folders = WorkFolders::under(args.value(5));
        if (args.value(6) == QLatin1String("in-place"))
            folders.renameFolder = [](const QString &, const QString &) { return false; };
        OpenArchive archive(folders);
        InlineWork work;
        // Left after reading a while: its working copy is whole.
        if (archive.open(args.value(3), work) != OpenArchive::OpenStatus::Opened ||
            !archive.completeCopy(work))
            return 1;
        ::sync();
        timer.start();
        ok = archive.close() &&
             archive.open(args.value(4), work) == OpenArchive::OpenStatus::Opened;
    } else if (op == QLatin1String("idle")) {
        timer.start();
        ok = true;
    }
    std::printf("ms=%.3f\nhwm=%ld\n", timer.nsecsElapsed() / 1e6,
                highWaterKiB("/proc/self/status"));
    return ok ? 0 : 1;
}

void printRow(const char *what, const Side &ours, const Side &theirs)
{
    const double a = median(ours.ms);
    const double b = median(theirs.ms);
    std::printf("%-34s %10.1f ms %10.1f ms %8.2f%s\n", what, a, b, b > 0 ? a / b : 0.0,
                ours.failed || theirs.failed ? "  (a run FAILED)" : "");
}

// Leaving the archive for a 10-page one, against leaving a 10-page one; the
// same with the working copy removed where it is, as it was before. False
// when it could not be measured.
struct Leaving {
    Side big, small, bigInPlace, smallInPlace;
    bool failed() const
    {
        return big.failed || small.failed || bigInPlace.failed || smallInPlace.failed;
    }
};

bool measureLeaving(const QString &self, const QString &archive, const QTemporaryDir &tmp,
                    quint32 seed, int runs, Leaving &out)
{
    const QString small = tmp.filePath(QStringLiteral("small"));
    const QString smallZip = tmp.filePath(QStringLiteral("small.zip"));
    int smallFiles = 0;
    if (generate(small, 10, seed, &smallFiles) < 0 ||
        !spawn({self, "--child", "save", small, smallZip}).ok)
        return false;
    const QString data = tmp.filePath(QStringLiteral("data"));
    const auto leave = [&](const QString &zip, const char *how) {
        QDir(data).removeRecursively();
        ::sync();
        return spawn({self, "--child", "leave", zip, smallZip, data, how});
    };
    for (int run = -1; run < runs; ++run) {
        const RunResult a = leave(archive, "");
        const RunResult b = leave(smallZip, "");
        const RunResult c = leave(archive, "in-place");
        const RunResult d = leave(smallZip, "in-place");
        if (run >= 0) {
            out.big.add(a, true);
            out.small.add(b, true);
            out.bigInPlace.add(c, true);
            out.smallInPlace.add(d, true);
        }
    }
    QDir(data).removeRecursively();
    return true;
}

void printLeaving(const Leaving &leaving, int pages)
{
    std::printf("%-34s %13s %13s %8s\n", "leaving it for a 10-page archive",
                QString::number(pages).toLatin1().constData(), "10", "ratio");
    printRow("moved aside, removed meanwhile", leaving.big, leaving.small);
    printRow("removed in place first", leaving.bigInPlace, leaving.smallInPlace);
}

bool copyFresh(const QString &from, const QString &to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QLatin1String("--files-per-page")); at > 0) {
        g_shape.filesPerPage = args.value(at + 1).toInt();
        args.remove(at, 2);
    }
    if (args.value(1) == QLatin1String("--child"))
        return child(args);

    int pages = 200;
    int runs = 5;
    quint32 seed = 1;
    // --leaving-only: the leaving rows alone, for archives too big to run the rest.
    const bool leavingOnly = args.contains(QLatin1String("--leaving-only"));
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--leaving-only"))
            i -= 1;
        else if (args.at(i) == QLatin1String("--pages"))
            pages = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--runs"))
            runs = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--seed"))
            seed = args.at(i + 1).toUInt();
    }
    if (!g_shape.valid() || pages < 1 ||
        std::uint64_t(g_shape.entries(pages)) > ZipLimits::kMaxEntries) {
        std::fprintf(stderr,
                     "%d pages of %d files make %d zip entries; a zip holds at most %d, and a "
                     "page at least 3 files (--files-per-page)\n",
                     pages, g_shape.filesPerPage, g_shape.entries(pages),
                     int(ZipLimits::kMaxEntries));
        return 1;
    }
    const QString shapeArg = QString::number(g_shape.filesPerPage);
    const QString zipTool = QStandardPaths::findExecutable(QStringLiteral("zip"));
    const QString unzipTool = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (zipTool.isEmpty() || unzipTool.isEmpty()) {
        std::fprintf(stderr, "zipbench needs Info-ZIP zip and unzip installed\n");
        return 1;
    }

    QTemporaryDir tmp;
    const QString source = tmp.filePath(QStringLiteral("work"));
    int files = 0;
    const qint64 bytes = generate(source, pages, seed, &files);
    // The same kind of set at half the size, for the memory row.
    const QString half = tmp.filePath(QStringLiteral("half"));
    int halfFiles = 0;
    if (bytes < 0 ||
        (!leavingOnly && generate(half, std::max(1, pages / 2), seed, &halfFiles) < 0)) {
        std::fprintf(stderr, "cannot generate the working set in %s\n", qPrintable(tmp.path()));
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    // The archive both unpack: written by our side, as the program's archives are.
    const QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    if (!spawn({self, "--child", "save", source, archive}).ok) {
        std::fprintf(stderr, "cannot write the archive\n");
        return 1;
    }
    if (leavingOnly) // the rows to come need the zip alone: disk for a bigger set
        QDir(source).removeRecursively();

    Leaving leaving;
    if (!measureLeaving(self, archive, tmp, seed, runs, leaving)) {
        std::fprintf(stderr, "cannot write the 10-page archive\n");
        return 1;
    }
    if (leavingOnly) {
        std::printf("zipbench: %d pages of %d files, %s zip; median of %d runs after one "
                    "warm-up\n\n",
                    pages, g_shape.filesPerPage, qPrintable(mb(QFileInfo(archive).size())), runs);
        printLeaving(leaving, pages);
        return leaving.failed() ? 1 : 0;
    }

    const QString oursOut = tmp.filePath(QStringLiteral("ours.zip"));
    const QString theirsOut = tmp.filePath(QStringLiteral("theirs.zip"));
    const QString oursDir = tmp.filePath(QStringLiteral("ours"));
    const QString theirsDir = tmp.filePath(QStringLiteral("theirs"));
    const auto clean = [&] {
        QDir(oursDir).removeRecursively();
        QDir(theirsDir).removeRecursively();
        QFile::remove(oursOut);
        QFile::remove(theirsOut);
        // No side pays for writing back what an earlier one left dirty.
        ::sync();
    };

    Side unpackOurs, unpackTheirs, saveOurs, saveTheirs, saveHalf;
    qint64 oursSize = 0, theirsSize = 0;
    for (int run = -1; run < runs; ++run) { // run -1 warms the cache
        clean();
        QDir().mkpath(theirsDir);
        const RunResult a = spawn({self, "--child", "extract", archive, oursDir});
        ::sync();
        const RunResult b = spawn({unzipTool, "-q", archive, "-d", theirsDir});
        ::sync();
        const RunResult c = spawn({self, "--child", "save", source, oursOut});
        ::sync();
        const RunResult d = spawn({zipTool, "-9", "-r", "-q", theirsOut, "."}, source);
        oursSize = QFileInfo(oursOut).size();
        theirsSize = QFileInfo(theirsOut).size();
        ::sync();
        const RunResult e = spawn({self, "--child", "save", half, oursOut});
        if (run < 0)
            continue;
        unpackOurs.add(a);
        unpackTheirs.add(b);
        saveOurs.add(c);
        saveTheirs.add(d);
        saveHalf.add(e);
    }

    // Updates: both sides start from the archive unpacked by themselves, make
    // the same change, and write the same zip back.
    const QStringList changes{QStringLiteral("add"), QStringLiteral("remove"),
                              QStringLiteral("rename")};
    QList<Side> updateOurs(changes.size()), updateTheirs(changes.size());
    Side incremental, fullAfterAdd;
    for (int run = -1; run < runs; ++run) {
        for (qsizetype i = 0; i < changes.size(); ++i) {
            clean();
            copyFresh(archive, oursOut);
            const RunResult a = spawn({self, "--files-per-page", shapeArg, "--child", "update", oursOut, oursDir, changes.at(i)});
            clean();
            copyFresh(archive, theirsOut);
            PageListModel list;
            RunResult b;
            if (spawn({unzipTool, "-q", theirsOut, "-d", theirsDir}).ok &&
                readListFile(ListFile::path(theirsDir), list) &&
                change(theirsDir, changes.at(i), list) && writeListFile(theirsDir, list)) {
                ::sync();
                b = spawn({zipTool, "-FS", "-9", "-r", "-q", theirsOut, "."}, theirsDir);
            }
            if (run >= 0) {
                updateOurs[i].add(a, true);
                updateTheirs[i].add(b);
            }
        }
        clean();
        copyFresh(archive, oursOut);
        const RunResult full = spawn({self, "--files-per-page", shapeArg, "--child", "update", oursOut, oursDir, "add", "full"});
        clean();
        copyFresh(archive, oursOut);
        const RunResult inc = spawn({self, "--files-per-page", shapeArg, "--child", "update", oursOut, oursDir, "add"});
        if (run >= 0) {
            fullAfterAdd.add(full, true);
            incremental.add(inc, true);
        }
    }

    // Info-ZIP's memory, in runs of their own: sampling takes time.
    clean();
    QDir().mkpath(theirsDir);
    unpackTheirs.peakKiB = spawn({unzipTool, "-q", archive, "-d", theirsDir}, {}, true).peakKiB;
    saveTheirs.peakKiB = spawn({zipTool, "-9", "-r", "-q", theirsOut, "."}, source, true).peakKiB;
    clean();
    const RunResult idle = spawn({self, "--child", "idle"});

    std::printf("zipbench: %d pages, %d files, %s of data (seed %u); zip to unpack: %s\n", pages,
                files, qPrintable(mb(bytes)), seed, qPrintable(mb(QFileInfo(archive).size())));
    if (g_shape.filesPerPage != PageSet::Shape().filesPerPage)
        std::printf("%d files a page\n", g_shape.filesPerPage);
    std::printf("median of %d runs after one warm-up, same machine, same data, warm cache, "
                "%d cores\n\n",
                runs, QThread::idealThreadCount());
    std::printf("%-34s %13s %13s %8s\n", "", "ours", "Info-ZIP", "ratio");
    printRow("unpack (extract / unzip -q)", unpackOurs, unpackTheirs);
    printRow("write (FolderZip / zip -9 -r -q)", saveOurs, saveTheirs);
    printRow("update, one page added", updateOurs[0], updateTheirs[0]);
    printRow("update, one page removed", updateOurs[1], updateTheirs[1]);
    printRow("update, one title renamed", updateOurs[2], updateTheirs[2]);
    std::printf("%-34s %13s %13s\n", "zip written", qPrintable(mb(oursSize)),
                qPrintable(mb(theirsSize)));
    std::printf("%-34s %9ld KiB %9ld KiB\n", "peak memory (VmHWM), unpack", unpackOurs.peakKiB,
                unpackTheirs.peakKiB);
    std::printf("%-34s %9ld KiB %9ld KiB\n", "peak memory (VmHWM), write", saveOurs.peakKiB,
                saveTheirs.peakKiB);
    std::printf("(our side is the whole program's process: started and doing nothing it "
                "peaks at %ld KiB)\n\n",
                idle.peakKiB);
    std::printf("%-34s %13s %13s %8s\n", "ours against ours", "update", "full", "ratio");
    printRow("update vs full write-back, 1 added", incremental, fullAfterAdd);
    std::printf("%-34s %13s %13s %8s\n", "", QString::number(pages).toLatin1().constData(),
                QString::number(std::max(1, pages / 2)).toLatin1().constData(), "ratio");
    std::printf("%-34s %9ld KiB %9ld KiB %8.2f\n", "peak memory, write, pages", saveOurs.peakKiB,
                saveHalf.peakKiB,
                saveHalf.peakKiB > 0 ? double(saveOurs.peakKiB) / saveHalf.peakKiB : 0.0);
    std::printf("\n");
    printLeaving(leaving, pages);
    std::printf("\nours writes to a temporary file, fsyncs it and renames it over the zip;"
                " zip does not fsync.\n");
    bool failed = unpackOurs.failed || unpackTheirs.failed || saveOurs.failed ||
                  saveTheirs.failed || incremental.failed || fullAfterAdd.failed ||
                  leaving.failed();
    for (qsizetype i = 0; i < changes.size(); ++i)
        failed = failed || updateOurs[i].failed || updateTheirs[i].failed;
    return failed ? 1 : 0;
}
