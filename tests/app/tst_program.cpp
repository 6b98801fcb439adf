#include "storage/instancelock.h"
#include "testfiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

// The real executable in an empty folder: how it ends on a signal, and how
// it shares the working folders with another copy.
class TestProgram : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString home(const QString &name) const { return m_dir->path() + "/home/" + name; }
    QString lockDir() const { return home("data/tomekeeper"); }
    QString configIni() const { return home("config/tomekeeper/tomekeeper.ini"); }

    void start(QProcess &p)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", home("config"));
        env.insert("XDG_DATA_HOME", home("data"));
        env.insert("XDG_CACHE_HOME", home("cache"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_dir->path());
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(TOMEKEEPER_BINARY, {});
        QVERIFY(p.waitForStarted());
        // Up once it holds the lock on the working folders; then nobody else gets it.
        const QByteArray pid = QByteArray::number(p.processId());
        QTRY_VERIFY_WITH_TIMEOUT(
            TestFiles::read(lockDir() + "/tomekeeper.lock").split('\n').value(0) == pid, 20000);
        QVERIFY(!acquireInstanceLock(nullptr, lockDir()));
    }

    void endsCleanly(QProcess &p)
    {
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        // The lock went with it.
        QVERIFY(acquireInstanceLock(nullptr, lockDir()));
        releaseInstanceLock();
    }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup() { m_dir.reset(); }

    void terminatedLikeClosed()
    {
        QProcess p;
        start(p);
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        endsCleanly(p);
        // Started where there was no settings file: the configuration folder's.
        QVERIFY(!QFileInfo::exists(m_dir->path() + "/tomekeeper.ini"));
        const QByteArray ini = TestFiles::read(configIni());
        QVERIFY2(ini.startsWith("[Parameters]\r\nDirArchive=\r\ndeloldfiles=0\r\nmemorysize=1\r\n"
                                "offline=1\r\nexistingfiles=1\r\nlanguage=0\r\nwidth=732\r\n"
                                "height=520\r\n"),
                 ini.constData());
    }

    // The start-up box about missing archives waits for an answer; a
    // termination answers it and the program ends the normal way, the
    // missing archive still in the catalogue.
    void terminatedDuringTheStartUpBox()
    {
        const QString ini = m_dir->path() + "/tomekeeper.ini";
        TestFiles::write(ini, "[Archive files 1]\r\nSection=Books\r\nGone=/nowhere/gone.zip\r\n");
        QProcess p;
        start(p);
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        endsCleanly(p);
        const QByteArray written = TestFiles::read(ini);
        QVERIFY2(written.startsWith("[Parameters]\r\n"), written.constData());
        QVERIFY(
            written.endsWith("[Archive files 1]\r\nSection=Books\r\nGone=/nowhere/gone.zip\r\n"));
    }

    // The check of all archives needs no display and starts no window: with
    // no display to reach, a window would end the program with SIGABRT.
    void checksWithoutADisplay()
    {
        const QString ini = m_dir->path() + "/travel.ini";
        TestFiles::write(ini, "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\n"
                              "Section=Travel\r\nMaps=/nowhere/maps.zip\r\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("XDG_DATA_HOME", home("data"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(TOMEKEEPER_BINARY, {"--check", "--catalogue", ini});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(p.readAllStandardOutput(),
                 QByteArray("Travel\tMaps\t/nowhere/maps.zip\tzip-missing\t\n"
                            "# 1 archive checked, 0 pages listed: 1 problem found\n"));
        QCOMPARE(p.readAllStandardError(), QByteArray());
    }

    void aKilledCopyDoesNotLockOthersOut()
    {
        QProcess p;
        start(p);
        p.kill();
        QVERIFY(p.waitForFinished(20000));
        // The engine's helper processes of the killed copy may take a moment to go.
        QTRY_VERIFY_WITH_TIMEOUT(acquireInstanceLock(nullptr, lockDir()), 10000);
        releaseInstanceLock();
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
