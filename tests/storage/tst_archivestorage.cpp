#include "lang/messages.h"
#include "storage/archivestorage.h"
#include "storage/listfile.h"
#include "storage/pagecopy.h"
#include "storage/pagelistmodel.h"
#include "support/testfiles.h"
#include "zip/ziparchiver.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Everything the storage needs, over a temporary folder.
struct Env {
    QTemporaryDir tmp;
    WorkFolders folders = WorkFolders::under(tmp.path() + QStringLiteral("/cache"));
    ZipArchiver zip;
    PageListModel pages;
    ArchiveStorage storage{zip, folders};

    QString path(const QString &relative) const { return tmp.filePath(relative); }
    QString work(const QString &relative = {}) const
    {
        return relative.isEmpty() ? folders.archive : folders.archive + u'/' + relative;
    }
    // The working folder with a list file of the pages into zipPath.
    bool writeBack(const QString &zipPath)
    {
        return storage.writeZip(work(), zipPath, pages.titles(), pages.fileNames());
    }
};

// What the user is shown of a failure, as "message:" or "error:" and the text.
QString shown(const StorageFailure &failure)
{
    switch (failure.box) {
    case StorageFailure::Box::None:
        return QString();
    case StorageFailure::Box::Message:
        return QStringLiteral("message:") + failure.text;
    case StorageFailure::Box::Error:
        return QStringLiteral("error:") + failure.text;
    }
    return QString();
}

QByteArray randomBytes(QRandomGenerator &rng, qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(rng.generate() & 0xFF);
    return bytes;
}

// relative path → SHA-1 of every file below folder.
QMap<QString, QByteArray> treeContents(const QString &folder)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree.insert(QDir(folder).relativeFilePath(path),
                    QCryptographicHash::hash(TestFiles::read(path), QCryptographicHash::Sha1));
    }
    return tree;
}

// entry name → SHA-1 of its data, as Python's zipfile reads them (after its
// own CRC check); empty when the zip cannot be read.
QMap<QString, QByteArray> zipContents(const QString &zipPath)
{
    static const QString script =
        QStringLiteral("import sys, zipfile, hashlib\n"
                       "z = zipfile.ZipFile(sys.argv[1])\n"
                       "if z.testzip() is not None: sys.exit(3)\n"
                       "for i in z.infolist():\n"
                       "    sys.stdout.buffer.write(i.filename.encode() + b'\\t' + "
                       "hashlib.sha1(z.read(i)).hexdigest().encode() + b'\\n')\n");
    QByteArray out;
    QMap<QString, QByteArray> entries;
    if (TestFiles::run(QStringLiteral("python3"), {QStringLiteral("-c"), script, zipPath}, &out) !=
        0)
        return entries;
    for (const QByteArray &line : out.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            entries.insert(QString::fromUtf8(line.left(tab)),
                           QByteArray::fromHex(line.mid(tab + 1)));
    }
    return entries;
}

bool unzipTestPasses(const QString &zipPath)
{
    return TestFiles::run(QStringLiteral("unzip"), {QStringLiteral("-tqq"), zipPath}) == 0;
}

QStringList unzipNames(const QString &zipPath)
{
    QByteArray out;
    TestFiles::run(QStringLiteral("unzip"), {QStringLiteral("-Z1"), zipPath}, &out);
    QStringList names = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

QStringList sortedKeys(const QMap<QString, QByteArray> &map)
{
    QStringList keys = map.keys();
    keys.sort();
    return keys;
}

// A zip made by Info-ZIP of the files given, for the "old archive" of a test.
bool makeZip(const QString &zipPath, const QMap<QString, QByteArray> &files)
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

QString failureText(const QStringList &files)
{
    QString list;
    for (const QString &f : files)
        list += f + kCrLf;
    return msg(MessageId::SaveFailedHead) + kCrLf + msg(MessageId::SaveFailedCount) +
           QString::number(files.size()) + msg(MessageId::SaveFailedFiles) + kCrLf + kCrLf + list;
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

// Makes a folder refuse changes to its entries even for root; false where the
// file system or the user cannot (chattr +i needs root).
bool setImmutable(const QString &path, bool on)
{
    return TestFiles::runningAsRoot() &&
           TestFiles::run(QStringLiteral("chattr"),
                          {on ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
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

// ---------------------------------------------------------------------------
// Child processes: the test executable started again with "--child" runs one
// storage operation and prints what happened, for faults that need another
// user, a file size limit, a mount namespace or a kill.

struct ChildReport {
    int exitCode = -1;
    bool result = false;
    QStringList calls;
    QStringList pages;
    QByteArray raw;
};

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

// --child <save|copy|update> <work folder> <zip or source> [--fsize bytes]
// copy: takes the page at source into the work folder as adding pages does.
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
    Messages::useEnglish();
    ZipArchiver zip;
    PageListModel pages;
    WorkFolders folders{work, work + QStringLiteral("2")};
    ArchiveStorage storage(zip, folders);
    bool result = false;
    QString copyFailure; // the page copy does not go through the storage
    if (op == QLatin1String("save")) {
        readListFile(ListFile::path(work), pages);
        result = storage.writeZip(work, target, pages.titles(), pages.fileNames());
    } else if (op == QLatin1String("copy")) {
        PageCopier copier(work);
        result = copier.copyPage(target) == PageCopier::Result::Copied;
        if (result)
            pages.append(ArchiveStorage::pageBaseName(copier.fileName()), copier.fileName());
        else
            copyFailure = QStringLiteral("error:") + copier.message();
    } else if (op == QLatin1String("update")) {
        QDir(work).removeRecursively();
        if (!QDir().mkpath(work) || !storage.unpack(target, work) ||
            !readListFile(ListFile::path(work), pages) ||
            !TestFiles::write(work + QStringLiteral("/added.htm"), "<html>added</html>"))
            return 2;
        pages.append(QStringLiteral("Added"), QStringLiteral("added.htm"));
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        result = storage.writeZip(work, target, pages.titles(), pages.fileNames());
    } else {
        return 2;
    }
    QTextStream out(stdout);
    out << "result=" << int(result) << '\n';
    if (!result && storage.lastFailure().failed())
        out << "ui=" << escapeLine(shown(storage.lastFailure())) << '\n';
    if (!copyFailure.isEmpty())
        out << "ui=" << escapeLine(copyFailure) << '\n';
    for (int i = 0; i < pages.count(); ++i)
        out << "page=" << escapeLine(pages.title(i) + u'|' + pages.fileName(i)) << '\n';
    return 0;
}

ChildReport parseReport(int exitCode, const QByteArray &output)
{
    ChildReport report;
    report.exitCode = exitCode;
    report.raw = output;
    for (const QString &line : QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("result=")))
            report.result = line.mid(7) == QLatin1String("1");
        else if (line.startsWith(QLatin1String("ui=")))
            report.calls << unescapeLine(line.mid(3));
        else if (line.startsWith(QLatin1String("page=")))
            report.pages << unescapeLine(line.mid(5));
    }
    return report;
}

ChildReport runChildProcess(const QString &program, QStringList args)
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

// Runs the child as an unprivileged user (root only).
ChildReport runAsNobody(const QStringList &rest)
{
    return runChildProcess(QStringLiteral("setpriv"),
                           QStringList{QStringLiteral("--reuid=nobody"),
                                       QStringLiteral("--regid=nogroup"),
                                       QStringLiteral("--clear-groups")} +
                               childArgs(rest));
}

// Opens every folder below (and including) path to other users, so that an
// unprivileged child can work in it.
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

} // namespace

class TestArchiveStorage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();

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

    void unpack();
    void unpackNotAZip();
    void reopenAfterSaveReadsNewZip();

    void listFilesBelow();
    void removeFolder();
    void removeFolderUndeletable();

    void freePageFileName_data();
    void freePageFileName();
    void pageBaseName_data();
    void pageBaseName();

    void pageCopyUnreadableSource();
    void moveToTrash();
};

void TestArchiveStorage::initTestCase()
{
    Messages::useEnglish();
}

void TestArchiveStorage::writeBackTwoPages()
{
    Env env;
    fillTwoPages(env);
    const QString zipPath = env.path("archive.zip");
    QVERIFY(makeZip(zipPath, {{"old.htm", "old page"}}));
    QVERIFY(::chmod(QFile::encodeName(zipPath).constData(), 0640) == 0);
    QVERIFY(writeListFile(env.work(), env.pages));
    const auto before = treeContents(env.work());

    QVERIFY(env.writeBack(zipPath));
    QVERIFY(!env.storage.lastFailure().failed());
    QVERIFY(unzipTestPasses(zipPath));
    // Every file under its relative name, byte for byte; nothing of the old zip.
    QCOMPARE(zipContents(zipPath), before);
    QCOMPARE(unzipNames(zipPath), sortedKeys(before));
    QVERIFY(before.contains("news_files/scripts/menu.js"));
    QCOMPARE(
        before.value("listfile.txt"),
        QCryptographicHash::hash(
            "[This is list files by Tomekeeper]\r\nNews=news.htm\r\nReport=report.html\r\n[end]",
            QCryptographicHash::Sha1));
    // The new zip took the old one's place and mode, and left nothing beside it.
    QCOMPARE(QDir(env.tmp.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(zipPath).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
}

void TestArchiveStorage::writeBackMissingFolder()
{
    Env env;
    const QString zipPath = env.path("archive.zip");
    QVERIFY(makeZip(zipPath, {{"old.htm", "old page"}}));
    const QByteArray old = TestFiles::read(zipPath);
    // No working folder: nothing to write, nothing to tell.
    QVERIFY(!env.writeBack(zipPath));
    QVERIFY(!env.storage.lastFailure().failed());
    QCOMPARE(TestFiles::read(zipPath), old);
}

void TestArchiveStorage::writeZipIntoMissingFolder()
{
    Env env;
    fillTwoPages(env);
    QVERIFY(writeListFile(env.work(), env.pages));
    QStringList files;
    QVERIFY(env.storage.listFilesBelow(env.work(), files));
    const auto before = treeContents(env.work());

    QVERIFY(!env.writeBack(env.path("gone/archive.zip")));
    QCOMPARE(shown(env.storage.lastFailure()), "message:" + failureText(files));
    QCOMPARE(treeContents(env.work()), before);
    QVERIFY(!QFileInfo::exists(env.path("gone")));
}

void TestArchiveStorage::writeZipKeepsListFile()
{
    Env env;
    const QByteArray list = "[This is list files by Tomekeeper]\r\nMoved=moved.htm\r\n[end]\r\n";
    TestFiles::write(env.folders.moveTarget + "/listfile.txt", list);
    TestFiles::write(env.folders.moveTarget + "/moved.htm", "moved");
    env.pages.append("Open archive's page", "other.htm"); // must not leak into the other archive
    const QString zipPath = env.path("other.zip");
    QVERIFY(env.storage.writeZipKeepingListFile(env.folders.moveTarget, zipPath));
    QCOMPARE(zipContents(zipPath).value("listfile.txt"),
             QCryptographicHash::hash(list, QCryptographicHash::Sha1));
    // An empty folder gives no zip: the old one stays.
    QVERIFY(QDir().mkpath(env.path("empty")));
    QVERIFY(!env.storage.writeZipKeepingListFile(env.path("empty"), zipPath));
    QVERIFY(unzipTestPasses(zipPath));
}

void TestArchiveStorage::vanishedFileKeepsOldZip()
{
    Env env;
    fillTwoPages(env);
    const QString zipPath = env.path("archive.zip");
    QVERIFY(makeZip(zipPath, {{"old.htm", "old page"}}));
    const QByteArray old = TestFiles::read(zipPath);
    QVERIFY(writeListFile(env.work(), env.pages));
    QStringList files;
    QVERIFY(env.storage.listFilesBelow(env.work(), files));
    const QString victim = files.at(1);

    // The file goes away while the zip is written, just before its turn.
    bool removed = false;
    env.zip.onProgress = [&](ZipArchiver *, ProgressKind type, const QString &file, qint64) {
        if (type == ProgressKind::AddStart && file == env.work(victim) && !removed)
            removed = QFile::remove(env.work(victim));
    };
    QVERIFY(!env.writeBack(zipPath));
    if (!removed)
        QSKIP("the zip component reported no progress");
    QCOMPARE(shown(env.storage.lastFailure()), "message:" + failureText({victim}));
    QCOMPARE(TestFiles::read(zipPath), old);
    QVERIFY(QFileInfo::exists(env.work("news.htm")));
    QCOMPARE(QDir(env.tmp.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
}

void TestArchiveStorage::unreadableFileKeepsOldZip()
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
        openToEveryone(env.tmp.path());
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0600) == 0);
        const auto before = treeContents(env.work());
        const ChildReport report = runAsNobody({"save", env.work(), zipPath});
        QVERIFY2(report.exitCode == 0, report.raw.constData());
        QVERIFY(!report.result);
        QCOMPARE(report.calls, QStringList{"message:" + failureText({"news_files/logo.gif"})});
        QCOMPARE(treeContents(env.work()), before);
    } else {
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0) == 0);
        QVERIFY(!env.writeBack(zipPath));
        QCOMPARE(shown(env.storage.lastFailure()),
                 "message:" + failureText({"news_files/logo.gif"}));
        QVERIFY(QFileInfo::exists(secret));
    }
    QCOMPARE(TestFiles::read(zipPath), old);
    QCOMPARE(QDir(env.path("zips")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
}

void TestArchiveStorage::fullDiskKeepsOldZip_data()
{
    QTest::addColumn<bool>("tmpfs");
    QTest::newRow("full file system") << true;
    QTest::newRow("file size limit") << false;
}

void TestArchiveStorage::fullDiskKeepsOldZip()
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
    const auto before = treeContents(env.work());
    const QString oldZip = env.path("old.zip");
    QVERIFY(makeZip(oldZip, {{"old.htm", randomBytes(rng, 64 * 1024)}}));
    const QByteArray old = TestFiles::read(oldZip);

    ChildReport report;
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
        report = parseReport(p.exitCode(), out.left(out.indexOf("---zip")));
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
        report = runChildProcess(QCoreApplication::applicationFilePath(),
                                 {"--child", "save", env.work(), zipPath, "--fsize", "400000"});
        QVERIFY2(report.exitCode == 0, report.raw.constData());
        QCOMPARE(TestFiles::read(zipPath), old);
        beside = QDir(env.path("zips")).entryList(QDir::Files | QDir::Hidden);
    }
    QVERIFY(!report.result);
    QCOMPARE(report.calls.size(), 1);
    QVERIFY2(report.calls.first().startsWith("message:" + msg(MessageId::SaveFailedHead)),
             qPrintable(report.calls.first()));
    QCOMPARE(beside, QStringList{"archive.zip"}); // the temporary file is gone
    QCOMPARE(treeContents(env.work()), before);
}

void TestArchiveStorage::killedWhileSaving_data()
{
    QTest::addColumn<bool>("update");
    QTest::newRow("every file compressed") << false;
    // Most entries copied from the zip being replaced.
    QTest::newRow("update of the unpacked zip") << true;
}

void TestArchiveStorage::killedWhileSaving()
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
    const auto working = treeContents(env.work());
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
    const auto newContents = zipContents(zipPath);
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
        QVERIFY2(unzipTestPasses(zipPath), qPrintable(QStringLiteral("round %1").arg(round)));
        if (TestFiles::read(zipPath) == oldBytes) {
            ++oldSeen;
        } else {
            QCOMPARE(zipContents(zipPath), newContents);
            ++newSeen;
        }
        if (!update)
            QCOMPARE(treeContents(env.work()), working);
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

void TestArchiveStorage::oversizedRefusedUpFront_data()
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

void TestArchiveStorage::oversizedRefusedUpFront()
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
    QCOMPARE(shown(env.storage.lastFailure()), "message:" + failureText(refused));
    QCOMPARE(TestFiles::read(zipPath), old);
    QCOMPARE(QDir(env.tmp.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
}

void TestArchiveStorage::unpack()
{
    Env env;
    const QString zipPath = env.path("a.zip");
    QVERIFY(makeZip(zipPath,
                    {{"listfile.txt", "[This is list files by Tomekeeper]\r\nA=a.htm\r\n[end]"},
                     {"a.htm", "page a"},
                     {"a_files/p.gif", "gif"}}));
    QVERIFY(QDir().mkpath(env.work()));
    QVERIFY(env.storage.unpack(zipPath, env.work()));
    QCOMPARE(TestFiles::read(env.work("a_files/p.gif")), QByteArray("gif"));
    QVERIFY(readListFile(ListFile::path(env.work()), env.pages));
    QCOMPARE(env.pages.fileNames(), QStringList{"a.htm"});
}

void TestArchiveStorage::unpackNotAZip()
{
    Env env;
    const QString zipPath = env.path("text.zip");
    QVERIFY(TestFiles::write(zipPath, "This is plain text, not a zip file.\r\n"));
    QVERIFY(QDir().mkpath(env.work()));
    QVERIFY(!env.storage.unpack(zipPath, env.work()));
    QCOMPARE(shown(env.storage.lastFailure()),
             QString("message:The Archive spoiled! Impossible unzipping!"));
}

void TestArchiveStorage::reopenAfterSaveReadsNewZip()
{
    Env env;
    const QString zipPath = env.path("a.zip");
    QVERIFY(makeZip(zipPath,
                    {{"listfile.txt", "[This is list files by Tomekeeper]\r\nA=a.htm\r\n[end]"},
                     {"a.htm", "first version"}}));
    QVERIFY(QDir().mkpath(env.work()));
    QVERIFY(env.storage.unpack(zipPath, env.work()));
    QVERIFY(readListFile(ListFile::path(env.work()), env.pages));
    TestFiles::write(env.work("a.htm"), "second version");
    QVERIFY(env.writeBack(zipPath));
    QVERIFY(env.storage.removeFolder(env.work()));
    // The same path again must be read afresh, not through the old reader.
    QVERIFY(QDir().mkpath(env.work()));
    QVERIFY(env.storage.unpack(zipPath, env.work()));
    QCOMPARE(TestFiles::read(env.work("a.htm")), QByteArray("second version"));
}

void TestArchiveStorage::listFilesBelow()
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

    QStringList files{"kept"};
    QVERIFY(env.storage.listFilesBelow(env.work(), files));
    files.sort();
    QCOMPARE(files, (QStringList{".hidden", "a.htm", "a_files/x/y/deep.gif", "kept"}));

    if (!TestFiles::runningAsRoot()) {
        QVERIFY(::chmod(QFile::encodeName(env.work("a_files/x")).constData(), 0) == 0);
        QStringList some;
        QVERIFY(!env.storage.listFilesBelow(env.work(), some));
        ::chmod(QFile::encodeName(env.work("a_files/x")).constData(), 0755);
    }
}

void TestArchiveStorage::removeFolder()
{
    Env env;
    const QString top = env.path("tree");
    TestFiles::write(top + "/plain.txt", "p");
    TestFiles::write(top + "/.hidden", "h");
    TestFiles::write(top + "/ro/readonly.txt", "r");
    TestFiles::write(top + "/ro/deeper/file.txt", "f");
    TestFiles::write(env.path("outside/keep.txt"), "keep");
    QVERIFY(QFile::link(env.path("outside"), top + "/dirlink"));
    QVERIFY(QFile::link(env.path("outside/keep.txt"), top + "/filelink"));
    QVERIFY(QFile::link(env.path("nowhere"), top + "/broken"));
    ::chmod(QFile::encodeName(top + "/ro/readonly.txt").constData(), 0444);
    ::chmod(QFile::encodeName(top + "/ro/deeper/file.txt").constData(), 0);
    ::chmod(QFile::encodeName(top + "/ro/deeper").constData(), 0555);
    ::chmod(QFile::encodeName(top + "/ro").constData(), 0555);

    QVERIFY(env.storage.removeFolder(top));
    QVERIFY(!QFileInfo::exists(top));
    QCOMPARE(TestFiles::read(env.path("outside/keep.txt")), QByteArray("keep"));

    QVERIFY(!env.storage.removeFolder(env.path("missing")));
    // A link given as the folder goes itself; its target stays.
    QVERIFY(QFile::link(env.path("outside"), env.path("linked")));
    QVERIFY(env.storage.removeFolder(env.path("linked")));
    QCOMPARE(TestFiles::read(env.path("outside/keep.txt")), QByteArray("keep"));
}

void TestArchiveStorage::removeFolderUndeletable()
{
    Env env;
    const QString top = env.path("tree");
    TestFiles::write(top + "/stuck/file.txt", "s");
    // Modes do not stop it (it makes things writable): only an immutable folder does.
    if (!setImmutable(top + "/stuck", true))
        QSKIP("needs root and a file system with chattr +i");
    const QString stuck = top + "/stuck/file.txt";
    const bool removed = env.storage.removeFolder(top);
    setImmutable(top + "/stuck", false);
    QVERIFY(!removed);
    QCOMPARE(shown(env.storage.lastFailure()), "message:Impossible delete file:" + stuck);
    QVERIFY(QFileInfo::exists(stuck));
}

void TestArchiveStorage::freePageFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");

    QStringList nine{"news.htm"};
    for (int i = 1; i <= 9; ++i)
        nine << QStringLiteral("news_%1.htm").arg(i);
    QStringList nineteen = nine;
    for (int i = 10; i <= 19; ++i)
        nineteen << QStringLiteral("news_%1.htm").arg(i);

    QTest::newRow("first") << "news.htm" << QStringList{"news.htm"} << "news_1.htm";
    QTest::newRow("second") << "news.htm" << QStringList{"news.htm", "news_1.htm"} << "news_2.htm";
    QTest::newRow("after 9") << "news.htm" << nine << "news_10.htm";
    QTest::newRow("after 19: only the last digit counts")
        << "news.htm" << nineteen << "news_110.htm";
    QTest::newRow("trailing digit") << "report2.htm" << QStringList{"report2.htm"} << "report3.htm";
    QTest::newRow("no extension") << "readme" << QStringList{"readme"} << "readme_1";
    QTest::newRow("extension twice") << "x.htm.htm" << QStringList{"x.htm.htm"} << "x_1.htm";
    QTest::newRow("equals sign") << "a=b.htm" << QStringList{} << "a-b.htm";
    QTest::newRow("equals sign, dash name taken")
        << "a=b.htm" << QStringList{"a=b.htm", "a-b.htm"} << "a-b_1.htm";
    QTest::newRow("line feed") << "a\nb.htm" << QStringList{} << "a-b.htm";
    QTest::newRow("carriage return and equals sign") << "a\r=b.htm" << QStringList{} << "a--b.htm";
    QTest::newRow("a folder takes the name")
        << "page.htm" << QStringList{"page.htm", "page_1.htm/"} << "page_2.htm";
}

void TestArchiveStorage::freePageFileName()
{
    QFETCH(QString, name);
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    Env env;
    QVERIFY(QDir().mkpath(env.work()));
    for (const QString &e : existing) {
        if (e.endsWith(u'/'))
            QVERIFY(QDir().mkpath(env.work(e)));
        else
            QVERIFY(TestFiles::write(env.work(e), "x"));
    }
    QCOMPARE(env.storage.freePageFileName(name), expected);
}

void TestArchiveStorage::pageBaseName_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("base");
    QTest::newRow("plain") << "news.htm"
                           << "news";
    QTest::newRow("dots inside") << "v1.2 notes.html"
                                 << "v1.2 notes";
    QTest::newRow("up to the first occurrence") << "page.htm.htm"
                                                << "page";
    QTest::newRow("no extension") << "README"
                                  << "README";
}

void TestArchiveStorage::pageBaseName()
{
    QFETCH(QString, file);
    QFETCH(QString, base);
    QCOMPARE(ArchiveStorage::pageBaseName(file), base);
}

// A file of the page's folder this user cannot read: the copy fails with the
// file named, nothing of the page stays in the working folder, and the
// sources are all still there. Root reads every file, so root runs the copy
// as another user.
void TestArchiveStorage::pageCopyUnreadableSource()
{
    Env env;
    const QString src = env.path("src");
    TestFiles::write(src + "/page.htm", "page");
    TestFiles::write(src + "/page_files/secret.gif", "secret");
    const QString secret = src + "/page_files/secret.gif";
    if (TestFiles::runningAsRoot()) {
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("setpriv is not installed");
        openToEveryone(env.tmp.path());
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0600) == 0);
        const ChildReport report = runAsNobody({"copy", env.work(), src + "/page.htm"});
        QVERIFY2(report.exitCode == 0, report.raw.constData());
        QVERIFY(!report.result);
        QCOMPARE(report.calls, QStringList{"error:Cannot open file " + secret});
        QVERIFY(report.pages.isEmpty());
    } else {
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0) == 0);
        PageCopier copier(env.work());
        const PageCopier::Result result = copier.copyPage(src + "/page.htm");
        ::chmod(QFile::encodeName(secret).constData(), 0644);
        QCOMPARE(result, PageCopier::Result::Failed);
        QCOMPARE(copier.message(), "Cannot open file " + secret);
    }
    QCOMPARE(TestFiles::read(secret), QByteArray("secret"));
    QCOMPARE(TestFiles::read(src + "/page.htm"), QByteArray("page"));
    QVERIFY(treeContents(env.work()).isEmpty());
}

void TestArchiveStorage::moveToTrash()
{
    Env env;
    // The trash of a home inside the test folder.
    const QByteArray home = qgetenv("HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(env.path("home")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(env.path("home/share")));
    QVERIFY(QDir().mkpath(env.path("home/share")));
    TestFiles::write(env.path("home/page.htm"), "page");

    const bool missing = env.storage.moveToTrash(env.path("home/missing.htm"));
    const bool trashed = env.storage.moveToTrash(env.path("home/page.htm"));
    qputenv("HOME", home);
    if (data.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", data);

    QVERIFY(!missing);
    QVERIFY(trashed);
    QVERIFY(!QFileInfo::exists(env.path("home/page.htm")));
    QCOMPARE(TestFiles::read(env.path("home/share/Trash/files/page.htm")), QByteArray("page"));
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestArchiveStorage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_archivestorage.moc"
