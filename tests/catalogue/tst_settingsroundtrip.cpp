// tomekeeper.ini written by SettingsFile::write and read back by
// SettingsFile::read: whatever the catalogue holds comes back as it was.

#include "catalogue/cataloguemodel.h"
#include "catalogue/settingsfile.h"
#include "seedcorpus.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <ctime>

namespace {

// One catalogue section: its name, then name and zip path of each archive.
struct SectionRows {
    QString name;
    QList<std::pair<QString, QString>> archives;
};

void fill(CatalogueModel &model, const QList<SectionRows> &sections)
{
    for (const SectionRows &s : sections) {
        model.appendSection(s.name);
        for (const auto &[name, path] : s.archives)
            model.appendArchive(name, path);
    }
}

Settings uncheckedSettings()
{
    Settings s;
    s.checkArchivesAtStart = false; // the zip files need not exist
    return s;
}

// CPU time of this thread: unlike the wall clock it does not grow while
// other programs have the processor.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

class TestSettingsRoundTrip : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString iniPath() const { return m_dir.filePath("tomekeeper.ini"); }

    // Writes model and settings, reads them back into out; returns the bytes written.
    QByteArray roundTrip(const CatalogueModel &model, const Settings &settings, CatalogueModel &out,
                         Settings &back)
    {
        QString error;
        if (!SettingsFile::write(iniPath(), settings, WindowGeometry{}, model, &error))
            qWarning() << "write failed:" << error;
        back = uncheckedSettings();
        SettingsFile::read(iniPath(), m_dir.path(), back, out);
        const QByteArray written = TestFiles::read(iniPath());
        SeedCorpus::keep("settings", written);
        return written;
    }

private Q_SLOTS:
    // Names and paths the file layout cannot hold as they are: each comes back
    // unchanged, and so do its neighbours.
    void everyNameComesBack_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("paths");

        QTest::newRow("seven in one section")
            << "Books"
            << QStringList{"Novels", "x=y", ";semi", "[bracket", "Section", " padded ", ""}
            << QStringList{"/a/n.zip",       "/a/x.zip", "/a/s.zip", "/a/b.zip",
                           "/a/section.zip", "/a/p.zip", "/a/e.zip"};
        // A line's UTF-8 reader takes a byte-order mark at its start for the
        // file's and drops it.
        QTest::newRow("byte-order mark first")
            << u"\uFEFFsection"_qs << QStringList{u"\uFEFFname"_qs, u"\uFEFF"_qs}
            << QStringList{u"\uFEFF/a.zip"_qs, u"/b.zip"_qs};
        QTest::newRow("separators alone")
            << "S" << QStringList{"=", ";", "[", "==", "[x]", " ", "\t"}
            << QStringList{"/1", "/2", "/3", "/4", "/5", "/6", "/7"};
        QTest::newRow("line breaks and control characters")
            << "S" << QStringList{"a\r\nb", "line\nbreak", "cr\r", "nul" + QString(QChar(0)) + "x"}
            << QStringList{"/1", "/2", "/3", "/4"};
        QTest::newRow("names that look written in the escaped form")
            << "S" << QStringList{"%%", "%%x%3Dy", "%%Section", "%", "100%", "%3D"}
            << QStringList{"/1", "/2", "/3", "/4", "/5", "/6"};
        QTest::newRow("hostile section name")
            << " padded section " << QStringList{"A"} << QStringList{"/a.zip"};
        QTest::newRow("section name with a line break")
            << "two\r\nlines" << QStringList{"A"} << QStringList{"/a.zip"};
        QTest::newRow("section name in the escaped form")
            << "%%%20" << QStringList{"A"} << QStringList{"/a.zip"};
        QTest::newRow("empty section name") << "" << QStringList{"A"} << QStringList{"/a.zip"};
        QTest::newRow("paths with blanks at the ends and line breaks")
            << "S" << QStringList{"a", "b", "c", "d", "e"}
            << QStringList{"/home/u/trailing .zip ", " /home/u/leading.zip",
                           "/home/u/line\nbreak.zip", "/home/u/x=y.zip", "%%/odd.zip"};
        QTest::newRow("cyrillic") << u"Книги"_qs << QStringList{u"Романы = проза"_qs, u" Стихи"_qs}
                                  << QStringList{u"/архив/р.zip"_qs, u"/архив/с.zip "_qs};
    }
    void everyNameComesBack()
    {
        QFETCH(QString, section);
        QFETCH(QStringList, names);
        QFETCH(QStringList, paths);

        SectionRows rows{section, {}};
        for (qsizetype i = 0; i < names.size(); ++i)
            rows.archives.append({names.at(i), paths.at(i)});
        CatalogueModel model;
        fill(model,
             {{"First", {{"Before", "/before.zip"}}}, rows, {"Last", {{"After", "/after.zip"}}}});

        Settings settings = uncheckedSettings();
        settings.defaultArchiveFolder = m_dir.path() + "/";
        CatalogueModel back;
        Settings backSettings;
        const QByteArray written = roundTrip(model, settings, back, backSettings);
        QCOMPARE(back.nodeNames(), model.nodeNames());
        QCOMPARE(back.archivePaths(), model.archivePaths());
        QCOMPARE(backSettings.defaultArchiveFolder, settings.defaultArchiveFolder);

        // The second time round the bytes are the same: nothing drifts.
        CatalogueModel again;
        Settings againSettings;
        QCOMPARE(roundTrip(back, backSettings, again, againSettings), written);
    }

    // Ordinary names are written as they are; only what the layout cannot hold
    // takes the escaped form, byte for byte as below.
    void writtenBytes()
    {
        CatalogueModel model;
        fill(model, {{"Books",
                      {{"Novels", "/a/n.zip"},
                       {"section", "/a/lower.zip"},
                       {"100% sure", "/a/100%.zip"},
                       {"a;b [c]", "/a/x;[y].zip"},
                       {"x=y", "/a/x=y.zip"},
                       {";semi", "/a/s.zip"},
                       {"[bracket", "/a/b.zip"},
                       {"Section", "/a/section.zip"},
                       {" padded ", "/a/p.zip "},
                       {"", "/a/e.zip"},
                       {"%%", "/a/m.zip"}}},
                     {" Misc", {}}});
        QVERIFY(SettingsFile::write(iniPath(), uncheckedSettings(), WindowGeometry{}, model));
        const QByteArray written = TestFiles::read(iniPath());
        const QByteArray catalogue = written.mid(written.indexOf("[Archive files 1]"));
        QCOMPARE(catalogue, QByteArray("[Archive files 1]\r\n"
                                       "Section=Books\r\n"
                                       "Novels=/a/n.zip\r\n"
                                       "section=/a/lower.zip\r\n"
                                       "100% sure=/a/100%.zip\r\n"
                                       "a;b [c]=/a/x;[y].zip\r\n"
                                       "%%x%3Dy=/a/x=y.zip\r\n"
                                       "%%;semi=/a/s.zip\r\n"
                                       "%%[bracket=/a/b.zip\r\n"
                                       "%%Section=/a/section.zip\r\n"
                                       "%%%20padded%20=%%/a/p.zip%20\r\n"
                                       "%%=/a/e.zip\r\n"
                                       "%%%25%25=/a/m.zip\r\n"
                                       "[Archive files 2]\r\n"
                                       "Section=%%%20Misc\r\n"));
    }

    // A file that was not written in the escaped form reads as it always did,
    // even where it happens to look like it.
    void olderFilesReadAsBefore_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("percent signs")
            << QByteArray("Section=100%\r\n50%=/a.zip\r\n%%foo=/b.zip\r\n%41=/c.zip\r\n")
            << QStringList{"100%", "50%", "%%foo", "%41"}
            << QStringList{" ", "/a.zip", "/b.zip", "/c.zip"};
        QTest::newRow("not the form this program writes")
            << QByteArray("Section=S\r\n%%x%3dy=/lower-case-hex.zip\r\n%%%41=/needless.zip\r\n"
                          "%%a%2=/cut.zip\r\n%%a%ZZ=/not-hex.zip\r\n")
            << QStringList{"S", "%%x%3dy", "%%%41", "%%a%2", "%%a%ZZ"}
            << QStringList{" ", "/lower-case-hex.zip", "/needless.zip", "/cut.zip", "/not-hex.zip"};
        QTest::newRow("escaped and plain together")
            << QByteArray("Section=S\r\n%%x%3Dy=/1.zip\r\nx=/2.zip\r\n%%Section=/3.zip\r\n")
            << QStringList{"S", "x=y", "x", "Section"}
            << QStringList{" ", "/1.zip", "/2.zip", "/3.zip"};
    }
    void olderFilesReadAsBefore()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, names);
        QFETCH(QStringList, paths);
        QVERIFY(TestFiles::write(iniPath(), "[Archive files 1]\r\n" + file));
        CatalogueModel model;
        Settings settings = uncheckedSettings();
        SettingsFile::read(iniPath(), m_dir.path(), settings, model);
        QCOMPARE(model.nodeNames(), names);
        QCOMPARE(model.archivePaths(), paths);
    }

    // One stray Windows-1251 byte (a comment typed on an old system) must not
    // turn the UTF-8 names around it into other letters.
    void eachLineKeepsItsOwnEncoding()
    {
        const QString folder = m_dir.filePath(u"Архивы"_qs);
        QVERIFY(QDir().mkpath(folder));
        const QString zip = folder + u"/Романы.zip"_qs;
        QVERIFY(TestFiles::write(zip, "x"));
        const QByteArray file = "[Parameters]\r\nDirArchive=" + folder.toUtf8() +
                                "/\r\nexistingfiles=1\r\n"
                                "; \xCA\xEE\xEC\xEC\xE5\xED\xF2\xE0\xF0\xE8\xE9\r\n" // 1251 comment
                                "[Archive files 1]\r\nSection=" +
                                u"Книги"_qs.toUtf8() + "\r\n" + u"Романы"_qs.toUtf8() + "=" +
                                zip.toUtf8() +
                                "\r\n[Archive files 2]\r\n"
                                "Section=\xD1\xF2\xE0\xF0\xFB\xE5\r\n"; // "Старые" in 1251
        QVERIFY(TestFiles::write(iniPath(), file));
        CatalogueModel model;
        Settings settings;
        const SettingsFile::ReadResult result =
            SettingsFile::read(iniPath(), m_dir.path(), settings, model);
        QVERIFY(result.missingArchives.isEmpty());
        QCOMPARE(settings.defaultArchiveFolder, folder + "/");
        QCOMPARE(model.nodeNames(), QStringList({u"Книги"_qs, u"Романы"_qs, u"Старые"_qs}));
        QCOMPARE(model.archivePaths().at(1), zip);

        // Written back, every line is UTF-8.
        QVERIFY(SettingsFile::write(iniPath(), settings, WindowGeometry{}, model));
        QVERIFY(TestFiles::read(iniPath()).endsWith(
            ("[Archive files 2]\r\nSection=" + u"Старые"_qs + "\r\n").toUtf8()));
    }

    // Thousands of archives in one section (more than 16 KB of names) and a
    // path longer than 2,047 characters: every one is found on disk and kept.
    void noArchiveIsLostToALengthLimit()
    {
        QString deep = m_dir.path();
        while (deep.size() < 2200)
            deep += '/' + QString(200, 'd');
        QVERIFY(QDir().mkpath(deep));
        const QString longZip = deep + "/" + QString(30, 'z') + ".zip";
        QVERIFY(longZip.size() > 2047);
        QVERIFY(TestFiles::write(longZip, "x"));
        const QString shortZip = m_dir.filePath("here.zip");
        QVERIFY(TestFiles::write(shortZip, "x"));

        CatalogueModel model;
        model.appendSection("Many");
        for (int i = 0; i < 2009; ++i)
            model.appendArchive(QString("Archive number %1 of many").arg(i, 4, 10, QChar('0')),
                                shortZip);
        model.appendArchive(QString(3000, 'n'), longZip);
        model.appendSection("After");
        model.appendArchive("Last", longZip);

        Settings settings; // archives are checked on disk
        settings.defaultArchiveFolder = deep + "/";
        QVERIFY(SettingsFile::write(iniPath(), settings, WindowGeometry{}, model));
        CatalogueModel back;
        Settings backSettings;
        const SettingsFile::ReadResult result =
            SettingsFile::read(iniPath(), m_dir.path(), backSettings, back);
        QCOMPARE(result.missingArchives, QStringList());
        QCOMPARE(back.nodeNames(), model.nodeNames());
        QCOMPARE(back.archivePaths(), model.archivePaths());
        QCOMPARE(backSettings.defaultArchiveFolder, settings.defaultArchiveFolder);
    }

    // Reading sixteen times the sections takes about sixteen times the work,
    // not 256 times. The bound is loose: only a search per added node breaks it.
    void loadingGrowsLinearly()
    {
        auto fileOf = [](int sections) {
            QByteArray file = "[Parameters]\r\nexistingfiles=0\r\n";
            for (int i = 1; i <= sections; ++i) {
                const QByteArray n = QByteArray::number(i);
                file += "[Archive files " + n + "]\r\nSection=Section " + n + "\r\nArchive " + n +
                        "=/archives/" + n + ".zip\r\n";
            }
            return file;
        };
        auto cost = [this](const QByteArray &file, int runs) {
            TestFiles::write(iniPath(), file);
            double best = 1e9;
            for (int r = 0; r < runs; ++r) {
                CatalogueModel model;
                Settings settings;
                const double start = threadSeconds();
                SettingsFile::read(iniPath(), m_dir.path(), settings, model);
                best = std::min(best, threadSeconds() - start);
            }
            return best;
        };
        const int small = 2500;
        const double smallCost = cost(fileOf(small), 3);
        const double largeCost = cost(fileOf(16 * small), 3);
        const double ratio = largeCost / std::max(smallCost, 1e-4);
        QVERIFY2(ratio < 64, qPrintable(QString("%1 s for %2 sections, %3 s for %4 (%5 times)")
                                            .arg(smallCost)
                                            .arg(small)
                                            .arg(largeCost)
                                            .arg(16 * small)
                                            .arg(ratio)));
    }
};

QTEST_GUILESS_MAIN(TestSettingsRoundTrip)
#include "tst_settingsroundtrip.moc"
