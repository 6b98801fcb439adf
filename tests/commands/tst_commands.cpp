#include "commandfixture.h"
#include "commands/availability.h"
#include "commands/failuretext.h"
#include "commands/runcommand.h"
#include "lang/messages.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {

// Keeps the progress the work reported, as the window's progress dialog sees it.
class ProgressProbe : public ScriptedInteraction {
public:
    int maximum = -1;
    int value = -1;

protected:
    void waitForWork(QFuture<void> work, const QString &label) override
    {
        ScriptedInteraction::waitForWork(work, label);
        maximum = work.progressMaximum();
        value = work.progressValue();
    }
};

} // namespace

// Every command through the one entry the window uses, with a scripted user.
class TestCommands : public QObject, CommandFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUp({}); }
    void cleanup() { tearDown(); }

    // With everything enabled, each command runs; with no node selected, no
    // archive open and no page shown, each asks at most what it must and
    // changes nothing; help says it has no file.
    void everyCommandRuns_data()
    {
        QTest::addColumn<int>("command");
        for (int c = 0; c < CommandCount; ++c)
            QTest::addRow("command %d", c) << c;
    }
    void everyCommandRuns()
    {
        QFETCH(int, command);
        const Command c = Command(command);
        Session &s = *m_session;
        s.catalogue().appendSection("Books");
        s.setPageControlsEnabled(true);
        s.setNavigation({true, true, true, true, true});
        s.setStatusText("status");
        QSignalSpy language(&s, &Session::languageChanged);
        switch (c) {
        case Command::Settings:
            m_ui->expectSettings([](SettingsDialogValues &) { return false; });
            break;
        case Command::CreateSection:
            m_ui->expectName({}, {}, {}, {}); // cancelled
            break;
        case Command::RenameNode:
            m_ui->expectMessage(msg(MessageId::RenameNeedsNode));
            break;
        case Command::MoveArchiveToSection:
            m_ui->expectRefusal(msg(MessageId::MoveArchiveNeedsArchive));
            break;
        case Command::RemoveArchive:
            m_ui->expectRefusal(msg(MessageId::RemoveNeedsArchive));
            break;
        case Command::ShowArchivePath:
            m_ui->expectRefusal(msg(MessageId::ArchivePathNeedsArchive));
            break;
        case Command::AttachArchive:
            m_ui->expectMessage(msg(MessageId::AttachNeedsSection));
            break;
        case Command::SaveArchiveAs:
            m_ui->expectRefusal(msg(MessageId::SaveAsNeedsArchive));
            break;
        case Command::UpdateArchive:
        case Command::NewPageList:
            m_ui->expectRefusal(msg(MessageId::ArchiveNeedsWorkingCopy));
            break;
        case Command::Help:
            m_ui->expectMessage("Regrettably, file of the reference HelpEng.chm is absent!");
            break;
        case Command::About:
            m_ui->expectAbout();
            break;
        case Command::MovePageToArchive:
            m_ui->expectRefusal(msg(MessageId::MoveNoPagesSelected));
            break;
        case Command::SavePageToFolder:
            m_ui->expectRefusal(msg(MessageId::AddPagesNeedsArchive));
            break;
        case Command::CreateArchive:
        case Command::AddPages:
        case Command::SearchFolder:
        case Command::AddFile:
        case Command::AddFolder:
            m_ui->expectRefusal(); // no archive open, no node selected
            break;
        default:
            break;
        }

        QVERIFY(runCommand(c, *m_ctx));

        QVERIFY(m_ui->verify());
        QVERIFY(m_view->calls.isEmpty());
        QCOMPARE(s.catalogue().nodeNames(), QStringList{"Books"});
        QCOMPARE(s.statusText(), QString("status"));
        QVERIFY(!s.archive().isOpen());
        QCOMPARE(language.size(), c == Command::English || c == Command::Russian ? 1 : 0);
        QCOMPARE(Messages::russianActive(), c == Command::Russian);
        QCOMPARE(s.settings().russianInterface, c == Command::Russian);
    }

    void unavailableCommandsDoNotRun()
    {
        QVERIFY(!isAvailable(Command::AddPages, *m_session));
        QVERIFY(!runCommand(Command::AddPages, *m_ctx));
        QVERIFY(!runCommand(Command::NextPage, *m_ctx));
        QVERIFY(m_ui->log().isEmpty());
    }

    // Long work runs on a worker thread; what it says of its progress reaches
    // the side that waits for it, and what it returns the caller.
    void longWorkRunsOffTheCallingThread()
    {
        ProgressProbe ui;
        const QThread *worker = ui.run(MessageId::ProgressWritingBack, [](WorkProgress &progress) {
            progress.setTotal(3);
            progress.advance();
            progress.advance(2);
            return QThread::currentThread();
        });
        QVERIFY(worker);
        QVERIFY(worker != QThread::currentThread());
        QCOMPARE(ui.log(), QStringList{"work: Saving the archive..."});
        QCOMPARE(ui.maximum, 3);
        QCOMPARE(ui.value, 3);
    }

    // What storage reports, in the user's words and in the box its kind calls for.
    void failuresInTheUsersWords_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        using K = StorageFailure::Kind;
        QTest::newRow("damaged") << int(K::ArchiveDamaged)
                                 << "message:The Archive spoiled! Impossible unzipping!";
        QTest::newRow("not saved")
            << int(K::NotSaved)
            << "message:At conservation of the archive turned out to be\r\nimpossible save 2 "
               "files:\r\n\r\nnews.htm\r\nnews_files/a.gif\r\n";
        QTest::newRow("nothing to save")
            << int(K::NothingToSave)
            << "message:At conservation of the archive turned out to be\r\n/x/a.zip";
        QTest::newRow("not deleted") << int(K::NotDeleted)
                                     << "message:Impossible delete file:/x/a.zip";
        QTest::newRow("not created") << int(K::NotCreated) << "error:Cannot create file /x/a.zip";
        QTest::newRow("not read") << int(K::NotRead) << "error:Cannot open file /x/a.zip";
        QTest::newRow("zip changed") << int(K::ZipChanged)
                                     << "message:" + msg(MessageId::ZipChangedSinceOpened) +
                                            "\r\n/x/a.zip";
        QTest::newRow("too many files") << int(K::TooManyFiles)
                                        << "message:" + msg(MessageId::AddRefusedTooManyFiles) +
                                               "\r\n/x/a.zip";
    }
    void failuresInTheUsersWords()
    {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        const StorageFailure failure{StorageFailure::Kind(kind), "/x/a.zip", 0,
                                     {"news.htm", "news_files/a.gif"}};
        const QString box = shown.section(u':', 0, 0);
        if (box == "error")
            m_ui->expectError(shown.mid(box.size() + 1));
        else
            m_ui->expectMessage(shown.mid(box.size() + 1));
        showFailure(*m_ui, failure);
        QVERIFY(m_ui->verify());
        Messages::useRussian();
        QCOMPARE(failureText({StorageFailure::Kind::ArchiveDamaged}).text(),
                 QString("Архив испорчен! Невозможно распаковать!"));
        Messages::useEnglish();
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
