// Writing a working folder back into its zip: every file goes in, or the old
// zip stays as it was, whatever fails and wherever the program is killed.

#include "storage/folderzip.h"
#include "storage/listfile.h"
#include "storage/pagelistmodel.h"
#include "storage/workfolders.h"
#include "support/childprocess.h"
#include "support/testfiles.h"
#include "support/testzips.h"
#include "zip/zipreader.h"
#include "zip/zipwriter.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

using TestZips::Files;

namespace {

// A working folder and what the write-back keeps between two writes: the
// record of the zip the folder was unpacked from or last written to.
struct Env {
    QTemporaryDir tmp;
    WorkFolders folders = WorkFolders::under(tmp.path() + QStringLiteral("/cache"));
    ZipWriter writer;
    PageListModel pages;
    UnpackRecord record;
    std::optional<StorageFailure> failure;
    FolderZip::Progress progress;

    QString path(const QString &relative) const { return tmp.filePath(relative); }
    QString work(const QString &relative = {}) const
    {
        return relative.isEmpty() ? folders.archive : folders.archive + u'/' + relative;
    }
    // folder into zipPath, as it is.
    bool zipFolder(const QString &folder, const QString &zipPath)
    {
        auto written = FolderZip::write(folder, zipPath, writer, &record, progress);
        failure.reset();
        if (!written) {
            failure = written.failure();
            return false;
        }
        record = *written;
        return true;
    }
    // The working folder with a list file of the pages into zipPath.
    bool writeBack(const QString &zipPath)
    {
        if (QFileInfo(work()).isDir() && !writeListFile(work(), pages))
            return false;
        return zipFolder(work(), zipPath);
    }
    bool unpack(const QString &zipPath, const QString &folder)
    {
        auto unpacked = ZipReader::extract(zipPath, folder);
        if (unpacked)
            record = *unpacked;
        return unpacked.hasValue();
    }
};

// A failure as the tests compare it: its kind, and the files or the path it names.
QString described(const StorageFailure &failure)
{
    return QString::number(int(failure.kind)) + u':' +
           (failure.kind == StorageFailure::Kind::NotSaved ? failure.files.join(u',')
                                                           : failure.path);
}

QString notSaved(const QStringList &files)
{
    return described({StorageFailure::Kind::NotSaved, {}, 0, files});
}

QString described(const std::optional<StorageFailure> &failure)
{
    return failure ? described(*failure) : QString();
}

QByteArray randomBytes(QRandomGenerator &rng, qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(rng.generate() & 0xFF);
    return bytes;
}

// A zip made by Info-ZIP of the files given, for the "old archive" of a test.
bool makeZip(const QString &zipPath, const Files &files)
{
    QTemporaryDir dir;
    QStringList names;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (!TestFiles::write(dir.filePath(it.key()), it.value()))
            return false;
        names << it.key();
    }
    QFile::remove(zipPath);
    return TestFiles::run(QStringLiteral("zip"),
                          QStringList{QStringLiteral("-q"), QStringLiteral("-X"), zipPath} + names,
                          nullptr, dir.path()) == 0;
}

// Two pages with companion folders (one with a sub-folder) and the list file.
void fillTwoPages(Env &env)
{
    QRandomGenerator rng(7);
    TestFiles::write(env.work("news.htm"), "<html><img src=news_files/logo.gif></html>");
    TestFiles::write(env.work("news_files/logo.gif"), randomBytes(rng, 3000));
    TestFiles::write(env.work("news_files/style.css"), "body { color: black }");
    TestFiles::write(env.work("news_files/scripts/menu.js"), "var a = 1;");
    TestFiles::write(env.work("report.html"), "<html>report</html>");
    TestFiles::write(env.work("report.files/chart.png"), randomBytes(rng, 5000));
    TestFiles::write(env.work(".hidden"), "kept too");
    env.pages.append(QStringLiteral("News"), QStringLiteral("news.htm"));
    env.pages.append(QStringLiteral("Report"), QStringLiteral("report.html"));
}

// unshare's options for a private mount namespace in which this user may
// mount: root needs none, others get one through a user namespace.
QStringList unshareMountArgs()
{
    QStringList args{QStringLiteral("-m"), QStringLiteral("--propagation"),
                     QStringLiteral("private")};
    if (!TestFiles::runningAsRoot())
        args = QStringList{QStringLiteral("-U"), QStringLiteral("-r")} + args;
    return args;
}

bool canUnshareMounts()
{
    return TestFiles::run(QStringLiteral("unshare"),
                          unshareMountArgs() + QStringList{QStringLiteral("true")}) == 0;
}

// --child <save|update> <work folder> <zip> [--fsize bytes]
// update: unpacks the zip into the work folder, adds a page, says "ready" and
// writes the zip back.
int runChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return 2;
    const QString op = args.at(2);
    const QString work = args.at(3);
    const QString target = args.at(4);
    for (qsizetype i = 5; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--fsize") && i + 1 < args.size()) {
            // Writes past the limit fail with EFBIG instead of killing us.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlim_t limit = args.at(++i).toULongLong();
            const rlimit rl{limit, limit};
            if (::setrlimit(RLIMIT_FSIZE, &rl) != 0)
                return 2;
        }
    }
    Env env;
    env.folders = WorkFolders{work, work + QStringLiteral("2")};
    bool result = false;
    if (op == QLatin1String("save")) {
        readListFile(ListFile::path(work), env.pages);
        result = env.writeBack(target);
    } else if (op == QLatin1String("update")) {
        QDir(work).removeRecursively();
        if (!QDir().mkpath(work) || !env.unpack(target, work) ||
            !readListFile(ListFile::path(work), env.pages) ||
            !TestFiles::write(work + QStringLiteral("/added.htm"), "<html>added</html>"))
            return 2;
        env.pages.append(QStringLiteral("Added"), QStringLiteral("added.htm"));
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        result = env.writeBack(target);
    } else {
        return 2;
    }
    QTextStream out(stdout);
    out << "result=" << int(result) << '\n';
    if (env.failure)
        out << "failure=" << ChildProcess::escapeLine(described(env.failure)) << '\n';
    return 0;
}

} // namespace

class TestFolderZip : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writeBackTwoPages();
    void writeBackMissingFolder();
    void writeZipIntoMissingFolder();
    void writeZipKeepsListFile();
    void vanishedFileKeepsOldZip();
    void unreadableFileKeepsOldZip();
    void fullDiskKeepsOldZip_data();
    void fullDiskKeepsOldZip();
    void killedWhileSaving_data();
    void killedWhileSaving();
    void oversizedRefusedUpFront_data();
    void oversizedRefusedUpFront();
    void filesBelow();
};

void TestFolderZip::writeBackTwoPages()
{
    Env env;
    fillTwoPages(env);
    const QString zipPath = env.path("archive.zip");
    QVERIFY(makeZip(zipPath, {{"old.htm", "old page"}}));
    QVERIFY(::chmod(QFile::encodeName(zipPath).constData(), 0640) == 0);
    QVERIFY(writeListFile(env.work(), env.pages));
    const auto before = TestZips::filesBelow(env.work());

    QVERIFY2(env.writeBack(zipPath), qPrintable(described(env.failure)));
    QVERIFY(TestZips::passesTest(zipPath));
    // Every file under its relative name, byte for byte; nothing of the old zip.
    QCOMPARE(TestZips::contents(zipPath), before);
    QCOMPARE(TestZips::names(zipPath), before.keys());
    QVERIFY(before.contains("news_files/scripts/menu.js"));
    QCOMPARE(
        before.value("listfile.txt"),
        "[This is list files by Tomekeeper]\r\nNews=news.htm\r\nReport=report.html\r\n[end]");
    // The new zip took the old one's place and mode, and left nothing beside it.
    QCOMPARE(QDir(env.tmp.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(zipPath).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
}

void TestFolderZip::writeBackMissingFolder()
{
    Env env;
    const QString zipPath = env.path("archive.zip");
    QVERIFY(makeZip(zipPath, {{"old.htm", "old page"}}));
    const QByteArray old = TestFiles::read(zipPath);
    // No working folder: nothing to write.
    QVERIFY(!env.writeBack(zipPath));
    QCOMPARE(env.failure->kind, StorageFailure::Kind::NothingToSave);
    QCOMPARE(TestFiles::read(zipPath), old);
}

void TestFolderZip::writeZipIntoMissingFolder()
{
    Env env;
    fillTwoPages(env);
    QVERIFY(writeListFile(env.work(), env.pages));
    const auto files = FolderZip::filesBelow(env.work());
    QVERIFY(files);
    const auto before = TestZips::filesBelow(env.work());

    QVERIFY(!env.writeBack(env.path("gone/archive.zip")));
    QCOMPARE(described(env.failure), notSaved(*files));
    QCOMPARE(TestZips::filesBelow(env.work()), before);
    QVERIFY(!QFileInfo::exists(env.path("gone")));
}

void TestFolderZip::writeZipKeepsListFile()
{
    Env env;
    const QByteArray list = "[This is list files by Tomekeeper]\r\nMoved=moved.htm\r\n[end]\r\n";
    TestFiles::write(env.folders.moveTarget + "/listfile.txt", list);
    TestFiles::write(env.folders.moveTarget + "/moved.htm", "moved");
    env.pages.append("Open archive's page", "other.htm"); // must not leak into the other archive
    const QString zipPath = env.path("other.zip");
    QVERIFY(env.zipFolder(env.folders.moveTarget, zipPath));
    QCOMPARE(TestZips::contents(zipPath).value("listfile.txt"), list);
    // An empty folder gives no zip: the old one stays.
    QVERIFY(QDir().mkpath(env.path("empty")));
    QVERIFY(!env.zipFolder(env.path("empty"), zipPath));
    QCOMPARE(env.failure->kind, StorageFailure::Kind::NothingToSave);
    QVERIFY(TestZips::passesTest(zipPath));
}

void TestFolderZip::vanishedFileKeepsOldZip()
{
    Env env;
    fillTwoPages(env);
    const QString zipPath = env.path("archive.zip");
    QVERIFY(makeZip(zipPath, {{"old.htm", "old page"}}));
    const QByteArray old = TestFiles::read(zipPath);
    QVERIFY(writeListFile(env.work(), env.pages));
    const QString victim = FolderZip::filesBelow(env.work()).valueOr({}).value(1);

    // The file goes away while the zip is written, just before its turn.
    bool removed = false;
    env.progress = [&](const QString &file, qint64 bytes) {
        if (bytes == 0 && file == victim && !removed)
            removed = QFile::remove(env.work(victim));
    };
    QVERIFY(!env.writeBack(zipPath));
    QVERIFY(removed);
    QCOMPARE(described(env.failure), notSaved({victim}));
    QCOMPARE(TestFiles::read(zipPath), old);
    QVERIFY(QFileInfo::exists(env.work("news.htm")));
    QCOMPARE(QDir(env.tmp.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
}

void TestFolderZip::unreadableFileKeepsOldZip()
{
    Env env;
    fillTwoPages(env);
    const QString zipPath = env.path("zips/archive.zip");
    QVERIFY(QDir().mkpath(env.path("zips")));
    QVERIFY(makeZip(zipPath, {{"old.htm", "old page"}}));
    const QByteArray old = TestFiles::read(zipPath);
    QVERIFY(writeListFile(env.work(), env.pages));
    const QString secret = env.work("news_files/logo.gif");

    if (TestFiles::runningAsRoot()) {
        // Root reads everything: the save runs as another user, the file stays root's.
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("setpriv is not installed");
        ChildProcess::openToEveryone(env.tmp.path());
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0600) == 0);
        const auto before = TestZips::filesBelow(env.work());
        const ChildProcess::Report report = ChildProcess::runAsNobody({"save", env.work(), zipPath});
        QVERIFY2(report.exitCode == 0, report.raw.constData());
        QVERIFY(!report.result);
        QCOMPARE(report.failures, QStringList{notSaved({"news_files/logo.gif"})});
        QCOMPARE(TestZips::filesBelow(env.work()), before);
    } else {
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0) == 0);
        QVERIFY(!env.writeBack(zipPath));
        QCOMPARE(described(env.failure), notSaved({"news_files/logo.gif"}));
        QVERIFY(QFileInfo::exists(secret));
    }
    QCOMPARE(TestFiles::read(zipPath), old);
    QCOMPARE(QDir(env.path("zips")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
}

void TestFolderZip::fullDiskKeepsOldZip_data()
{
    QTest::addColumn<bool>("tmpfs");
    QTest::newRow("full file system") << true;
    QTest::newRow("file size limit") << false;
}

void TestFolderZip::fullDiskKeepsOldZip()
{
    QFETCH(bool, tmpfs);
    Env env;
    QRandomGenerator rng(11);
    for (int i = 0; i < 4; ++i) // incompressible, so the zip needs the space
        TestFiles::write(env.work(QStringLiteral("page_files/pic%1.jpg").arg(i)),
                         randomBytes(rng, 256 * 1024));
    TestFiles::write(env.work("page.htm"), "<html></html>");
    env.pages.append("Page", "page.htm");
    QVERIFY(writeListFile(env.work(), env.pages));
    const auto before = TestZips::filesBelow(env.work());
    const QString oldZip = env.path("old.zip");
    QVERIFY(makeZip(oldZip, {{"old.htm", randomBytes(rng, 64 * 1024)}}));
    const QByteArray old = TestFiles::read(oldZip);

    ChildProcess::Report report;
    QByteArray zipAfter;
    QStringList beside;
    if (tmpfs) {
        if (!canUnshareMounts())
            QSKIP("mount namespaces are not available (unshare -m)");
        // A 512 KiB file system holding the old zip: 1 MiB of pictures cannot fit.
        const QString mnt = env.path("mnt");
        QVERIFY(QDir().mkpath(mnt));
        const QString script = QStringLiteral(
            "mount -t tmpfs -o size=512k tmpfs \"$1\" && cp \"$2\" \"$1/archive.zip\" && "
            "\"$3\" --child save \"$4\" \"$1/archive.zip\" && echo ---zip && "
            "sha1sum < \"$1/archive.zip\" && echo ---dir && ls -A \"$1\"");
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start("unshare", unshareMountArgs() + QStringList{"sh", "-c", script, "sh", mnt, oldZip,
                                                            QCoreApplication::applicationFilePath(),
                                                            env.work()});
        QVERIFY(p.waitForFinished(120000));
        const QByteArray out = p.readAll();
        report = ChildProcess::parseReport(p.exitCode(), out.left(out.indexOf("---zip")));
        zipAfter = out.mid(out.indexOf("---zip\n") + 7, 40);
        beside = QString::fromUtf8(out.mid(out.indexOf("---dir\n") + 7))
                     .split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(report.exitCode == 0, out.constData());
        QCOMPARE(zipAfter, QCryptographicHash::hash(old, QCryptographicHash::Sha1).toHex());
        // The mount is gone with the namespace: nothing was written outside it.
        QVERIFY(QDir(mnt).isEmpty());
    } else {
        const QString zipPath = env.path("zips/archive.zip");
        QVERIFY(QDir().mkpath(env.path("zips")));
        QVERIFY(QFile::copy(oldZip, zipPath));
        report = ChildProcess::run(QCoreApplication::applicationFilePath(),
                                   {"--child", "save", env.work(), zipPath, "--fsize", "400000"});
        QVERIFY2(report.exitCode == 0, report.raw.constData());
        QCOMPARE(TestFiles::read(zipPath), old);
        beside = QDir(env.path("zips")).entryList(QDir::Files | QDir::Hidden);
    }
    QVERIFY(!report.result);
    QCOMPARE(report.failures.size(), 1);
    QVERIFY2(report.failures.first().startsWith(QString::number(int(StorageFailure::Kind::NotSaved))),
             qPrintable(report.failures.first()));
    QCOMPARE(beside, QStringList{"archive.zip"}); // the temporary file is gone
    QCOMPARE(TestZips::filesBelow(env.work()), before);
}

void TestFolderZip::killedWhileSaving_data()
{
    QTest::addColumn<bool>("update");
    QTest::newRow("every file compressed") << false;
    // Most entries copied from the zip being replaced.
    QTest::newRow("update of the unpacked zip") << true;
}

void TestFolderZip::killedWhileSaving()
{
    QFETCH(bool, update);
    Env env;
    QRandomGenerator rng(2024);
    for (int page = 0; page < 12; ++page) {
        const QString name = QStringLiteral("page%1").arg(page);
        QByteArray html = "<html><body>";
        for (int i = 0; i < 2000; ++i)
            html +=
                "<p>Paragraph " + QByteArray::number(rng.bounded(100000)) + " of the page.</p>\n";
        TestFiles::write(env.work(name + ".htm"), html);
        for (int pic = 0; pic < 4; ++pic)
            TestFiles::write(env.work(QStringLiteral("%1_files/pic%2.jpg").arg(name).arg(pic)),
                             randomBytes(rng, 60 * 1024));
        env.pages.append(name, name + ".htm");
    }
    QVERIFY(writeListFile(env.work(), env.pages));
    const auto working = TestZips::filesBelow(env.work());
    const QString oldZip = env.path("old.zip");
    const QString zipPath = env.path("zips/archive.zip");
    QVERIFY(QDir().mkpath(env.path("zips")));
    if (update)
        QVERIFY(env.writeBack(oldZip)); // the archive as it was opened
    else
        QVERIFY(makeZip(oldZip, {{"old.htm", "old page"}, {"listfile.txt", "[end]"}}));
    const QByteArray oldBytes = TestFiles::read(oldZip);

    const QStringList args{"--child", update ? "update" : "save",
                           update ? env.path("updating") : env.work(), zipPath};
    qint64 full = 0;
    const auto runOnce = [&](qint64 killAfterMs) {
        QFile::remove(zipPath);
        QFile::copy(oldZip, zipPath);
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), args);
        p.waitForStarted();
        // An update is killed while it writes, not while it unpacks.
        while (update && !p.canReadLine() && p.state() == QProcess::Running)
            p.waitForReadyRead(100);
        QElapsedTimer writing;
        writing.start();
        if (killAfterMs >= 0 && !p.waitForFinished(int(killAfterMs))) {
            p.kill(); // SIGKILL
        }
        p.waitForFinished(120000);
        full = writing.elapsed();
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };

    QVERIFY(runOnce(-1));
    const auto newContents = TestZips::contents(zipPath);
    if (update) {
        QCOMPARE(newContents.size(), working.size() + 1);
        QVERIFY(newContents.contains("added.htm"));
    } else {
        QCOMPARE(newContents, working);
    }

    int oldSeen = 0;
    int newSeen = 0;
    // Kill moments spread over the whole save, from the start of the first
    // entry to the rename and just after it, plus a few random ones.
    QList<qint64> delays;
    for (int percent : {3, 10, 25, 40, 55, 70, 85, 95, 100, 108})
        delays << full * percent / 100;
    for (int i = 0; i < 3; ++i)
        delays << rng.bounded(qint64(full * 11 / 10) + 1);
    for (int round = 0; round < delays.size(); ++round) {
        runOnce(delays.at(round));
        QVERIFY2(TestZips::passesTest(zipPath), qPrintable(QStringLiteral("round %1").arg(round)));
        if (TestFiles::read(zipPath) == oldBytes) {
            ++oldSeen;
        } else {
            QCOMPARE(TestZips::contents(zipPath), newContents);
            ++newSeen;
        }
        if (!update)
            QCOMPARE(TestZips::filesBelow(env.work()), working);
    }
    qInfo("one save took %lld ms; after %lld kills: %d old, %d new", full, qlonglong(delays.size()),
          oldSeen, newSeen);
    // The next complete save clears what the killed ones left beside the zip,
    // and nothing else.
    TestFiles::write(env.path("zips/.archive.zip.k3x9q2a.tmp"), "left by a killed save");
    TestFiles::write(env.path("zips/.archive.zip.My-Notes.tmp"), "the user's own");
    QVERIFY(runOnce(-1));
    QCOMPARE(QDir(env.path("zips")).entryList(QDir::Files | QDir::Hidden),
             QStringList({".archive.zip.My-Notes.tmp", "archive.zip"}));
}

void TestFolderZip::oversizedRefusedUpFront_data()
{
    QTest::addColumn<QList<qint64>>("sizes");
    QTest::addColumn<QStringList>("refused");
    const qint64 mib = 1LL << 20;
    QTest::newRow("one file over 4 GiB")
        << QList<qint64>{5120 * mib, 10} << QStringList{"big0.bin"};
    // What the archive could not open again is refused as well.
    QTest::newRow("one file over 1 GiB") << QList<qint64>{1100 * mib} << QStringList{"big0.bin"};
    // The largest file is named: without it the rest fits.
    QTest::newRow("over 4 GiB in all")
        << QList<qint64>{900 * mib, 1000 * mib, 800 * mib, 850 * mib, 700 * mib}
        << QStringList{"big1.bin"};
}

void TestFolderZip::oversizedRefusedUpFront()
{
    QFETCH(QList<qint64>, sizes);
    QFETCH(QStringList, refused);
    Env env;
    QVERIFY(QDir().mkpath(env.work()));
    for (int i = 0; i < sizes.size(); ++i) {
        QFile f(env.work(QStringLiteral("big%1.bin").arg(i)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(sizes.at(i))); // sparse: nothing is written
    }
    const QString zipPath = env.path("archive.zip");
    QVERIFY(makeZip(zipPath, {{"old.htm", "old page"}}));
    const QByteArray old = TestFiles::read(zipPath);

    QVERIFY(!env.writeBack(zipPath));
    QCOMPARE(described(env.failure), notSaved(refused));
    QCOMPARE(TestFiles::read(zipPath), old);
    QCOMPARE(QDir(env.tmp.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
}

void TestFolderZip::filesBelow()
{
    Env env;
    TestFiles::write(env.work("a.htm"), "a");
    TestFiles::write(env.work("a_files/x/y/deep.gif"), "d");
    TestFiles::write(env.work(".hidden"), "h");
    QVERIFY(QDir().mkpath(env.work("empty")));
    TestFiles::write(env.path("outside/secret.txt"), "s");
    // A linked folder would lead out of the tree (or round in circles).
    QVERIFY(QFile::link(env.path("outside"), env.work("link")));
    QVERIFY(QFile::link(env.work(), env.work("a_files/loop")));

    auto files = FolderZip::filesBelow(env.work());
    QVERIFY(files);
    files->sort();
    QCOMPARE(*files, (QStringList{".hidden", "a.htm", "a_files/x/y/deep.gif"}));

    if (!TestFiles::runningAsRoot()) {
        QVERIFY(::chmod(QFile::encodeName(env.work("a_files/x")).constData(), 0) == 0);
        const auto some = FolderZip::filesBelow(env.work());
        ::chmod(QFile::encodeName(env.work("a_files/x")).constData(), 0755);
        QVERIFY(!some);
        QCOMPARE(some.failure().kind, StorageFailure::Kind::NotRead);
    }
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestFolderZip test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_folderzip.moc"
