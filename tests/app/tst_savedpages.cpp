#include "browse/web/webpageview.h"
#include "catalogue/session.h"
#include "commands/runcommand.h"
#include "lang/cp1251.h"
#include "lang/messages.h"
#include "scriptedinteraction.h"
#include "testfiles.h"
#include "zip/ziptestkit.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <memory>

using namespace ZipTestKit;

static void prepareBrowser()
{
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

namespace {

// A 24 x 16 picture in one colour, as PNG bytes.
QByteArray picture()
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Cyrillic letters in code page 866, as zip programs on Windows stored names.
QByteArray cp866(const QString &text)
{
    QByteArray bytes;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= u'А' && u <= u'Я')
            bytes += char(0x80 + (u - u'А'));
        else if (u >= u'а' && u <= u'п')
            bytes += char(0xA0 + (u - u'а'));
        else if (u >= u'р' && u <= u'я')
            bytes += char(0xE0 + (u - u'р'));
        else
            bytes += char(u);
    }
    return bytes;
}

const char *kPage = "<html><head><link rel=\"stylesheet\" href=\"%1\"></head>"
                    "<body><img src=\"%2\"><p>text</p></body></html>";
const char *kStyle = "body { background-color: rgb(0, 128, 0); }";

} // namespace

// Saved pages opened from archives in the real page view: their pictures and
// styles load, whatever made the page and the zip.
class TestSavedPages : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<WebPageView> m_view;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<CommandContext> m_ctx;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // Opens the zip as the one archive of a catalogue and waits for its first page.
    bool openArchive(const QString &zip)
    {
        m_session->catalogue().appendSection("Books");
        const int node = m_session->catalogue().appendArchive("Saved", zip);
        m_session->catalogueSelection().setCurrentIndex(m_session->catalogue().modelIndex(node),
                                                        QItemSelectionModel::ClearAndSelect);
        QSignalSpy finished(m_view->browser(), &QWebEngineView::loadFinished);
        if (!runCommand(Command::OpenSelectedArchive, *m_ctx) || !m_session->archive().isOpen())
            return false;
        return finished.wait(30000) && finished.last().value(0).toBool();
    }
    // Runs a script in the page on screen and returns what it gave.
    QVariant evaluate(const QString &script)
    {
        QVariant result;
        bool done = false;
        m_view->browser()->page()->runJavaScript(script, [&](const QVariant &value) {
            result = value;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000))
            return {};
        return result;
    }
    // The markup of the page on screen, as the browser holds it.
    QString shownHtml()
    {
        QString html;
        bool done = false;
        m_view->browser()->page()->toHtml([&](const QString &text) {
            html = text;
            done = true;
        });
        return QTest::qWaitFor([&] { return done; }, 10000) ? html : QString();
    }
    // The page's picture loaded in its size, and its style sheet applied.
    void verifyPictureAndStyle()
    {
        QTRY_COMPARE_WITH_TIMEOUT(evaluate("document.images.length && document.images[0].complete "
                                           "? document.images[0].naturalWidth : -1")
                                      .toInt(),
                                  24, 10000);
        QCOMPARE(evaluate("getComputedStyle(document.body).backgroundColor").toString(),
                 QString("rgb(0, 128, 0)"));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_ui = std::make_unique<ScriptedInteraction>();
        m_view = std::make_unique<WebPageView>();
        m_view->resize(400, 300);
        m_view->show();
        m_session = std::make_unique<Session>(WorkFolders::under(path("data")));
        m_view->setFileRoot(m_session->archive().workFolder());
        m_ctx = std::make_unique<CommandContext>(
            CommandContext{*m_session, m_session->archive(), *m_ui, *m_view});
        Messages::useEnglish();
    }
    void cleanup()
    {
        QVERIFY(m_ui->verify());
        m_ctx.reset();
        m_session.reset();
        m_view.reset();
        m_ui.reset();
        m_dir.reset();
    }

    // As zip programs on Windows made them: names in code page 866 with "\"
    // between folders, a list file in Windows-1251, and a page that asks for
    // its files with other letter case than they have.
    void aZipMadeOnWindows()
    {
        const QByteArray page = QString::fromLatin1(kPage)
                                    .arg(QString::fromUtf16(u"ОТЧЕТ_FILES/Style.CSS"),
                                         QString::fromUtf16(u"Отчет_Files\\Pic.PNG"))
                                    .toUtf8();
        const QByteArray list = "[This is list files by Tomekeeper]\r\n" +
                                *Cp1251::encode(QString::fromUtf16(u"Годовой отчёт=отчет.htm")) +
                                "\r\n[end]\r\n";
        const QByteArray zip = buildZip({
            RawEntry(cp866(QString::fromUtf16(u"отчет.htm")), "<meta charset=\"utf-8\">" + page),
            RawEntry(cp866(QString::fromUtf16(u"отчет_files\\pic.png")), picture()),
            RawEntry(cp866(QString::fromUtf16(u"отчет_files\\style.css")), kStyle),
            RawEntry("listfile.txt", list),
        });
        QVERIFY(writeFile(path("windows.zip"), zip));

        QVERIFY(openArchive(path("windows.zip")));

        const QString work = m_session->archive().workFolder();
        QCOMPARE(m_session->pages().titles(), QStringList{QString::fromUtf16(u"Годовой отчёт")});
        QVERIFY(QFileInfo::exists(work + QString::fromUtf16(u"/отчет_files/pic.png")));
        QCOMPARE(m_view->browser()->url(),
                 QUrl::fromLocalFile(work + QString::fromUtf16(u"/отчет.htm")));
        verifyPictureAndStyle();
    }

    // A page saved by the browser itself, complete with its "_files" folder
    // and as one MHTML file, zipped by Info-ZIP.
    void aPageSavedByTheBrowser_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("complete HTML")
            << int(QWebEngineDownloadRequest::CompleteHtmlSaveFormat) << "saved.htm";
        QTest::newRow("MHTML") << int(QWebEngineDownloadRequest::MimeHtmlSaveFormat) << "saved.mht";
    }
    void aPageSavedByTheBrowser()
    {
        QFETCH(int, format);
        QFETCH(QString, fileName);
        QVERIFY(TestFiles::write(path("site/pic.png"), picture()));
        QVERIFY(TestFiles::write(path("site/style.css"), kStyle));
        QVERIFY(TestFiles::write(path("site/page.htm"),
                                 QString::fromLatin1(kPage).arg("style.css", "pic.png").toUtf8()));

        QWebEnginePage source;
        QSignalSpy loaded(&source, &QWebEnginePage::loadFinished);
        source.load(QUrl::fromLocalFile(path("site/page.htm")));
        QVERIFY(loaded.wait(30000));
        QWebEngineDownloadRequest *download = nullptr;
        connect(source.profile(), &QWebEngineProfile::downloadRequested, this,
                [&download](QWebEngineDownloadRequest *request) { download = request; });
        QDir().mkpath(path("saved"));
        source.save(path("saved/" + fileName), QWebEngineDownloadRequest::SavePageFormat(format));
        QTRY_VERIFY_WITH_TIMEOUT(download && download->isFinished(), 30000);
        QCOMPARE(download->state(), QWebEngineDownloadRequest::DownloadCompleted);

        QVERIFY(TestFiles::write(path("saved/listfile.txt"),
                                 "[This is list files by Tomekeeper]\r\nSaved=" +
                                     fileName.toLatin1() + "\r\n[end]\r\n"));
        QCOMPARE(
            TestFiles::run("zip", {"-q", "-r", path("saved.zip"), "."}, nullptr, path("saved")), 0);

        QVERIFY(openArchive(path("saved.zip")));
        if (fileName.endsWith(".mht")) {
            // Shown sandboxed, without scripts: its body is what can be checked.
            // (Its pictures came from file: addresses, which the browser does
            // not take from the MHTML file.)
            QVERIFY(shownHtml().contains("<p>text</p>"));
            // Without scripts of its own it still answers when left.
            QSignalSpy notices(m_view.get(), &WebPageView::notice);
            QSignalSpy finished(m_view->browser(), &QWebEngineView::loadFinished);
            m_view->navigate("about:blank");
            QVERIFY(finished.wait(3000));
            QCOMPARE(notices.size(), 0);
        } else {
            verifyPictureAndStyle();
        }
    }
};

QTEST_MAIN(TestSavedPages)
#include "tst_savedpages.moc"
