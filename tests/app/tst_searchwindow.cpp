#include "app/actions.h"
#include "app/mainwindow.h"
#include "app/searchpanel.h"
#include "catalogue/session.h"
#include "lang/messages.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "search/searchindex.h"
#include "search/searchservice.h"
#include "search/searchtestkit.h"
#include "windowtesting.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSplitter>
#include <QTemporaryDir>
#include <memory>

using SearchTestKit::Page;

// The search across all archives in the real window: the field, the list of
// pages found, and what choosing one does.
class TestSearchWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingPageView> m_view;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<MainWindow> m_window;
    SearchPanel *m_panel = nullptr;
    QString m_zip;

    QLineEdit *field() const { return m_panel->field(); }
    QListView *results() const { return m_panel->results(); }
    QStringList shown() const
    {
        QStringList rows;
        for (int i = 0; i < results()->model()->rowCount(); ++i)
            rows << results()->model()->index(i, 0).data().toString();
        return rows;
    }
    void type(const QString &text)
    {
        field()->setText(text);
        QTest::keyClick(field(), Qt::Key_Return);
    }

private Q_SLOTS:
    void initTestCase() { isolateHome(m_home.path()); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_view = std::make_unique<RecordingPageView>();
        m_ui = std::make_unique<ScriptedInteraction>();
        m_zip = m_dir->filePath("archives/bank.zip");
        QDir().mkpath(m_dir->filePath("archives"));
        QVERIFY(SearchTestKit::writeArchive(
            m_zip, {Page{"report.htm", "Отчёт за год", "Правление банка собралось в марте."},
                    Page{"notes.htm", "Notes", "Nothing about the board here."}}));
        m_window = std::make_unique<MainWindow>(
            ProgramPaths::under(m_dir->path(), m_dir->filePath("home")), m_view.get(), m_ui.get());
        m_panel = m_window->findChild<SearchPanel *>();
        QVERIFY(m_panel);
        m_window->search().index().setIndexingPriority(QThread::NormalPriority);
        m_window->startUp();
        CatalogueModel &catalogue = m_window->session().catalogue();
        catalogue.addArchive(catalogue.appendSection("Finance"), "Bank", m_zip);
        // The catalogue reaches the index a moment after its last change.
        QTRY_VERIFY_WITH_TIMEOUT(
            m_window->search().index().isIndexing() || m_window->search().index().stats().archivesChecked > 0, 10000);
        QVERIFY(m_window->search().index().waitUntilIdle(60000));
    }

    void cleanup()
    {
        m_window.reset();
        m_ui.reset();
        m_view.reset();
        m_dir.reset();
        Messages::useEnglish();
    }

    void theFieldIsNamedInBothLanguages()
    {
        QCOMPARE(field()->accessibleName(), QString("Search in all archives"));
        QCOMPARE(field()->placeholderText(), QString("Search in all archives"));
        m_window->runCommand(Command::Russian);
        QCOMPARE(field()->accessibleName(), QString("Поиск во всех архивах"));
        m_window->runCommand(Command::English);
        QCOMPARE(field()->accessibleName(), QString("Search in all archives"));
    }

    void theShortcutPutsTheKeyboardIntoTheField()
    {
        m_window->session().setListsHidden(true);
        QVERIFY(!field()->isVisible());
        QCOMPARE(m_window->actions().action(Command::SearchAllArchives)->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
        m_window->actions().action(Command::SearchAllArchives)->trigger();
        QVERIFY(field()->isVisible());
        QTRY_VERIFY(field()->hasFocus());
    }

    void resultsShowTitleArchiveSectionAndSnippet()
    {
        QVERIFY(!results()->isVisible());
        type("правлени");
        QVERIFY(results()->isVisible());
        const QStringList rows = shown();
        QCOMPARE(rows.size(), 1);
        QVERIFY2(rows.first().startsWith("Отчёт за год\nBank \u2014 Finance\n"),
                 qPrintable(rows.first()));
        QVERIFY2(rows.first().contains("Правление банка"), qPrintable(rows.first()));
        const QString html = results()->model()->index(0, 0).data(Qt::UserRole + 1).toString();
        QVERIFY2(html.contains(">Правление</b>"), qPrintable(html));

        type("xyzzy");
        QCOMPARE(shown(), QStringList{"Nothing found"});
        QTest::keyClick(field(), Qt::Key_Escape);
        QVERIFY(field()->text().isEmpty());
        QVERIFY(!results()->isVisible());
    }

    // The pages found are listed where they can be read: their column widens
    // and the list takes half of it, and both go back when the list goes,
    // unless the user has moved the splitters meanwhile.
    void resultsGetRoomWhileShown()
    {
        m_window->resize(1000, 700);
        auto *across = m_window->findChild<QSplitter *>("mainSplitter");
        auto *down = m_window->findChild<QSplitter *>("leftSplitter");
        QVERIFY(across && down);
        QTRY_VERIFY(across->sizes().at(0) > 0);
        const QList<int> acrossBefore = across->sizes();
        const QList<int> downBefore = down->sizes();
        QVERIFY(acrossBefore.at(0) < 300);

        type("правлени");
        const int total = across->sizes().at(0) + across->sizes().at(1);
        QCOMPARE(across->sizes().at(0), qMin(440, total / 2));
        // About half: the panes below keep their least heights.
        const int height = down->sizes().at(0) + down->sizes().at(1) + down->sizes().at(2);
        QVERIFY(down->sizes().at(0) >= height * 2 / 5);
        type("банк"); // another query keeps the room as it is
        QCOMPARE(across->sizes().at(0), qMin(440, total / 2));
        QTest::keyClick(field(), Qt::Key_Escape);
        QCOMPARE(across->sizes(), acrossBefore);
        QCOMPARE(down->sizes(), downBefore);

        type("банк");
        QList<int> moved = across->sizes();
        moved[0] -= 40;
        moved[1] += 40;
        across->setSizes(moved);
        QTest::keyClick(field(), Qt::Key_Escape);
        QCOMPARE(across->sizes(), moved);
        QCOMPARE(down->sizes(), downBefore);
    }

    void choosingAResultShowsThePageWithTheWords()
    {
        type("банк");
        QCOMPARE(shown().size(), 1);
        const QRect row = results()->visualRect(results()->model()->index(0, 0));
        QTest::mouseClick(results()->viewport(), Qt::LeftButton, {}, row.center());
        Session &s = m_window->session();
        QCOMPARE(s.archive().zipPath(), m_zip);
        QCOMPARE(s.archive().pageSelection().currentIndex().row(), 0);
        const QString work = s.archive().workFolder();
        QCOMPARE(m_view->calls.mid(m_view->calls.size() - 2),
                 QStringList({"navigate " + work + "/report.htm", "find words банка"}));
        QVERIFY(m_ui->verify());
    }

    // A write-back brings its pages into the index without any change to the catalogue.
    void theIndexFollowsWriteBacks()
    {
        // By keyboard this time: down from the field into the list, Enter.
        type("банк");
        QTest::keyClick(field(), Qt::Key_Down);
        QVERIFY(results()->hasFocus() || !QApplication::focusWidget());
        QTest::keyClick(results(), Qt::Key_Return);
        OpenArchive &archive = m_window->session().archive();
        QVERIFY(archive.isOpen());
        TestFiles::write(archive.workFolder() + "/notes.htm",
                         "<html><body><p>Зеркальный карп в пруду</p></body></html>");
        archive.setChanged(true);
        QVERIFY(archive.writeBack(*m_ui));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->search().index().search("карп").size() == 1, 30000);
        type("карп");
        QCOMPARE(shown().size(), 1);
        QVERIFY(shown().first().startsWith("Notes\n"));
    }
};

QTEST_MAIN(TestSearchWindow)
#include "tst_searchwindow.moc"
