#include "app/mainwindow.h"
#include "catalogue/session.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "testfiles.h"
#include "testzips.h"
#include "windowtesting.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

const char *kChildVariable = "TOMEKEEPER_CRASH_CHILD";

ProgramPaths pathsIn(const QString &folder)
{
    return ProgramPaths::under(folder, folder + "/home");
}

// The child: the main window opens the one archive of the catalogue on a
// double-click, the user adds a file to its working copy, and the program
// waits to be killed.
int runChild(const QString &folder)
{
    RecordingPageView view;
    MainWindow window(pathsIn(folder), &view);
    window.startUp();
    if (!QTest::qWaitForWindowExposed(&window))
        return 2;
    auto *tree = window.findChild<QTreeView *>(QStringLiteral("catalogueTree"));
    const QModelIndex node = tree->model()->index(0, 0, tree->model()->index(0, 0));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(node).center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(node).center());
    if (!window.session().archive().isOpen())
        return 3;
    const QString work = window.session().archive().workFolder();
    if (!TestFiles::write(work + "/added.htm", "<html>added after opening</html>"))
        return 4;
    // As every command that changes the working copy does: its record says so.
    window.session().archive().setChanged(true);
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

// The window of a program killed with an archive open, and the next start:
// the user writes the unsaved work into the archive or keeps it aside.
class TestCrashRecovery : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void workLeftByAKillComesBack_data()
    {
        QTest::addColumn<bool>("writeBack");
        QTest::addColumn<bool>("russian");
        QTest::newRow("Yes") << true << false;
        QTest::newRow("No, in Russian") << false << true;
    }
    void workLeftByAKillComesBack()
    {
        QFETCH(bool, writeBack);
        QFETCH(bool, russian);
        const QString folder = path(QTest::currentDataTag()).replace(' ', '_');
        QVERIFY(TestFiles::write(folder + "/pages/news.htm", "<html>news</html>"));
        QVERIFY(
            TestFiles::write(folder + "/pages/listfile.txt",
                             "[This is list files by Tomekeeper]\r\nNews=news.htm\r\n[end]\r\n"));
        const QString zip = folder + "/novels.zip";
        QCOMPARE(TestFiles::run("zip", {"-q", zip, "news.htm", "listfile.txt"}, nullptr,
                                folder + "/pages"),
                 0);
        const QByteArray zipBefore = TestFiles::read(zip);
        QVERIFY(TestFiles::write(
            folder + "/tomekeeper.ini",
            QByteArray("[Parameters]\r\nexistingfiles=0\r\nlanguage=") + (russian ? "1" : "0") +
                "\r\n[Archive files 1]\r\nSection=Books\r\nNovels=" + zip.toUtf8() + "\r\n"));

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildVariable, folder);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(folder);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("ready") ||
                                     child.state() == QProcess::NotRunning,
                                 60000);
        QCOMPARE(child.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        // The next start asks, in the catalogue's language, naming the archive,
        // its zip and the folder the work would be kept in.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder));
        ScriptedInteraction ui;
        ui.expectYesNo({}, writeBack);
        RecordingPageView view;
        {
            MainWindow window(pathsIn(folder), &view, &ui);
            window.startUp();
            QVERIFY(ui.verify());
            const QString question = ui.log().value(0);
            QVERIFY2(question.contains(russian ? QString::fromUtf16(u"Записать") : "Write"),
                     qPrintable(question));
            QVERIFY(question.contains("Books\\Novels"));
            QVERIFY(question.contains(zip));
            QVERIFY(!window.session().archive().isOpen());
            QCOMPARE(window.session().openNode(), -1);
        }
        QDir::setCurrent(previous);

        const QStringList recovered =
            QDir(pathsIn(folder).work.base()).entryList({"recovered-*"}, QDir::Dirs);
        QVERIFY(!QFileInfo::exists(pathsIn(folder).work.archive));
        if (writeBack) {
            QCOMPARE(TestZips::names(zip), QStringList({"added.htm", "listfile.txt", "news.htm"}));
            QVERIFY(recovered.isEmpty());
        } else {
            QCOMPARE(TestFiles::read(zip), zipBefore);
            QCOMPARE(recovered.size(), 1);
            const QString kept = pathsIn(folder).work.base() + "/" + recovered.first();
            QVERIFY(ui.log().value(0).contains(kept));
            QCOMPARE(TestFiles::read(kept + "/added.htm"),
                     QByteArray("<html>added after opening</html>"));
            QCOMPARE(TestFiles::read(kept + "/news.htm"), QByteArray("<html>news</html>"));
        }
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString childFolder = qEnvironmentVariable(kChildVariable);
    if (!childFolder.isEmpty())
        return runChild(childFolder);
    const QTemporaryDir home;
    isolateHome(home.path());
    TestCrashRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashrecovery.moc"
