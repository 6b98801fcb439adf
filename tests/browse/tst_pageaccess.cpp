#include "browse/pageaccess.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// What a saved page may load: files of its folders only, the network only
// on-line, and nothing of unknown kinds.
class TestPageAccess : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString work() const { return m_dir.filePath("work"); }
    QString manual() const { return m_dir.filePath("manual"); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestFiles::write(work() + "/page.htm", "page"));
        QVERIFY(TestFiles::write(work() + "/page_files/pic.gif", "GIF89a"));
        QVERIFY(TestFiles::write(manual() + "/en.html", "manual"));
        QVERIFY(TestFiles::write(m_dir.filePath("secret.txt"), "outside"));
        QVERIFY(TestFiles::write(m_dir.filePath("work2/page.htm"), "outside"));
        QVERIFY(QFile::link(m_dir.filePath("secret.txt"), work() + "/secret.txt"));
        QVERIFY(QFile::link(m_dir.path(), work() + "/up"));
    }

    // Path rows are below the temporary folder; "-" for no redirect.
    void requests_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("redirect");
        const int allow = PageAccess::Verdict::Allow;
        const int refuse = PageAccess::Verdict::Refuse;
        const int redirect = PageAccess::Verdict::Redirect;
        auto file = [this](const QString &path) {
            return QUrl::fromLocalFile(m_dir.filePath(path)).toString();
        };
        QTest::newRow("own page") << file("work/page.htm") << true << allow << "-";
        QTest::newRow("companion file") << file("work/page_files/pic.gif") << false << allow << "-";
        QTest::newRow("other letter case")
            << file("work/Page_Files/PIC.GIF") << true << redirect << "work/page_files/pic.gif";
        QTest::newRow("the manual") << file("manual/en.html") << true << allow << "-";
        QTest::newRow("file outside") << file("secret.txt") << false << refuse << "-";
        QTest::newRow("system file") << "file:///etc/passwd" << false << refuse << "-";
        QTest::newRow("up and out") << file("work/../secret.txt") << false << refuse << "-";
        QTest::newRow("encoded up and out")
            << file("work/page_files") + "/%2E%2E/%2E%2E/secret.txt" << false << refuse << "-";
        QTest::newRow("link to a file outside")
            << file("work/secret.txt") << false << refuse << "-";
        QTest::newRow("through a link outside")
            << file("work/up/secret.txt") << false << refuse << "-";
        QTest::newRow("folder whose name starts alike")
            << file("work2/page.htm") << false << refuse << "-";
        QTest::newRow("listing of the folder") << file("work") << false << refuse << "-";
        QTest::newRow("listing of the root") << "file:///" << false << refuse << "-";
        QTest::newRow("missing file") << file("work/none.htm") << false << refuse << "-";
        QTest::newRow("file of another machine")
            << "file://server/share/page.htm" << false << refuse << "-";
        QTest::newRow("data") << "data:text/plain,x" << true << allow << "-";
        QTest::newRow("blob") << "blob:null/1234" << true << allow << "-";
        QTest::newRow("about") << "about:blank" << true << allow << "-";
        QTest::newRow("own resource") << "qrc:/icon/16.png" << true << allow << "-";
        QTest::newRow("web, on-line") << "http://127.0.0.1:8080/a.png" << false << allow << "-";
        QTest::newRow("web, off-line") << "https://example.com/" << true << refuse << "-";
        QTest::newRow("web socket, off-line") << "ws://example.com/feed" << true << refuse << "-";
        QTest::newRow("web socket, on-line") << "wss://example.com/feed" << false << allow << "-";
        QTest::newRow("ftp") << "ftp://example.com/f" << false << refuse << "-";
        QTest::newRow("browser's own") << "chrome://version" << false << refuse << "-";
        QTest::newRow("unknown scheme") << "made-up:secret" << false << refuse << "-";
    }
    void requests()
    {
        QFETCH(QString, url);
        QFETCH(bool, offline);
        QFETCH(int, verdict);
        QFETCH(QString, redirect);
        const PageAccess::Verdict result =
            PageAccess::forRequest(QUrl(url), offline, {work(), QString(), manual()});
        QCOMPARE(int(result.kind), verdict);
        QCOMPARE(result.path, redirect == "-" ? QString() : m_dir.filePath(redirect));
        // Without folders no file at all.
        if (url.startsWith("file:"))
            QCOMPARE(int(PageAccess::forRequest(QUrl(url), offline, {}).kind),
                     int(PageAccess::Verdict::Refuse));
    }

    void addressesForOtherPrograms_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("forAnother");
        QTest::addColumn<bool>("inView");
        QTest::newRow("mail") << "mailto:someone@example.com?body=text" << true << false;
        QTest::newRow("upper-case mail") << "MAILTO:someone@example.com" << true << false;
        QTest::newRow("telephone") << "tel:+123" << true << false;
        QTest::newRow("made up") << "made-up:/home/user/secret" << false << false;
        QTest::newRow("a program's own") << "steam://run/1" << false << false;
        QTest::newRow("file") << "file:///tmp/x.htm" << false << true;
        QTest::newRow("web") << "https://example.com/" << false << true;
    }
    void addressesForOtherPrograms()
    {
        QFETCH(QString, url);
        QFETCH(bool, forAnother);
        QFETCH(bool, inView);
        QCOMPARE(PageAccess::isForAnotherProgram(QUrl(url)), forAnother);
        QCOMPARE(PageAccess::isShownInView(QUrl(url)), inView);
    }
};

QTEST_GUILESS_MAIN(TestPageAccess)
#include "tst_pageaccess.moc"
