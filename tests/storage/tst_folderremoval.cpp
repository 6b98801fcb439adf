// Removing what the program made (working folders, what pages leave behind)
// and sending files to the trash.

#include "storage/folderremoval.h"
#include "storage/trash.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

class TestFolderRemoval : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString path(const QString &relative) const { return m_tmp.filePath(relative); }

private Q_SLOTS:
    void removesEverythingBelowButNotThroughLinks();
    void undeletableFileFails();
    void moveToTrash();
};

void TestFolderRemoval::removesEverythingBelowButNotThroughLinks()
{
    const QString top = path("tree");
    TestFiles::write(top + "/plain.txt", "p");
    TestFiles::write(top + "/.hidden", "h");
    TestFiles::write(top + "/ro/readonly.txt", "r");
    TestFiles::write(top + "/ro/deeper/file.txt", "f");
    TestFiles::write(path("outside/keep.txt"), "keep");
    QVERIFY(QFile::link(path("outside"), top + "/dirlink"));
    QVERIFY(QFile::link(path("outside/keep.txt"), top + "/filelink"));
    QVERIFY(QFile::link(path("nowhere"), top + "/broken"));
    ::chmod(QFile::encodeName(top + "/ro/readonly.txt").constData(), 0444);
    ::chmod(QFile::encodeName(top + "/ro/deeper/file.txt").constData(), 0);
    ::chmod(QFile::encodeName(top + "/ro/deeper").constData(), 0555);
    ::chmod(QFile::encodeName(top + "/ro").constData(), 0555);

    QVERIFY(FolderRemoval::remove(top));
    QVERIFY(!QFileInfo::exists(top));
    QCOMPARE(TestFiles::read(path("outside/keep.txt")), QByteArray("keep"));

    // Nothing there is nothing left to remove.
    QVERIFY(FolderRemoval::remove(path("missing")));
    // A link given as the folder goes itself; its target stays.
    QVERIFY(QFile::link(path("outside"), path("linked")));
    QVERIFY(FolderRemoval::remove(path("linked")));
    QVERIFY(!QFileInfo(path("linked")).isSymLink());
    QCOMPARE(TestFiles::read(path("outside/keep.txt")), QByteArray("keep"));
}

void TestFolderRemoval::undeletableFileFails()
{
    const QString top = path("stuck-tree");
    TestFiles::write(top + "/stuck/file.txt", "s");
    // Modes do not stop it (it makes things writable): only an immutable folder does.
    if (!TestFiles::runningAsRoot() || TestFiles::run("chattr", {"+i", top + "/stuck"}) != 0)
        QSKIP("needs root and a file system with chattr +i");
    const QString stuck = top + "/stuck/file.txt";
    const auto removed = FolderRemoval::remove(top);
    TestFiles::run("chattr", {"-i", top + "/stuck"});
    QVERIFY(!removed);
    QCOMPARE(removed.failure().kind, StorageFailure::Kind::NotDeleted);
    QCOMPARE(removed.failure().path, stuck);
    QVERIFY(QFileInfo::exists(stuck));
}

void TestFolderRemoval::moveToTrash()
{
    // The trash of a home inside the test folder.
    const QByteArray home = qgetenv("HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(path("home")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(path("home/share")));
    QVERIFY(QDir().mkpath(path("home/share")));
    TestFiles::write(path("home/page.htm"), "page");

    const bool missing = Trash::moveToTrash(path("home/missing.htm"));
    const bool trashed = Trash::moveToTrash(path("home/page.htm"));
    qputenv("HOME", home);
    if (data.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", data);

    QVERIFY(!missing);
    QVERIFY(trashed);
    QVERIFY(!QFileInfo::exists(path("home/page.htm")));
    QCOMPARE(TestFiles::read(path("home/share/Trash/files/page.htm")), QByteArray("page"));
}

QTEST_GUILESS_MAIN(TestFolderRemoval)
#include "tst_folderremoval.moc"
