#include "commandfixture.h"
#include "commands/runcommand.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QDir>
#include <QTest>

// Print, preview, find, help and the about box, given as the window gives them.
class TestBrowserCommands : public QObject, CommandFixture {
    Q_OBJECT

    // The folder current at start-up, and an installed-looking program:
    // <dir>/bin for the executable, <dir>/share/tomekeeper/manual beside it.
    QString programFolder() const { return m_dir->filePath("start/"); }
    QString manual(const QString &page) const
    {
        return m_dir->filePath("share/tomekeeper/manual/" + page);
    }

private Q_SLOTS:
    void init()
    {
        makeFolder();
        QVERIFY(QDir().mkpath(programFolder()));
        QVERIFY(QDir().mkpath(path("bin")));
        makeSession(WorkFolders::under(path("data")), path("bin"));
        m_session->setProgramFiles(programFolder(), path("tomekeeper.ini"));
    }
    void cleanup() { tearDown(); }

    // The page commands act on the shown page only. The Print menu's items
    // stay available without one, and then do nothing and show nothing; so
    // does find, whose tool button follows the page controls.
    void pageCommandsNeedAShownPage_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("pageControls");
        QTest::addColumn<QString>("call"); // empty: the view is not asked
        const QString page = QStringLiteral("/work/TEMP_ARCH/page.htm");
        const auto rows = {std::pair{Command::Print, "print"},
                           std::pair{Command::PrintPreview, "preview"},
                           std::pair{Command::Find, "find"}};
        for (const auto &[command, call] : rows) {
            const int c = static_cast<int>(command);
            QTest::addRow("%s, page shown", call) << c << page << true << call;
            QTest::addRow("%s, blank view", call) << c << "about:blank" << true << "";
            QTest::addRow("%s, nothing shown", call) << c << "" << true << "";
        }
        QTest::newRow("print, no archive") << int(Command::Print) << "about:blank" << false << "";
        QTest::newRow("preview, no archive")
            << int(Command::PrintPreview) << "about:blank" << false << "";
    }
    void pageCommandsNeedAShownPage()
    {
        QFETCH(int, command);
        QFETCH(QString, shown);
        QFETCH(bool, pageControls);
        QFETCH(QString, call);
        m_session->setPageControlsEnabled(pageControls);
        m_view->navigate(shown);
        m_view->calls.clear();

        QVERIFY(runCommand(Command(command), *m_ctx));

        QCOMPARE(m_view->calls, call.isEmpty() ? QStringList() : QStringList{call});
        QVERIFY(m_ui->verify());
    }

    // Help opens, with the desktop, the help of the language active at that
    // moment: a help file in the start-up folder first, then the manual of the
    // installed program; with neither, the message names the absent file.
    void help_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QStringList>("present"); // "start/..." or "manual/..."
        QTest::addColumn<QString>("opened");      // empty: the message instead
        QTest::addColumn<QString>("message");

        const QStringList everything{"start/HelpEng.chm", "start/HelpRus.chm", "manual/en.html",
                                     "manual/ru.html"};
        QTest::newRow("nothing, English")
            << false << QStringList() << ""
            << "Regrettably, file of the reference HelpEng.chm is absent!";
        QTest::newRow("nothing, Russian") << true << QStringList() << ""
                                          << "К сожалению, файл справки HelpRus.chm отсутствует!";
        QTest::newRow("only the other language's files, English")
            << false << QStringList{"start/HelpRus.chm", "manual/ru.html"} << ""
            << "Regrettably, file of the reference HelpEng.chm is absent!";
        QTest::newRow("only the other language's files, Russian")
            << true << QStringList{"start/HelpEng.chm", "manual/en.html"} << ""
            << "К сожалению, файл справки HelpRus.chm отсутствует!";
        QTest::newRow("help file, English") << false << everything << "start/HelpEng.chm"
                                            << "";
        QTest::newRow("help file, Russian") << true << everything << "start/HelpRus.chm"
                                            << "";
        QTest::newRow("manual, English")
            << false << QStringList{"manual/en.html", "manual/ru.html"} << "manual/en.html"
            << "";
        QTest::newRow("manual, Russian")
            << true << QStringList{"manual/en.html", "manual/ru.html"} << "manual/ru.html"
            << "";
    }
    void help()
    {
        QFETCH(bool, russian);
        QFETCH(QStringList, present);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        const auto place = [this](const QString &name) {
            return name.startsWith("start/") ? programFolder() + name.mid(6) : manual(name.mid(7));
        };
        for (const QString &name : present)
            QVERIFY(TestFiles::write(place(name), "help"));
        QVERIFY(runCommand(russian ? Command::Russian : Command::English, *m_ctx));

        if (opened.isEmpty())
            m_ui->expectMessage(message);
        else
            m_ui->expectOpenWithDesktop(QDir::cleanPath(place(opened)));
        QVERIFY(runCommand(Command::Help, *m_ctx));

        QVERIFY(m_ui->verify());
        QVERIFY(m_view->calls.isEmpty());
    }

    // A desktop that cannot be asked to open the help file is not silence:
    // the message names the file.
    void helpTheDesktopCannotOpen()
    {
        const QString file = manual("en.html");
        QVERIFY(TestFiles::write(file, "help"));
        m_ui->expectOpenWithDesktop(QDir::cleanPath(file), false);
        m_ui->expectMessage(msg(MessageId::HelpNotOpened).arg(QDir::cleanPath(file)));
        QVERIFY(runCommand(Command::Help, *m_ctx));
        QVERIFY(m_ui->verify());
    }

    // The language switched after start-up decides, each time help is asked
    // for; a desktop that could not open the file does not make help try the
    // next one.
    void helpFollowsTheLanguageSwitch()
    {
        QVERIFY(TestFiles::write(manual("ru.html"), "help"));
        QVERIFY(TestFiles::write(manual("en.html"), "help"));
        m_ui->expectOpenWithDesktop(manual("en.html"));
        QVERIFY(runCommand(Command::Help, *m_ctx));
        QVERIFY(runCommand(Command::Russian, *m_ctx));
        m_ui->expectOpenWithDesktop(manual("ru.html"));
        QVERIFY(runCommand(Command::Help, *m_ctx));
        QVERIFY(runCommand(Command::English, *m_ctx));
        QVERIFY(QFile::remove(manual("en.html")));
        m_ui->expectMessage("Regrettably, file of the reference HelpEng.chm is absent!");
        QVERIFY(runCommand(Command::Help, *m_ctx));
        QVERIFY(m_ui->verify());
    }

    // The about box, each time it is asked for, in either language, with an
    // archive open or not.
    void aboutShowsTheBox()
    {
        m_ui->expectAbout().expectAbout();
        QVERIFY(runCommand(Command::About, *m_ctx));
        QVERIFY(runCommand(Command::Russian, *m_ctx));
        QVERIFY(runCommand(Command::About, *m_ctx));
        QVERIFY(m_ui->verify());
        QVERIFY(m_view->calls.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBrowserCommands)
#include "tst_browsercommands.moc"
