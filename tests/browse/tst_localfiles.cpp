#include "browse/localfiles.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Finding the files a saved page asks for with other letter case, only ever
// inside the working folder.
class TestLocalFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString root() const { return m_dir.filePath("work"); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestFiles::write(root() + "/report.htm", "page"));
        QVERIFY(TestFiles::write(root() + "/report_files/pic.gif", "GIF89a"));
        QVERIFY(TestFiles::write(root() + QString::fromUtf16(u"/отчет_files/рис.png"), "png"));
        QVERIFY(TestFiles::write(m_dir.filePath("secret.txt"), "outside"));
        QVERIFY(TestFiles::write(m_dir.filePath("outside/pic.gif"), "outside"));
        QVERIFY(QFile::link(m_dir.filePath("outside"), root() + "/linked"));
    }

    void resolve_data()
    {
        QTest::addColumn<QString>("asked"); // below the root
        QTest::addColumn<QString>("found"); // below the root; empty: none
        QTest::newRow("other case") << "Report_Files/Pic.GIF"
                                    << "report_files/pic.gif";
        QTest::newRow("backslashes") << "REPORT_FILES\\PIC.gif"
                                     << "report_files/pic.gif";
        QTest::newRow("Cyrillic") << QString::fromUtf16(u"ОТЧЕТ_Files/Рис.PNG")
                                  << QString::fromUtf16(u"отчет_files/рис.png");
        QTest::newRow("exact name: left alone") << "report_files/pic.gif"
                                                << "";
        QTest::newRow("no such file") << "report_files/other.gif"
                                      << "";
        QTest::newRow("a folder is no file") << "REPORT_FILES"
                                             << "";
        QTest::newRow("up and out") << "Report_Files/../../Secret.TXT"
                                    << "";
        QTest::newRow("through a link") << "LINKED/pic.gif"
                                        << "";
    }
    void resolve()
    {
        QFETCH(QString, asked);
        QFETCH(QString, found);
        const QString result = LocalFiles::resolveWithoutCase(root(), root() + "/" + asked);
        QCOMPARE(result, found.isEmpty() ? QString() : root() + "/" + found);
    }

    void nothingOutsideTheRoot()
    {
        QCOMPARE(LocalFiles::resolveWithoutCase(root(), m_dir.filePath("SECRET.TXT")), QString());
        // A folder whose name only starts like the root's is outside it.
        QCOMPARE(LocalFiles::resolveWithoutCase(root(), root() + "2/x.htm"), QString());
        QCOMPARE(LocalFiles::resolveWithoutCase(QString(), root() + "/REPORT.HTM"), QString());
    }
};

QTEST_GUILESS_MAIN(TestLocalFiles)
#include "tst_localfiles.moc"
