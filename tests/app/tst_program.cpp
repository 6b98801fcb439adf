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

    QTemporaryDir m_dir;

    void start(QProcess &p)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CACHE_HOME", m_dir.path() + "/cache");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_dir.path());
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(TOMEKEEPER_BINARY, {});
        QVERIFY(p.waitForStarted());
        // Up once it holds the lock on the working folders; then nobody else gets it.
        const QByteArray pid = QByteArray::number(p.processId());
        QTRY_VERIFY_WITH_TIMEOUT(
            TestFiles::read(lockDir() + "/tomekeeper.lock").split('\n').value(0) == pid, 20000);
        QVERIFY(!acquireInstanceLock(nullptr, lockDir()));
    }
    QString lockDir() const { return m_dir.path() + "/cache/tomekeeper"; }

private Q_SLOTS:
    void terminatedLikeClosed()
    {
        QProcess p;
        start(p);
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QByteArray ini = TestFiles::read(m_dir.path() + "/tomekeeper.ini");
        QVERIFY2(ini.startsWith("[Parameters]\r\nDirArchive=\r\ndeloldfiles=0\r\nmemorysize=1\r\n"
                                "offline=1\r\nexistingfiles=1\r\nlanguage=0\r\nwidth=732\r\n"
                                "height=520\r\n"),
                 ini.constData());
        // The lock went with it.
        QVERIFY(acquireInstanceLock(nullptr, lockDir()));
        releaseInstanceLock();
    }

    void aKilledCopyDoesNotLockOthersOut()
    {
        QProcess p;
        start(p);
        p.kill();
        QVERIFY(p.waitForFinished(20000));
        QVERIFY(acquireInstanceLock(nullptr, lockDir()));
        releaseInstanceLock();
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
