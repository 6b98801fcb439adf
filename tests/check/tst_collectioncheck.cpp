#include "catalogue/settingsfile.h"
#include "check/checkcommandline.h"
#include "checkcollection.h"
#include "storage/instancelock.h"
#include "testzips.h"
#include "version.h"

#include <QTemporaryDir>
#include <QTest>

// The check of a whole collection, in the core and on the command line.
class TestCollectionCheck : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &relative) const { return m_dir->filePath(relative); }

    static QStringList described(const QList<CheckProblem> &problems)
    {
        QStringList lines;
        for (const CheckProblem &p : problems)
            lines << CheckCollection::describe(p);
        return lines;
    }

    // The catalogue of archives as the program writes it, the check at start off
    // so that missing zips stay in it whichever way the settings reader treats them.
    static void writeCatalogue(const QString &ini, const QList<CheckedArchive> &archives)
    {
        Settings settings;
        settings.checkArchivesAtStart = false;
        CatalogueModel catalogue;
        CheckCollection::fillCatalogue(catalogue, archives);
        QVERIFY(SettingsFile::write(ini, settings, WindowGeometry{}, catalogue));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void findsEveryProblem()
    {
        const CheckCollection::Collection c = CheckCollection::make(path("c"));
        const CheckReport report = CollectionCheck::run(c.input());
        QCOMPARE(described(report.problems), CheckCollection::expected(c));
        QCOMPARE(report.archivesChecked, 9);
        QCOMPARE(report.pagesListed, 4); // Clean, Broken, and Mixed's two usable lines
        QVERIFY(!report.cancelled);
        const CheckProblem &recovered = report.problems.last();
        QCOMPARE(recovered.section, QString("Books"));
        QCOMPARE(recovered.zipPath, c.zip("clean"));
        QCOMPARE(recovered.keptAt, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    }

    void cleanCollectionsAreClean_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("the clean archive") << "clean";
        QTest::newRow("no archives at all") << "empty";
        QTest::newRow("a zip made by Info-ZIP, names in Russian") << "info-zip";
    }
    void cleanCollectionsAreClean()
    {
        QFETCH(QString, kind);
        CheckCollection::Collection c = CheckCollection::makeClean(path("c"));
        if (kind == "empty") {
            c.archives.clear();
        } else if (kind == "info-zip") {
            const QString zip = path("c/zips/русский.zip");
            QVERIFY(TestZips::zipTree(
                zip,
                {{"listfile.txt", ListFile::encode(QString::fromUtf8(
                                      CheckCollection::list("Статья=статья.htm\r\n")))},
                 {"статья.htm", "<html>текст</html>"},
                 {"статья_files/рисунок.png", "png"}},
                path("stage")));
            c.archives = {{"Книги", "Русский", zip}};
        }
        const CheckReport report = CollectionCheck::run(c.input());
        QCOMPARE(described(report.problems), QStringList());
        QCOMPARE(report.archivesChecked, int(c.archives.size()));
    }

    void stopsWhenAsked()
    {
        const CheckCollection::Collection c = CheckCollection::make(path("c"));
        int calls = 0;
        const CheckReport report = CollectionCheck::run(c.input(), [&calls](int done, int total) {
            ++calls;
            return done < 2 && total == 9;
        });
        QVERIFY(report.cancelled);
        QCOMPARE(report.archivesChecked, 2);
    }

    // The command line: what it prints and how it ends.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("clean"); // only the clean archive, no working copies
        QTest::addColumn<bool>("programRunning");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString clean = "# 1 archive checked, 1 pages listed: nothing is wrong\n";
        QTest::newRow("problems found")
            << QStringList{"--check"} << false << false << 1
            << "# 10 archives checked, 4 pages listed: 16 problems found\n"
            << "";
        QTest::newRow("a running program's working folder")
            << QStringList{"--check"} << false << true << 1
            << "# 10 archives checked, 4 pages listed: 15 problems found\n"
            << "";
        QTest::newRow("nothing wrong") << QStringList{"--check", "--catalogue", "clean.ini"} << true
                                       << false << 0 << clean << "";
        QTest::newRow("catalogue=")
            << QStringList{"--catalogue=clean.ini", "--check"} << true << false << 0 << clean << "";
        QTest::newRow("no catalogue")
            << QStringList{"--check", "--catalogue", "gone.ini"} << false << false << 2 << ""
            << "tomekeeper: there is no catalogue";
        QTest::newRow("unknown option")
            << QStringList{"--check", "--fast"} << false << false << 2 << ""
            << "unknown option --fast";
        QTest::newRow("catalogue without check")
            << QStringList{"--catalogue", "clean.ini"} << false << false << 2 << ""
            << "--catalogue goes with --check";
        QTest::newRow("help") << QStringList{"--help"} << false << false << 0
                              << "Usage: tomekeeper [Qt option...]\n"
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << false << false << 0
                                 << QString("tomekeeper %1\n").arg(kProgramVersion) << "";
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, clean);
        QFETCH(bool, programRunning);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const CheckCollection::Collection c =
            clean ? CheckCollection::makeClean(path("c")) : CheckCollection::make(path("c"));
        // A missing zip whose path holds a tab and a line break.
        const QString odd = path("c/zips/odd\tname\n.zip");
        writeCatalogue(path("c/tomekeeper.ini"),
                       c.archives + QList<CheckedArchive>{{"Other", "Odd", odd}});
        writeCatalogue(path("c/clean.ini"), {c.archives.first()});
        QDir::setCurrent(path("c"));
        const ProgramPaths paths{path("c/"), path("c/tomekeeper.ini"),
                                 WorkFolders::under(c.dataFolder), path("c/cache")};
        if (programRunning)
            QVERIFY(acquireInstanceLock(nullptr, c.dataFolder));

        QString outText;
        QString errText;
        QTextStream outStream(&outText);
        QTextStream errStream(&errText);
        const int code =
            CheckCommandLine::run(QStringList{"tomekeeper"} + args, paths, outStream, errStream);
        outStream.flush();
        errStream.flush();
        releaseInstanceLock();
        QDir::setCurrent(QDir::tempPath());

        QCOMPARE(code, exitCode);
        QVERIFY2(err.isEmpty() ? errText.isEmpty() : errText.contains(err), qPrintable(errText));
        QStringList lines = outText.split(u'\n');
        if (!args.contains("--check") || exitCode != 1) {
            QVERIFY2(out.isEmpty() ? outText.isEmpty() : outText.startsWith(out),
                     qPrintable(outText));
            return;
        }
        // One line per problem: section, archive, zip, code, detail; then the summary.
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.takeLast() + u'\n', out);
        QStringList expected = CheckCollection::expected(c);
        expected.insert(13, "Odd|zip-missing|");
        if (programRunning)
            expected.removeAt(14);
        QStringList got;
        for (const QString &line : std::as_const(lines)) {
            const QStringList fields = line.split(u'\t');
            QCOMPARE(fields.size(), 5);
            got << fields.at(1) + u'|' + fields.at(3) + u'|' +
                       QString(fields.at(4)).replace("\\\\", "\\"); // a backslash is written twice
        }
        QCOMPARE(got, expected);
        QCOMPARE(lines.at(7),
                 "Other\tMixed\t" + c.zip("mixed") + "\tlist-refused-line\t../evil.htm");
        QCOMPARE(lines.at(13),
                 "Other\tOdd\t" + path("c/zips/odd\\tname\\n.zip") + "\tzip-missing\t");
    }
};

QTEST_GUILESS_MAIN(TestCollectionCheck)
#include "tst_collectioncheck.moc"
