#include "lang/messages.h"
#include "storage/longwork.h"
#include "storage/openarchive.h"
#include "storage/unpacking.h"
#include "storage/workrecord.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"
#include "support/testzips.h"

#include <QDir>
#include <QSet>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QByteArray kListFile = "[This is list files by Tomekeeper]\r\nNews=news.htm\r\n"
                             "Report=report.htm\r\n[end]\r\n";

using Files = QMap<QString, QByteArray>;

// A zip made by Info-ZIP of the files given (stored, so their bytes can be found).
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
    return TestFiles::run("zip", QStringList{"-q", "-0", "-X", zipPath} + names, nullptr,
                          dir.path()) == 0;
}

// entry name → its compression method, as Python's zipfile reads the zip.
Files zipMethods(const QString &zipPath)
{
    QByteArray out;
    TestFiles::run("python3",
                   {"-c",
                    "import sys, zipfile\n"
                    "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
                    "    print(i.filename + '=' + str(i.compress_type))\n",
                    zipPath},
                   &out);
    Files methods;
    for (const QByteArray &line : out.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            methods.insert(QString::fromUtf8(line.left(eq)), line.mid(eq + 1));
    }
    return methods;
}

// Runs the work right here and keeps what it said of its progress.
class RecordingWork : public LongWork {
public:
    QStringList labels;
    int total = -1;
    int done = 0;

protected:
    void runWork(MessageId label, const std::function<void(WorkProgress &)> &work) override
    {
        labels << Messages::text(label);
        struct Progress : WorkProgress {
            RecordingWork &owner;
            explicit Progress(RecordingWork &o) : owner(o) {}
            void setTotal(int steps) override { owner.total = steps; }
            void advance(int steps) override { owner.done += steps; }
        } progress(*this);
        work(progress);
    }
};

} // namespace

// The open archive against real zips: what is unpacked, written back, closed
// and set aside, and that a working copy with changes is never thrown away.
class TestOpenArchive : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<OpenArchive> m_archive;
    std::unique_ptr<ScriptedInteraction> m_ui;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString work(const QString &name = {}) const
    {
        return name.isEmpty() ? m_archive->workFolder() : m_archive->workFolder() + "/" + name;
    }
    QString makeBook()
    {
        const QString zip = path("book.zip");
        [&] {
            QVERIFY(makeZip(zip, {{"listfile.txt", kListFile},
                                  {"news.htm", "<html>news</html>"},
                                  {"news_files/logo.gif", "GIF89a"},
                                  {"report.htm", "<html>report</html>"}}));
        }();
        return zip;
    }

private Q_SLOTS:
    void initTestCase() { Messages::useEnglish(); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_archive = std::make_unique<OpenArchive>(WorkFolders::under(path("data")));
        m_ui = std::make_unique<ScriptedInteraction>();
    }
    void cleanup()
    {
        m_ui.reset();
        m_archive.reset();
        m_dir.reset();
    }

    // Unpacking runs as long work, on a worker thread behind the interaction.
    void opensAndReadsThePages()
    {
        const QString zip = makeBook();
        TestFiles::write(work("stale.htm"), "left from before");
        QCOMPARE(m_archive->open(zip, *m_ui), OpenArchive::OpenStatus::Opened);
        QCOMPARE(m_ui->log(), QStringList{"work: Unpacking the archive..."});
        QVERIFY(m_archive->isOpen());
        QCOMPARE(m_archive->zipPath(), zip);
        QVERIFY(!m_archive->isChanged());
        QCOMPARE(m_archive->pages().titles(), (QStringList{"News", "Report"}));
        QCOMPARE(m_archive->pages().fileNames(), (QStringList{"news.htm", "report.htm"}));
        // The first page is there to be shown, with its folder; the record
        // says the copy is still being made until the rest is unpacked.
        QCOMPARE(TestFiles::read(work("news_files/logo.gif")), QByteArray("GIF89a"));
        QVERIFY(!QFileInfo::exists(work("stale.htm"))); // the folder was emptied first
        QVERIFY(WorkRecord::read(work())->beingMade);
        QVERIFY(m_archive->completeCopy(*m_ui));
        QVERIFY(!WorkRecord::read(work())->beingMade);
        QVERIFY(QFileInfo::exists(work("report.htm")));
    }

    // What a page needs comes out of the zip first, in whatever letter case
    // the page asks for it; nothing else is unpacked for it.
    void aPageGetsItsFilesFirst()
    {
        const QString zip = path("pages.zip");
        QVERIFY(makeZip(zip, {{"Report.htm", "r"},
                              {"report_files/pic.png", "p"},
                              {"Report.files/style.css", "s"},
                              {"shared/Logo.GIF", "l"},
                              {"reporter.htm", "other page"},
                              {"report_filesX/not.png", "not its folder"}}));
        auto opened = Unpacking::open(zip, work());
        QVERIFY(opened);
        Unpacking &unpacking = **opened;
        const QStringList page = unpacking.entriesOfPage("report.htm");
        QCOMPARE(QSet<QString>(page.begin(), page.end()),
                 (QSet<QString>{"Report.htm", "report_files/pic.png", "Report.files/style.css"}));
        QVERIFY(unpacking.unpackNow(page));
        QVERIFY(unpacking.unpackNow(unpacking.entriesForPath("SHARED\\logo.gif")));
        QCOMPARE(TestZips::filesBelow(work()).keys(),
                 (QStringList{"Report.files/style.css", "Report.htm", "report_files/pic.png",
                              "shared/Logo.GIF"}));
        QVERIFY(!unpacking.isOver());
        QVERIFY(unpacking.unpackRest());
        QCOMPARE(TestZips::filesBelow(work()).size(), 6);
    }

    void openingWhatIsNotAWholeArchive_data()
    {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QByteArray>("corrupt"); // bytes to spoil inside the zip
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("titles");
        using S = OpenArchive::OpenStatus;
        QTest::newRow("no list file") << Files{{"news.htm", "news"}} << QByteArray()
                                      << int(S::ListFileMissing) << QStringList();
        QTest::newRow("list file without a header")
            << Files{{"listfile.txt", "News=news.htm\r\n"}, {"news.htm", "n"}} << QByteArray()
            << int(S::Opened) << QStringList();
        // The first entry is written before the second fails its check, found
        // when the rest is unpacked after opening: the half that was unpacked
        // must not stay behind as the archive, and the zip stays as it is.
        QTest::newRow("damaged half-way")
            << Files{{"a.htm", "first page, intact"}, {"b.htm", "second page, to be spoiled"}}
            << QByteArray("to be spoiled") << int(S::Failed) << QStringList();
    }
    void openingWhatIsNotAWholeArchive()
    {
        QFETCH(Files, files);
        QFETCH(QByteArray, corrupt);
        QFETCH(int, status);
        QFETCH(QStringList, titles);
        const QString zip = path("odd.zip");
        QVERIFY(makeZip(zip, files));
        if (!corrupt.isEmpty()) {
            QByteArray bytes = TestFiles::read(zip);
            const qsizetype at = bytes.indexOf(corrupt);
            QVERIFY(at > 0);
            bytes[at] = 'X';
            QVERIFY(TestFiles::write(zip, bytes));
        }
        const QByteArray before = TestFiles::read(zip);
        const OpenArchive::OpenStatus opened = m_archive->open(zip, *m_ui);
        QCOMPARE(int(opened), corrupt.isEmpty() ? status : int(OpenArchive::OpenStatus::ListFileMissing));
        QCOMPARE(m_archive->isBeingMade(), true);
        QCOMPARE(m_archive->completeCopy(*m_ui), status != int(OpenArchive::OpenStatus::Failed));
        QVERIFY(!m_archive->isBeingMade());
        QCOMPARE(m_archive->pages().titles(), titles);
        QCOMPARE(TestFiles::read(zip), before);
        if (status == int(OpenArchive::OpenStatus::Failed)) {
            QVERIFY(!m_archive->isOpen());
            QVERIFY(!QFileInfo::exists(work()));
            QCOMPARE(m_archive->lastFailure()->kind, StorageFailure::Kind::ArchiveDamaged);
        } else {
            QVERIFY(m_archive->isOpen());
            QVERIFY(QFileInfo::exists(work("news.htm")));
        }
    }

    void notAZipLeavesNothingOpen()
    {
        TestFiles::write(path("text.zip"), "plain text");
        QCOMPARE(m_archive->open(path("text.zip"), *m_ui), OpenArchive::OpenStatus::Failed);
        QVERIFY(!m_archive->isOpen());
        QVERIFY(!QFileInfo::exists(work()));
        // Nothing open, nothing to write back over a good zip.
        QVERIFY(!m_archive->isChanged());
    }

    // Changes not yet in the zip are never emptied away by another opening.
    void changesAreNotThrownAway()
    {
        const QString zip = makeBook();
        QVERIFY(m_archive->startNew(path("new.zip")));
        TestFiles::write(work("mine.htm"), "unsaved");
        QCOMPARE(m_archive->open(zip, *m_ui), OpenArchive::OpenStatus::Refused);
        QVERIFY(!m_archive->startNew(path("other.zip")));
        QVERIFY(!m_archive->close());
        QCOMPARE(TestFiles::read(work("mine.htm")), QByteArray("unsaved"));
        QCOMPARE(m_archive->zipPath(), path("new.zip"));
        QVERIFY(m_ui->log().isEmpty());
    }

    void writesBackWithProgress()
    {
        const QString zip = makeBook();
        QCOMPARE(m_archive->open(zip, *m_ui), OpenArchive::OpenStatus::Opened);
        QVERIFY(m_archive->completeCopy(*m_ui));
        TestFiles::write(work("news.htm"), "<html>news, changed</html>");
        m_archive->pages().setTitle(0, "Latest news");
        m_archive->setChanged(true);

        RecordingWork recording;
        QVERIFY(m_archive->writeBack(recording));
        QCOMPARE(recording.labels, QStringList{"Saving the archive..."});
        QCOMPARE(recording.total, 5); // four files, and the list file that may be new
        QCOMPARE(recording.done, 4);
        QVERIFY(!m_archive->isChanged());
        QVERIFY(m_archive->isOpen());
        QVERIFY(QFileInfo::exists(work("news.htm"))); // the working copy stays
        QCOMPARE(TestZips::names(zip),
                 (QStringList{"listfile.txt", "news.htm", "news_files/logo.gif", "report.htm"}));
        // What was written is what opens again.
        QVERIFY(m_archive->close());
        QVERIFY(!QFileInfo::exists(work()));
        QCOMPARE(m_archive->open(zip, *m_ui), OpenArchive::OpenStatus::Opened);
        QVERIFY(m_archive->completeCopy(*m_ui));
        QCOMPARE(m_archive->pages().titles(), (QStringList{"Latest news", "Report"}));
        QCOMPARE(TestFiles::read(work("news.htm")), QByteArray("<html>news, changed</html>"));
    }

    // The book's zip holds its entries stored: one still stored after a
    // write-back was copied from the zip, one deflated was read again.
    void writeBackCopiesOnlyWhatIsCertainlyUnchanged()
    {
        const QString zip = makeBook();
        QCOMPARE(m_archive->open(zip, *m_ui), OpenArchive::OpenStatus::Opened);
        QVERIFY(m_archive->completeCopy(*m_ui));
        TestFiles::write(work("added.htm"), "<html>added</html>");
        m_archive->pages().append("Added", "added.htm");
        // Other bytes of the same size, the modification time set back at once.
        const QDateTime when = QFileInfo(work("report.htm")).lastModified();
        TestFiles::write(work("report.htm"), "<html>REPORT</html>");
        QFile report(work("report.htm"));
        QVERIFY(report.open(QIODevice::ReadWrite));
        QVERIFY(report.setFileTime(when, QFileDevice::FileModificationTime));
        report.close();
        m_archive->setChanged(true);
        QVERIFY(m_archive->writeBack(*m_ui));
        const Files stored{{"news.htm", "0"},
                           {"news_files/logo.gif", "0"},
                           {"report.htm", "8"},
                           {"added.htm", "8"},
                           {"listfile.txt", "8"}};
        QCOMPARE(zipMethods(zip), stored);
        QCOMPARE(TestZips::entry(zip, "report.htm"), QByteArray("<html>REPORT</html>"));
        QCOMPARE(TestZips::entry(zip, "news_files/logo.gif"), QByteArray("GIF89a"));

        // The zip just written serves the next write-back in turn.
        m_archive->pages().setTitle(0, "Latest news");
        m_archive->setChanged(true);
        QVERIFY(m_archive->writeBack(*m_ui));
        QCOMPARE(zipMethods(zip), stored);

        // Another file under the zip's name, even with the same bytes, is
        // not the zip recorded: replaced only when the user says so, and
        // then everything is compressed again.
        QVERIFY(QFile::copy(zip, zip + ".copy"));
        QVERIFY(QFile::remove(zip));
        QVERIFY(QFile::rename(zip + ".copy", zip));
        m_archive->setChanged(true);
        QVERIFY(!m_archive->writeBack(*m_ui));
        QVERIFY(m_archive->writeBack(*m_ui, OpenArchive::IfZipChanged::Replace));
        for (const QByteArray &method : zipMethods(zip))
            QCOMPARE(method, QByteArray("8"));
        QVERIFY(TestZips::passesTest(zip));
        QCOMPARE(TestZips::entry(zip, "news_files/logo.gif"), QByteArray("GIF89a"));
    }

    // Another program replaced or rewrote the zip since it was unpacked: the
    // write-back leaves it as it is unless told to replace it. A zip that is
    // gone has nothing to lose.
    void aZipChangedSinceOpeningIsKept_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("replaced by another file") << "replaced";
        QTest::newRow("rewritten in place, size and time kept") << "rewritten";
        QTest::newRow("removed") << "removed";
    }
    void aZipChangedSinceOpeningIsKept()
    {
        QFETCH(QString, change);
        const QString zip = makeBook();
        QCOMPARE(m_archive->open(zip, *m_ui), OpenArchive::OpenStatus::Opened);
        QVERIFY(m_archive->completeCopy(*m_ui));
        TestFiles::write(work("added.htm"), "<html>added</html>");
        m_archive->pages().append("Added", "added.htm");
        m_archive->setChanged(true);
        if (change == "replaced") {
            QVERIFY(makeZip(path("other.zip"), {{"other.htm", "other"}}));
            QVERIFY(::rename(QFile::encodeName(path("other.zip")).constData(),
                             QFile::encodeName(zip).constData()) == 0);
        } else if (change == "rewritten") {
            // One letter of a name in the central directory, as an editor
            // that keeps the file's time would leave it.
            const QByteArray name = QFile::encodeName(zip);
            struct stat before {};
            QVERIFY(::stat(name.constData(), &before) == 0);
            QFile file(zip);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray bytes = file.readAll();
            QVERIFY(file.seek(bytes.lastIndexOf("PK\x01\x02") + 46));
            QVERIFY(file.write("N") == 1);
            file.close();
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, name.constData(), times, 0) == 0);
            struct stat after {};
            QVERIFY(::stat(name.constData(), &after) == 0);
            QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(after.st_size, before.st_size);
        } else {
            QVERIFY(QFile::remove(zip));
        }
        const QByteArray changed = TestFiles::read(zip);

        if (change != "removed") {
            QVERIFY(!m_archive->writeBack(*m_ui));
            QVERIFY(m_archive->zipChangedSinceOpened());
            QCOMPARE(m_archive->lastFailure()->kind, StorageFailure::Kind::ZipChanged);
            QCOMPARE(m_archive->lastFailure()->path, zip);
            QCOMPARE(TestFiles::read(zip), changed);
            QVERIFY(m_archive->isChanged());
            QVERIFY(m_archive->writeBack(*m_ui, OpenArchive::IfZipChanged::Replace));
        } else {
            QVERIFY(m_archive->writeBack(*m_ui));
        }
        QCOMPARE(TestZips::names(zip), (QStringList{"added.htm", "listfile.txt", "news.htm",
                                             "news_files/logo.gif", "report.htm"}));
        // Written back, the zip is the archive's own again.
        m_archive->setChanged(true);
        QVERIFY(m_archive->writeBack(*m_ui));
    }

    void failedWriteBackKeepsEverything()
    {
        QVERIFY(m_archive->startNew(path("no-such-folder/new.zip")));
        TestFiles::write(work("news.htm"), "news");
        m_archive->pages().append("news", "news.htm");
        QVERIFY(!m_archive->writeBack(*m_ui));
        QCOMPARE(m_archive->lastFailure()->kind, StorageFailure::Kind::NotSaved);
        QCOMPARE(m_archive->lastFailure()->files.size(), 2);
        QVERIFY(m_archive->isChanged());
        QCOMPARE(TestFiles::read(work("news.htm")), QByteArray("news"));
        QVERIFY(!QFileInfo::exists(path("no-such-folder")));
    }

    void nothingToWriteBackWithoutAWorkingFolder()
    {
        const QString zip = makeBook();
        const QByteArray before = TestFiles::read(zip);
        QVERIFY(m_archive->startNew(zip));
        QVERIFY(QDir(work()).removeRecursively());
        QVERIFY(m_archive->writeBack(*m_ui));
        QVERIFY(!m_archive->isChanged());
        QCOMPARE(TestFiles::read(zip), before);
    }

    // Leaving an unchanged archive renames its working copy aside at once:
    // the next archive opens while the removal is still held up, and the
    // removal then empties the folder it was moved to.
    void leavingMovesTheCopyAsideForRemoval()
    {
        const QString zip = makeBook();
        QSemaphore release;
        std::atomic_int removing = 0;
        m_archive->removal().setRemover([&](const QString &entry, const std::atomic_bool &) {
            ++removing;
            release.tryAcquire(1, 10000);
            QDir(entry).removeRecursively();
        });
        const QString aside = m_archive->folders().beingRemoved();
        QCOMPARE(m_archive->open(zip, *m_ui), OpenArchive::OpenStatus::Opened);
        QVERIFY(m_archive->close());
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(!QFileInfo::exists(WorkRecord::pathFor(work())));
        QTRY_COMPARE(removing.load(), 1);
        QCOMPARE(QDir(aside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);

        QCOMPARE(m_archive->open(zip, *m_ui), OpenArchive::OpenStatus::Opened);
        QCOMPARE(TestFiles::read(work("news.htm")), QByteArray("<html>news</html>"));
        QVERIFY(m_archive->startNew(path("new.zip"))); // leaves the second copy the same way
        release.release(2);
        m_archive->removal().waitForDone();
        QCOMPARE(removing.load(), 2);
        QVERIFY(QDir(aside).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QVERIFY(QDir(work()).isEmpty()); // the new archive's own folder
    }

    void aCopyThatCannotBeMovedIsRemovedWhereItIs()
    {
        WorkFolders folders = WorkFolders::under(path("stuck"));
        folders.renameFolder = [](const QString &, const QString &) { return false; };
        OpenArchive archive(folders);
        QCOMPARE(archive.open(makeBook(), *m_ui), OpenArchive::OpenStatus::Opened);
        QVERIFY(archive.close());
        QVERIFY(!QFileInfo::exists(folders.archive));
        QVERIFY(!QFileInfo::exists(WorkRecord::pathFor(folders.archive)));
        QVERIFY(QDir(folders.beingRemoved()).isEmpty());
    }

    void setAsideKeepsTheWorkingCopy()
    {
        QVERIFY(m_archive->startNew(path("new.zip")));
        TestFiles::write(work("news.htm"), "news");
        TestFiles::write(work("news_files/a.gif"), "a");
        const QString kept = m_archive->setAside().value_or(QString());
        QVERIFY(kept.startsWith(path("data/recovered-")));
        QCOMPARE(TestFiles::read(kept + "/news_files/a.gif"), QByteArray("a"));
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(!m_archive->isOpen());
        QVERIFY(!m_archive->isChanged());
        // A second one in the same second gets a name of its own.
        QVERIFY(m_archive->startNew(path("new.zip")));
        TestFiles::write(work("other.htm"), "other");
        const QString second = m_archive->setAside().value_or(QString());
        QVERIFY(second != kept);
        QCOMPARE(TestFiles::read(second + "/other.htm"), QByteArray("other"));
        QCOMPARE(TestFiles::read(kept + "/news.htm"), QByteArray("news"));
        // Nothing to set aside.
        QCOMPARE(m_archive->setAside(), std::optional<QString>(QString()));
    }

    void setAsideThatCannotMoveChangesNothing()
    {
        QVERIFY(m_archive->startNew(path("new.zip")));
        TestFiles::write(work("news.htm"), "news");
        m_archive->pages().append("news", "news.htm");
        m_archive->setChanged(true);
        // Root moves anything but an immutable folder; others cannot move
        // one out of a folder they may not write.
        const bool root = TestFiles::runningAsRoot();
        const QString locked = root ? work() : path("data");
        const auto lock = [&](bool on) {
            if (root)
                return TestFiles::run("chattr", {on ? "+i" : "-i", locked}) == 0;
            return QFile::setPermissions(locked, on ? QFile::ReadOwner | QFile::ExeOwner
                                                    : QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ExeOwner);
        };
        if (!lock(true))
            QSKIP("cannot lock a folder against changes here");
        const std::optional<QString> kept = m_archive->setAside();
        QVERIFY(lock(false));
        QVERIFY(!kept);
        QVERIFY(m_archive->isOpen());
        QVERIFY(m_archive->isChanged());
        QCOMPARE(m_archive->pages().count(), 1);
        QCOMPARE(TestFiles::read(work("news.htm")), QByteArray("news"));
        QVERIFY(QDir(path("data")).entryList({"recovered-*"}, QDir::Dirs).isEmpty());
        // Still changed, so nothing empties it.
        QVERIFY(!m_archive->close());
        QVERIFY(QFileInfo::exists(work("news.htm")));
    }
};

QTEST_GUILESS_MAIN(TestOpenArchive)
#include "tst_openarchive.moc"
