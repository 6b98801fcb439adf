#include "browse/helpfiles.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A program folder and an installed-looking tree: <root>/bin for the
// executable, <root>/share/tomekeeper/manual for the manual.
struct Layout {
    QTemporaryDir root;
    QString programFolder() const { return root.filePath(QStringLiteral("start")); }
    QString executableFolder() const { return root.filePath(QStringLiteral("bin")); }
    QString manual(const QString &name) const
    {
        return root.filePath(QStringLiteral("share/tomekeeper/manual/") + name);
    }
};

QString sourceManual(const QString &name)
{
    return QStringLiteral(TOMEKEEPER_SOURCE_DIR "/data/manual/") + name;
}

} // namespace

class TestHelpFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Messages::useEnglish(); }

    // What help opens, for every combination that matters: the help file of
    // the program folder first, then the shipped manual, both only in the
    // active language.
    void choice_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QStringList>("inProgramFolder");
        QTest::addColumn<QStringList>("inManual");
        QTest::addColumn<QString>("expected"); // "start/..." or "manual/..." or empty

        const QStringList both{"en.html", "ru.html"};
        QTest::newRow("nothing, English") << false << QStringList() << QStringList() << "";
        QTest::newRow("nothing, Russian") << true << QStringList() << QStringList() << "";
        QTest::newRow("chm, English")
            << false << QStringList{"HelpEng.chm"} << QStringList() << "start/HelpEng.chm";
        QTest::newRow("chm, Russian")
            << true << QStringList{"HelpRus.chm"} << QStringList() << "start/HelpRus.chm";
        QTest::newRow("chm before the manual")
            << false << QStringList{"HelpEng.chm", "HelpRus.chm"} << both << "start/HelpEng.chm";
        QTest::newRow("the other language's chm is not taken")
            << true << QStringList{"HelpEng.chm"} << both << "manual/ru.html";
        QTest::newRow("manual, English") << false << QStringList() << both << "manual/en.html";
        QTest::newRow("manual, Russian") << true << QStringList() << both << "manual/ru.html";
        QTest::newRow("only the other language's manual")
            << true << QStringList() << QStringList{"en.html"} << "";
        // Linux file names keep their letter case: a renamed copy is not the help file.
        QTest::newRow("chm in other letter case")
            << false << QStringList{"helpeng.chm"} << QStringList() << "";
    }
    void choice()
    {
        QFETCH(bool, russian);
        QFETCH(QStringList, inProgramFolder);
        QFETCH(QStringList, inManual);
        QFETCH(QString, expected);
        Layout layout;
        QVERIFY(QDir().mkpath(layout.programFolder()));
        QVERIFY(QDir().mkpath(layout.executableFolder()));
        for (const QString &name : inProgramFolder)
            QVERIFY(TestFiles::write(layout.programFolder() + u'/' + name, "chm"));
        for (const QString &name : inManual)
            QVERIFY(TestFiles::write(layout.manual(name), "<html>"));
        russian ? Messages::useRussian() : Messages::useEnglish();

        const HelpChoice choice =
            HelpFiles::locate(layout.programFolder(), layout.executableFolder());

        QCOMPARE(choice.missingName,
                 russian ? QStringLiteral("HelpRus.chm") : QStringLiteral("HelpEng.chm"));
        QString want;
        if (expected.startsWith(QStringLiteral("start/")))
            want = QDir(layout.programFolder()).absoluteFilePath(expected.mid(6));
        else if (expected.startsWith(QStringLiteral("manual/")))
            want = layout.manual(expected.mid(7));
        QCOMPARE(choice.path, want);
        QCOMPARE(choice.found(), !want.isEmpty());
    }

    // The start-up folder comes with or without its trailing separator, and a
    // folder that happens to carry the help file's name is not a help file.
    void programFolderForms()
    {
        Layout layout;
        QVERIFY(TestFiles::write(layout.programFolder() + QStringLiteral("/HelpEng.chm"), "chm"));
        const QString file = QDir(layout.programFolder()).absoluteFilePath("HelpEng.chm");
        QCOMPARE(HelpFiles::locate(layout.programFolder(), {}).path, file);
        QCOMPARE(HelpFiles::locate(layout.programFolder() + u'/', {}).path, file);

        QVERIFY(QDir().mkpath(layout.root.filePath("other/HelpEng.chm")));
        QVERIFY(!HelpFiles::locate(layout.root.filePath("other"), {}).found());
    }

    // The help follows the language of the moment it is asked for, not the one
    // the program started with.
    void followsTheLanguageOfTheMoment()
    {
        Layout layout;
        for (const char *name : {"HelpEng.chm", "HelpRus.chm"})
            QVERIFY(TestFiles::write(layout.programFolder() + u'/' + QLatin1String(name), "chm"));
        const auto chosen = [&] {
            return QFileInfo(HelpFiles::locate(layout.programFolder(), {}).path).fileName();
        };
        QCOMPARE(chosen(), QString("HelpEng.chm"));
        Messages::useRussian();
        QCOMPARE(chosen(), QString("HelpRus.chm"));
        Messages::useEnglish();
        QCOMPARE(chosen(), QString("HelpEng.chm"));
    }

    void missingMessage()
    {
        QCOMPARE(HelpFiles::missingMessage(QStringLiteral("HelpEng.chm")),
                 QString("Regrettably, file of the reference HelpEng.chm is absent!"));
        Messages::useRussian();
        QCOMPARE(HelpFiles::missingMessage(QStringLiteral("HelpRus.chm")),
                 QString("К сожалению, файл справки HelpRus.chm отсутствует!"));
    }

    // The program in the build tree finds the manual the build copied beside
    // it, and that copy is the current one.
    void buildTreeFindsTheManual_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("page");
        QTest::newRow("English") << false << "en.html";
        QTest::newRow("Russian") << true << "ru.html";
    }
    void buildTreeFindsTheManual()
    {
        QFETCH(bool, russian);
        QFETCH(QString, page);
        russian ? Messages::useRussian() : Messages::useEnglish();
        QTemporaryDir emptyStart;
        const QString programFolder = QFileInfo(QStringLiteral(TOMEKEEPER_BINARY)).absolutePath();

        const HelpChoice choice = HelpFiles::locate(emptyStart.path(), programFolder);

        QVERIFY2(choice.found(), "no manual beside the program in the build tree");
        QCOMPARE(QFileInfo(choice.path).fileName(), page);
        QCOMPARE(TestFiles::read(choice.path), TestFiles::read(sourceManual(page)));
    }

    // Every entry of a manual's table of contents leads somewhere, and both
    // languages have the same chapters.
    void manualContentsResolve_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "en.html"
                                 << "en";
        QTest::newRow("Russian") << "ru.html"
                                 << "ru";
    }
    void manualContentsResolve()
    {
        QFETCH(QString, page);
        QFETCH(QString, language);
        const QString html = QString::fromUtf8(TestFiles::read(sourceManual(page)));
        QVERIFY(!html.isEmpty());
        QVERIFY(html.contains(QStringLiteral("<html lang=\"%1\">").arg(language)));

        QSet<QString> ids;
        const QRegularExpression idPattern(QStringLiteral("\\bid=\"([^\"]+)\""));
        for (const auto &match : idPattern.globalMatch(html))
            ids.insert(match.captured(1));
        const QRegularExpression linkPattern(QStringLiteral("href=\"#([^\"]+)\""));
        int links = 0;
        for (const auto &match : linkPattern.globalMatch(html)) {
            QVERIFY2(ids.contains(match.captured(1)), qPrintable(match.captured(1)));
            ++links;
        }
        QVERIFY(links >= 14);

        const QString english = QString::fromUtf8(TestFiles::read(sourceManual("en.html")));
        QSet<QString> englishIds;
        for (const auto &match : idPattern.globalMatch(english))
            englishIds.insert(match.captured(1));
        QCOMPARE(ids, englishIds);
    }
};

QTEST_GUILESS_MAIN(TestHelpFiles)
#include "tst_helpfiles.moc"
