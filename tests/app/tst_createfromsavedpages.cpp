#include "browse/web/webpageview.h"
#include "catalogue/programpaths.h"
#include "catalogue/session.h"
#include "commands/addingcommands.h"
#include "commands/archivecommands.h"
#include "commands/lifecycle.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "testfiles.h"
#include "testzips.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>

static void prepareBrowser()
{
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

namespace {

QMap<QString, QByteArray> tree(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), TestFiles::read(path));
    }
    return files;
}

// A tiny PNG: one red pixel.
QByteArray png()
{
    return QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8"
                                  "DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==");
}

} // namespace

// The way a user grows a collection: pages saved by the browser, an archive
// made from them, more added by the dialog and by a drop, the program closed
// and started again, the archive opened: everything is there, byte for byte.
class TestCreateFromSavedPages : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    // Saves page name (a picture and a style sheet beside it) the way the
    // browser's "save page, complete" does: name.html with name_files.
    bool savePage(const QString &name, const QString &title)
    {
        const QString origin = path("web/" + name);
        TestFiles::write(origin + "/pic.png", png());
        TestFiles::write(origin + "/style.css", "body { color: #123456; }");
        TestFiles::write(origin + "/index.html",
                         "<html><head><meta charset=\"utf-8\"><title>" + title.toUtf8() +
                             "</title><link rel=stylesheet href=style.css></head>"
                             "<body><p>" +
                             title.toUtf8() + "</p><img src=pic.png></body></html>");
        QWebEngineProfile profile;
        QWebEnginePage page(&profile);
        QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
        page.load(QUrl::fromLocalFile(origin + "/index.html"));
        if (!loaded.wait(30000) || !loaded.first().first().toBool())
            return false;
        QWebEngineDownloadRequest *download = nullptr;
        QObject::connect(&profile, &QWebEngineProfile::downloadRequested,
                         [&download](QWebEngineDownloadRequest *request) {
                             download = request;
                             request->accept();
                         });
        page.save(path("saved/" + name + ".html"),
                  QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
        QElapsedTimer timer;
        timer.start();
        while (!(download && download->isFinished()) && timer.elapsed() < 30000)
            QTest::qWait(50);
        return download && download->state() == QWebEngineDownloadRequest::DownloadCompleted;
    }

    struct Program {
        ScriptedInteraction ui;
        RecordingPageView view;
        std::unique_ptr<Session> session;
        std::unique_ptr<CommandContext> ctx;
    };
    void start(Program &p)
    {
        const ProgramPaths paths = ProgramPaths::under(path("home") + "/", path("home"));
        p.session = std::make_unique<Session>(paths.work);
        p.ctx = std::make_unique<CommandContext>(
            CommandContext{*p.session, p.session->archive(), p.ui, p.view});
        Commands::startUp(*p.ctx, paths);
    }

private Q_SLOTS:
    void createAddRestartOpen()
    {
        QVERIFY(QDir().mkpath(path("home")));
        QVERIFY(savePage("first", "First page"));
        QVERIFY(savePage("second", "Вторая"));
        QVERIFY(savePage("third", "Third"));
        const auto saved = tree(path("saved"));
        // What the browser saved: each page with its folder of parts.
        QVERIFY(saved.contains("first.html"));
        QVERIFY(std::any_of(saved.keyBegin(), saved.keyEnd(),
                            [](const QString &k) { return k.startsWith("first_files/"); }));

        QStringList order;
        {
            Program p;
            start(p);
            p.session->catalogue().appendSection("Saved");
            p.session->catalogueSelection().setCurrentIndex(p.session->catalogue().modelIndex(0),
                                                            QItemSelectionModel::ClearAndSelect);
            p.ui.expectCreateArchive([this](CreateArchiveValues &v) {
                v.folder = path("archives");
                v.archiveName = "Reading";
                v.zipName = "reading";
                v.pageFiles = {path("saved/second.html"), path("saved/first.html")};
                return true;
            });
            QVERIFY(QDir().mkpath(path("archives")));
            Commands::createArchive(*p.ctx);
            // The same page again by the dialog, and the third by a drop.
            p.ui.expectOpenFiles({}, {}, true, {path("saved/first.html")});
            Commands::addPages(*p.ctx);
            Commands::addDroppedFiles(*p.ctx, {path("saved/third.html")});
            QVERIFY(p.ui.verify());
            order = p.session->pages().titles();
            QCOMPARE(order, (QStringList{"second", "first", "first_1", "third"}));
            Commands::shutDown(*p.ctx);
            QVERIFY(p.ui.verify());
        }

        const QString zip = path("archives/reading.zip");
        QVERIFY(TestZips::passesTest(zip));
        QByteArray out;
        QCOMPARE(TestFiles::run("python3",
                                {"-c",
                                 "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]);"
                                 " assert z.testzip() is None; print(len(z.namelist()))",
                                 zip},
                                &out),
                 0);

        Program again;
        start(again);
        QCOMPARE(again.session->catalogue().nodeNames(), (QStringList{"Saved", "Reading"}));
        QCOMPARE(again.session->catalogue().node(1).path, zip);
        QCOMPARE(again.session->archive().open(zip, again.ui), OpenArchive::OpenStatus::Opened);
        QVERIFY(again.session->archive().completeCopy(again.ui));
        QCOMPARE(again.session->pages().titles(), order);
        const auto opened = tree(again.session->archive().workFolder());
        QCOMPARE(QString::number(opened.size()), QString::fromLatin1(out.trimmed()));
        // Every saved file came back unchanged; the repeated page under its new
        // name with its own folder.
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            QCOMPARE(opened.value(it.key()), it.value());
        for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
            if (!it.key().startsWith("first_files/"))
                continue;
            QString renamed = it.key();
            renamed.replace("first_files/", "first_1_files/");
            QCOMPARE(opened.value(renamed), it.value());
        }
        QByteArray html = saved.value("first.html");
        html.replace("first_files/", "first_1_files/");
        QCOMPARE(opened.value("first_1.html"), html);
        QVERIFY(again.session->archive().close());
    }
};

QTEST_MAIN(TestCreateFromSavedPages)
#include "tst_createfromsavedpages.moc"
