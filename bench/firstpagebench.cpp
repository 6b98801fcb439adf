// Opening an archive as the user does, timed until its first page is on
// screen, for archives of 10, 200 and 2,000 pages of the same generated set,
// beside the full unpacking of the same zips by the program and by Info-ZIP.
// bench/README.md explains the rows.
//
//   firstpagebench [--pages 10,200,2000] [--files-per-page N] [--runs N] [--seed N]
//
// The first page: from the open command (Command::OpenSelectedArchive through
// runCommand, with a session whose catalogue holds the archive, the working
// folders in a temporary folder, a user who answers nothing and the
// program's web view, offscreen) until the view reports the first page's load
// finished. One process shows every archive, its web engine warmed first
// with a blank page; before every open nothing is open, the view is blank and
// the working copy of the archive before is removed. The unpacking rows run
// each side in a process of its own, as zipbench does: ours is this program
// started again with --child (the unpacking alone is timed), Info-ZIP's the
// whole `unzip -q` process. Every side runs once to warm the cache before
// the timed runs; the sides alternate and `sync` runs between them.
//
// The set is that of zipbench (bench/pageset.h) with 4 files a page by
// default (the page, its style sheet and two pictures), so that 2,000 pages
// fit into a zip; the smaller archives hold the first pages of the same set,
// so that every archive opens on the same page. Everything is generated into
// a temporary folder ($TMPDIR or /tmp) and removed at the end.

#include "benchrun.h"
#include "pageset.h"

#include "browse/web/webpageview.h"
#include "catalogue/session.h"
#include "commands/command.h"
#include "commands/openstate.h"
#include "commands/runcommand.h"
#include "commands/userinteraction.h"
#include "storage/folderzip.h"
#include "storage/openarchive.h"
#include "zip/zipextraction.h"
#include "zip/zipguard.h"
#include "zip/zipreader.h"
#include "zip/zipwriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>

namespace {

using namespace BenchRun;

// A user who is never asked anything in these runs: a box shown is an open
// that failed, and is told on stderr. Long work runs with the event loop
// turning, as behind the program's progress window.
class HeadlessInteraction : public UserInteraction {
public:
    QStringList told;

    void showMessage(const BoxText &text) override { tell("message", text); }
    void showError(const BoxText &text) override { tell("error", text); }
    void showWarning(const BoxText &text) override { tell("warning", text); }
    void showRefusal(const BoxText &text) override { tell("refusal", text); }
    bool askYesNo(const BoxText &text) override
    {
        tell("question", text);
        return false;
    }
    int askChoice(const BoxText &text, const QStringList &) override
    {
        tell("choice", text);
        return -1;
    }
    QString askName(const QString &, const QString &prompt, const QString &) override
    {
        tell("name", prompt);
        return {};
    }
    QStringList askOpenFiles(const QString &caption, const QString &, bool) override
    {
        tell("open files", caption);
        return {};
    }
    QString askSaveFile(const QString &filter) override
    {
        tell("save file", filter);
        return {};
    }
    QString askFolder(const QString &caption, const QString &) override
    {
        tell("folder", caption);
        return {};
    }
    bool editSettings(SettingsDialogValues &) override { return false; }
    bool editCreateArchive(CreateArchiveValues &) override { return false; }
    bool editAttach(AttachValues &) override { return false; }
    bool openWithDesktop(const QString &) override { return false; }
    void showAbout() override {}

protected:
    void waitForWork(QFuture<void> work, const QString &) override
    {
        QFutureWatcher<void> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(work);
        if (!work.isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }

private:
    void tell(const char *kind, const BoxText &text)
    {
        told << QString::fromLatin1(kind) + QStringLiteral(": ") + text.text();
        std::fprintf(stderr, "%s: %s\n", kind, qPrintable(text.text()));
    }
};

// Turns the event loop until done() or timeoutMs; false on the timeout.
template <typename Done>
bool waitFor(Done done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// The time from the open command until the program's working copy is
// complete (the rest of the archive follows the first page on a worker
// thread): the moment it was taken over, or, when that came before the first
// page had loaded, the first page's own time. Nothing when it failed.
std::optional<double> wholeCopyReadyMs(OpenArchive &archive, const QElapsedTimer &since)
{
    // The worker's end is taken over on this thread, through the event loop.
    double doneAt = double(since.nsecsElapsed()) / 1e6;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!archive.isBeingMade())
            loop.quit();
    });
    if (archive.isBeingMade()) {
        poll.start(1);
        loop.exec();
        doneAt = double(since.nsecsElapsed()) / 1e6;
    }
    if (!archive.isOpen())
        return std::nullopt; // the unpacking failed
    return doneAt;
}

struct Archive {
    int pages = 0;
    QString zip;
    int node = -1; // in the catalogue
    qint64 zipBytes = 0;
    int files = 0;
    qsizetype entries = 0;
    Side firstPage, wholeCopy, unpackOurs, unpackTheirs;
    bool wholeCopyMeasured = true;
};

// The program's window, reduced to what opening an archive uses.
class Opener {
public:
    explicit Opener(const WorkFolders &folders)
        : m_session(folders), m_ctx{m_session, m_session.archive(), m_ui, m_view, {}}
    {
        m_view.setFileRoot(folders.archive);
        m_view.resize(1000, 700);
        m_view.show();
        m_session.catalogue().appendSection(QStringLiteral("Benchmark"));
    }

    int add(const QString &name, const QString &zip)
    {
        return m_session.catalogue().appendArchive(name, zip);
    }

    // Loads a blank page, as shown while nothing is open; false when the
    // engine did not finish it.
    bool showBlank()
    {
        bool loaded = false;
        const auto connection =
            QObject::connect(m_view.browser(), &QWebEngineView::loadFinished, [&](bool) {
                loaded = m_view.browser()->url() == QUrl(QStringLiteral("about:blank"));
            });
        m_view.navigate(QStringLiteral("about:blank"));
        const bool ok = waitFor([&] { return loaded; }, 60000);
        QObject::disconnect(connection);
        return ok;
    }

    // Opens the archive of node as a double-click on the tree does and waits
    // until the view has loaded pageFile; the time since the command, or a
    // negative one when it failed.
    double openAndShow(Archive &archive, const QString &pageFile)
    {
        m_session.catalogueSelection().setCurrentIndex(
            m_session.catalogue().modelIndex(archive.node), QItemSelectionModel::ClearAndSelect);
        m_ui.told.clear();
        double ms = -1;
        bool loaded = false;
        QElapsedTimer timer;
        const auto connection =
            QObject::connect(m_view.browser(), &QWebEngineView::loadFinished, [&](bool ok) {
                if (loaded || !m_view.browser()->url().path().endsWith(u'/' + pageFile))
                    return;
                loaded = true;
                if (ok)
                    ms = timer.nsecsElapsed() / 1e6;
            });
        timer.start();
        const bool ran = runCommand(Command::OpenSelectedArchive, m_ctx);
        const bool shown = ran && m_session.archive().isOpen() && m_ui.told.isEmpty() &&
                           waitFor([&] { return loaded; }, 600000);
        QObject::disconnect(connection);
        if (!shown) {
            std::fprintf(stderr, "%d pages: the first page was not shown\n", archive.pages);
            return -1;
        }
        const std::optional<double> whole = wholeCopyReadyMs(m_session.archive(), timer);
        archive.wholeCopyMeasured = archive.wholeCopyMeasured && whole.has_value();
        if (whole)
            archive.wholeCopy.add(RunResult{true, *whole, *whole, 0});
        return ms;
    }

    // Closes the open archive as leaving it does, waits until its working copy
    // is gone, and shows the blank page; false when something stayed.
    bool closeAndClear()
    {
        OpenArchive &archive = m_session.archive();
        const bool closed = !archive.isOpen() || archive.close();
        archive.removal().waitForDone();
        bool blank = false;
        const auto connection = QObject::connect(
            m_view.browser(), &QWebEngineView::loadFinished, [&](bool) { blank = true; });
        Commands::leaveOpenState(m_ctx);
        const bool waited = waitFor([&] { return blank; }, 60000);
        QObject::disconnect(connection);
        const bool gone = !QFileInfo::exists(archive.workFolder()) &&
                          QDir(archive.folders().beingRemoved()).isEmpty();
        if (!closed || !waited || !gone)
            std::fprintf(stderr, "closing: %s\n",
                         !closed   ? "the archive stayed open"
                         : !waited ? "the view did not show the blank page"
                                   : "a working copy stayed");
        return closed && waited && gone;
    }

private:
    HeadlessInteraction m_ui;
    WebPageView m_view;
    Session m_session;
    CommandContext m_ctx;
};

// --child extract <zip> <dest>: the program's full unpacking, timed alone.
int child(const QStringList &args)
{
    const QString zip = args.value(3);
    const QString dest = args.value(4);
    QDir().mkpath(dest);
    QElapsedTimer timer;
    timer.start();
    ZipReader reader;
    bool ok = false;
    if (auto opened = reader.open(zip, dest); !opened) {
        std::fprintf(stderr, "open: %s\n", qPrintable(opened.failure().detail));
    } else {
        auto extracted = ZipExtraction(reader, dest).run();
        ok = extracted.hasValue();
        if (!ok)
            std::fprintf(stderr, "extract: %s\n", qPrintable(extracted.failure().detail));
    }
    std::printf("ms=%.3f\nhwm=%ld\n", timer.nsecsElapsed() / 1e6,
                highWaterKiB("/proc/self/status"));
    return ok ? 0 : 1;
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(u' ', 0, 2);
}

QString cell(double ms)
{
    return ms < 0 ? QStringLiteral("n/a") : QString::number(ms, 'f', 1) + QStringLiteral(" ms");
}

QString ratio(double a, double b)
{
    return a < 0 || b <= 0 ? QStringLiteral("n/a") : QString::number(a / b, 'f', 2);
}

void printLine(const char *what, const QList<Archive> &archives,
               const std::function<QString(const Archive &)> &value)
{
    std::printf("%-34s", what);
    for (const Archive &a : archives)
        std::printf(" %13s", qPrintable(value(a)));
    std::printf("\n");
}

double medianOf(const Side &side, bool measured = true)
{
    return measured && !side.ms.isEmpty() ? median(side.ms) : -1;
}

} // namespace

int main(int argc, char **argv)
{
    // A child unpacks, without a window or a web engine.
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0) {
        QCoreApplication app(argc, argv);
        return child(app.arguments());
    }

    // The web engine and Qt keep what they write in here, never in the
    // user's own folders; the view draws into memory.
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/firstpagebench-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder in %s\n",
                     qPrintable(QDir::tempPath()));
        return 1;
    }
    for (const char *name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
        qputenv(name, QFile::encodeName(tmp.filePath(QString::fromLatin1(name))));
    const QString runtime = tmp.filePath(QStringLiteral("XDG_RUNTIME_DIR"));
    if (QDir().mkpath(runtime))
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    WebPageView::prepareProcess();
    QApplication app(argc, argv);

    const QStringList args = app.arguments();
    QList<int> sizes{10, 200, 2000};
    PageSet::Shape shape;
    shape.filesPerPage = 4;
    int runs = 5;
    quint32 seed = 1;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--pages")) {
            sizes.clear();
            for (const QString &n : args.at(i + 1).split(u','))
                sizes << n.toInt();
            std::sort(sizes.begin(), sizes.end());
        } else if (args.at(i) == QLatin1String("--files-per-page")) {
            shape.filesPerPage = args.at(i + 1).toInt();
        } else if (args.at(i) == QLatin1String("--runs")) {
            runs = args.at(i + 1).toInt();
        } else if (args.at(i) == QLatin1String("--seed")) {
            seed = args.at(i + 1).toUInt();
        }
    }
    if (sizes.isEmpty() || sizes.first() < 1 || !shape.valid() ||
        std::uint64_t(shape.entries(sizes.last())) > ZipLimits::kMaxEntries) {
        std::fprintf(stderr,
                     "%d pages of %d files make %d zip entries; a zip holds at most %d, and a "
                     "page at least 3 files (--files-per-page)\n",
                     sizes.value(sizes.size() - 1), shape.filesPerPage,
                     shape.entries(sizes.value(sizes.size() - 1)), int(ZipLimits::kMaxEntries));
        return 1;
    }
    const QString unzipTool = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (unzipTool.isEmpty()) {
        std::fprintf(stderr, "firstpagebench needs Info-ZIP unzip installed\n");
        return 1;
    }
    // At most every zip, and twice the biggest set: as files while its zip
    // is written, later a working copy and one side's unpacking.
    constexpr qint64 kPageBytes = 256 * 1024;
    qint64 zips = 0;
    for (int pages : sizes)
        zips += pages * kPageBytes;
    const qint64 needed = zips + 2 * sizes.last() * kPageBytes + (qint64(256) << 20);
    const qint64 available = QStorageInfo(tmp.path()).bytesAvailable();
    if (available < needed) {
        std::fprintf(stderr, "firstpagebench needs about %s free in %s, and %s are\n",
                     qPrintable(mb(needed)), qPrintable(tmp.path()), qPrintable(mb(available)));
        return 1;
    }

    // The sets, each written into its zip by the program, as its archives are.
    QElapsedTimer generation;
    generation.start();
    QList<Archive> archives;
    for (int pages : sizes) {
        Archive a;
        a.pages = pages;
        const QString folder = tmp.filePath(QStringLiteral("set"));
        a.zip = tmp.filePath(QStringLiteral("archive-%1.zip").arg(pages));
        ZipWriter writer;
        if (PageSet::generate(folder, pages, seed, &a.files, shape) < 0 ||
            !FolderZip::write(folder, a.zip, writer)) {
            std::fprintf(stderr, "cannot write the %d-page archive in %s\n", pages,
                         qPrintable(tmp.path()));
            return 1;
        }
        QDir(folder).removeRecursively();
        a.zipBytes = QFileInfo(a.zip).size();
        ZipReader reader;
        if (reader.open(a.zip))
            a.entries = reader.entries().size();
        archives << a;
    }
    const double generatedS = generation.elapsed() / 1e3;

    const QString self = QCoreApplication::applicationFilePath();
    const QString oursDir = tmp.filePath(QStringLiteral("ours"));
    const QString theirsDir = tmp.filePath(QStringLiteral("theirs"));
    const auto clean = [&] {
        QDir(oursDir).removeRecursively();
        QDir(theirsDir).removeRecursively();
        // No side pays for writing back what an earlier one left dirty.
        ::sync();
    };
    const QString loadAtStart = loadAverage();
    bool failed = false;
    {
        Opener opener(WorkFolders::under(tmp.filePath(QStringLiteral("data"))));
        for (Archive &a : archives)
            a.node = opener.add(QStringLiteral("%1 pages").arg(a.pages), a.zip);
        // The engine started and warm: the rows time opening, not its start.
        if (!opener.showBlank()) {
            std::fprintf(stderr, "the web engine did not load a blank page\n");
            return 1;
        }
        const QString firstPage = PageSet::pageFileName(0);
        for (int run = -1; run < runs; ++run) { // run -1 warms the cache
            for (Archive &a : archives) {
                clean();
                const double ms = opener.openAndShow(a, firstPage);
                failed = failed || !opener.closeAndClear();
                clean();
                const RunResult ours = spawn({self, "--child", "extract", a.zip, oursDir});
                clean();
                QDir().mkpath(theirsDir);
                const RunResult theirs = spawn({unzipTool, "-q", a.zip, "-d", theirsDir});
                if (run < 0)
                    continue;
                a.firstPage.add(RunResult{ms >= 0, ms, ms, 0});
                a.unpackOurs.add(ours, true);
                a.unpackTheirs.add(theirs);
            }
        }
        clean();
    }

    std::printf("firstpagebench: %d files a page, seed %u; the archives generated and written in "
                "%.1f s\n",
                shape.filesPerPage, seed, generatedS);
    std::printf("median of %d runs after one warm-up, same machine, same data, warm cache, "
                "%d cores; load average %s at the start, %s at the end\n\n",
                runs, QThread::idealThreadCount(), qPrintable(loadAtStart),
                qPrintable(loadAverage()));
    printLine("archive (pages)", archives, [](const Archive &a) { return QString::number(a.pages); });
    printLine("zip", archives, [](const Archive &a) { return mb(a.zipBytes); });
    printLine("zip entries", archives,
              [](const Archive &a) { return QString::number(a.entries); });
    printLine("first page shown", archives,
              [](const Archive &a) { return cell(medianOf(a.firstPage)); });
    printLine("whole working copy ready", archives, [](const Archive &a) {
        return cell(medianOf(a.wholeCopy, a.wholeCopyMeasured));
    });
    printLine("unpack, ours (extraction alone)", archives,
              [](const Archive &a) { return cell(medianOf(a.unpackOurs)); });
    printLine("unpack, unzip -q", archives,
              [](const Archive &a) { return cell(medianOf(a.unpackTheirs)); });
    printLine("first page / unpack, ours", archives, [](const Archive &a) {
        return ratio(medianOf(a.firstPage), medianOf(a.unpackOurs));
    });
    printLine("whole copy ready / unpack, ours", archives, [](const Archive &a) {
        return ratio(medianOf(a.wholeCopy, a.wholeCopyMeasured), medianOf(a.unpackOurs));
    });
    printLine("unpack, ours / unzip -q", archives, [](const Archive &a) {
        return ratio(medianOf(a.unpackOurs), medianOf(a.unpackTheirs));
    });
    const Archive &smallest = archives.first();
    const Archive &biggest = archives.last();
    std::printf("\nfirst page at %d pages / at %d pages: %s (target <= 1.5)\n", biggest.pages,
                smallest.pages,
                qPrintable(ratio(medianOf(biggest.firstPage), medianOf(smallest.firstPage))));
    std::printf("whole copy ready / unpack, ours, at %d pages: %s (target <= 1.05)\n",
                biggest.pages,
                qPrintable(ratio(medianOf(biggest.wholeCopy, biggest.wholeCopyMeasured),
                                 medianOf(biggest.unpackOurs))));
    std::printf("ours: the open command until the view's load finished, in one process; the "
                "unpacking alone in a process of its own; unzip: its whole process\n");
    for (const Archive &a : archives)
        failed = failed || a.firstPage.failed || a.unpackOurs.failed || a.unpackTheirs.failed;
    if (failed)
        std::printf("a run FAILED: see above\n");
    return failed ? 1 : 0;
}
