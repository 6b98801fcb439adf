// Pages saved by the browser engine the program shows pages with, as a
// complete page (HTML with its _files folder) and as a web archive (MHTML):
// the index takes the text a reader sees in them.

#include "browse/web/webpageview.h"
#include "search/pageextractor.h"
#include "searchtestkit.h"

#include <QDeadlineTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

using namespace SearchTestKit;

// The browser must know before the application exists that it runs without its sandbox.
static void prepareBrowser()
{
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

class TestSavedByBrowser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void visibleTextOfSavedPages_data();
    void visibleTextOfSavedPages();
    void savedPagesAreFound();

private:
    // Saves the page shown in m_view to path in format; false when the browser did not.
    bool save(const QString &path, QWebEngineDownloadRequest::SavePageFormat format);

    QTemporaryDir m_dir;
    std::unique_ptr<WebPageView> m_view;
};

void TestSavedByBrowser::initTestCase()
{
    const QString original = m_dir.filePath(QStringLiteral("original/page.html"));
    QVERIFY(TestFiles::write(
        original,
        QStringLiteral(
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Сохранённая страница</title>"
            "<style>.note { color: #333 }</style>"
            "<script>document.addEventListener('DOMContentLoaded', function () {"
            " document.getElementById('late').textContent = 'дописаноскриптом'; });</script>"
            "</head><body><h1>Отчёт правления</h1>"
            "<p class=\"note\">Правление банка сообщило о новых условиях "
            "&laquo;кредитования&raquo;.</p>"
            "<p id=\"late\"></p><div style=\"display:none\">невидимыйтекст</div>"
            "<img src=\"picture.png\" alt=\"\"></body></html>")
            .toUtf8()));
    QVERIFY(TestFiles::write(
        m_dir.filePath(QStringLiteral("original/picture.png")),
        QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJ"
                               "AAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==")));
    m_view = std::make_unique<WebPageView>();
    m_view->setFileRoot(m_dir.filePath(QStringLiteral("original")));
    m_view->show();
    QSignalSpy loaded(m_view->browser(), &QWebEngineView::loadFinished);
    m_view->navigate(original);
    QVERIFY(loaded.wait(30000));
    QVERIFY(loaded.first().at(0).toBool());
    QTRY_COMPARE_WITH_TIMEOUT(m_view->browser()->title(), QStringLiteral("Сохранённая страница"),
                              10000);

    QVERIFY(save(m_dir.filePath(QStringLiteral("saved/page.htm")),
                 QWebEngineDownloadRequest::CompleteHtmlSaveFormat));
    QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("saved/page_files/picture.png"))).isFile());
    QVERIFY(save(m_dir.filePath(QStringLiteral("saved/page.mht")),
                 QWebEngineDownloadRequest::MimeHtmlSaveFormat));
}

bool TestSavedByBrowser::save(const QString &path, QWebEngineDownloadRequest::SavePageFormat format)
{
    QDir().mkpath(QFileInfo(path).path());
    QWebEngineDownloadRequest *download = nullptr;
    QWebEnginePage *page = m_view->browser()->page();
    const auto connection =
        connect(page->profile(), &QWebEngineProfile::downloadRequested, this,
                [&](QWebEngineDownloadRequest *request) { download = request; });
    page->save(path, format);
    QDeadlineTimer deadline(30000);
    while (!(download && download->isFinished()) && !deadline.hasExpired())
        QTest::qWait(50);
    disconnect(connection);
    return download && download->state() == QWebEngineDownloadRequest::DownloadCompleted &&
           QFileInfo(path).size() > 0;
}

void TestSavedByBrowser::visibleTextOfSavedPages_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("complete page") << QStringLiteral("saved/page.htm");
    QTest::newRow("web archive") << QStringLiteral("saved/page.mht");
}

void TestSavedByBrowser::visibleTextOfSavedPages()
{
    QFETCH(QString, file);
    const QByteArray bytes = TestFiles::read(m_dir.filePath(file));
    const PageExtractor::PageText page = PageExtractor::extract(bytes, file);
    const QString text = QString::fromUtf8(page.text);
    QCOMPARE(QString::fromUtf8(page.title), QStringLiteral("Сохранённая страница"));
    QVERIFY2(text.contains(QStringLiteral("Отчёт правления Правление банка сообщило о новых "
                                          "условиях «кредитования».")),
             qPrintable(text));
    // What the page's script wrote is on the page the user saw.
    QVERIFY2(text.contains(QStringLiteral("дописаноскриптом")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("невидимыйтекст")));
    QVERIFY(!text.contains(QStringLiteral("addEventListener")));
    QVERIFY(!text.contains(QStringLiteral("color")));
}

void TestSavedByBrowser::savedPagesAreFound()
{
    // Both saved pages in one archive, written as the program writes archives.
    const QString zip = m_dir.filePath(QStringLiteral("saved.zip"));
    {
        QVERIFY(TestFiles::write(
            m_dir.filePath(QStringLiteral("saved/listfile.txt")),
            ListFile::compose({QStringLiteral("Как страница"), QStringLiteral("Как архив")},
                              {QStringLiteral("page.htm"), QStringLiteral("page.mht")})));
        ZipWriter writer;
        QVERIFY(writer.write(m_dir.filePath(QStringLiteral("saved")),
                             {QStringLiteral("page.htm"), QStringLiteral("page.mht"),
                              QStringLiteral("page_files/picture.png"),
                              QStringLiteral("listfile.txt")},
                             zip, nullptr));
    }
    SearchIndex index(m_dir.filePath(QStringLiteral("index")));
    QVERIFY(indexAndWait(index, {{zip, QStringLiteral("Сохранённые"), QString()}}));
    QStringList pages = found(index, QStringLiteral("правлением кредитования"));
    pages.sort();
    QCOMPARE(pages, (QStringList{QStringLiteral("Сохранённые/page.htm"),
                                 QStringLiteral("Сохранённые/page.mht")}));
    QCOMPARE(found(index, QStringLiteral("невидимыйтекст")), QStringList());
}

QTEST_MAIN(TestSavedByBrowser)
#include "tst_savedbybrowser.moc"
