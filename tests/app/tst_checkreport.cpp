#include "app/actions.h"
#include "app/checkreportwindow.h"
#include "app/collectioncheckrunner.h"
#include "app/mainwindow.h"
#include "catalogue/session.h"
#include "check/checkreportmodel.h"
#include "checkcollection.h"
#include "lang/messages.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "windowtesting.h"

#include <QClipboard>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

// Archive > Check All Archives in the real window: the check runs in the
// background, its report comes in a window of its own, and what is done
// from there.
class TestCheckReport : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingPageView> m_view;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<MainWindow> m_window;
    CheckCollection::Collection m_c;

    CheckReportWindow *checkAll()
    {
        auto *runner = m_window->findChild<CollectionCheckRunner *>();
        if (!runner)
            return nullptr;
        QSignalSpy shown(runner, &CollectionCheckRunner::reportShown);
        m_window->actions().action(Command::CheckAllArchives)->trigger();
        if (!shown.wait(60000))
            return nullptr;
        return runner->reportWindow();
    }
    static QStringList column(const QTableView *table, int column)
    {
        QStringList cells;
        for (int row = 0; row < table->model()->rowCount(); ++row)
            cells << table->model()->index(row, column).data().toString();
        return cells;
    }

private Q_SLOTS:
    void initTestCase() { isolateHome(m_home.path()); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_view = std::make_unique<RecordingPageView>();
        m_ui = std::make_unique<ScriptedInteraction>();
        const QString base = m_dir->filePath("home");
        m_window = std::make_unique<MainWindow>(ProgramPaths::under(m_dir->path(), base),
                                                m_view.get(), m_ui.get());
        m_window->startUp();
        // Its working copies are in the window's data folder.
        m_c = CheckCollection::make(base);
        CheckCollection::fillCatalogue(m_window->session().catalogue(), m_c.archives);
    }

    void cleanup()
    {
        m_window.reset();
        QVERIFY(m_ui->verify());
        m_ui.reset();
        m_view.reset();
        m_dir.reset();
        Messages::useEnglish();
    }

    // One row per problem, in both languages, sorted by any column, copied.
    void showsEveryProblem()
    {
        CheckReportWindow *report = checkAll();
        QVERIFY(report);
        QVERIFY(report->isVisible());
        QTableView *table = report->table();
        QCOMPARE(table->model()->rowCount(), CheckCollection::expected(m_c).size());
        QCOMPARE(column(table, CheckReportModel::ArchiveColumn).first(), QString("Clean"));
        QCOMPARE(table->model()->index(1, CheckReportModel::ProblemColumn).data().toString(),
                 msg(MessageId::CheckZipMissing));

        table->sortByColumn(CheckReportModel::ArchiveColumn, Qt::AscendingOrder);
        QStringList archives = column(table, CheckReportModel::ArchiveColumn);
        QCOMPARE(archives.first(), QString("Broken"));
        QVERIFY(std::is_sorted(archives.begin(), archives.end(),
                               [](const QString &a, const QString &b) {
                                   return a.compare(b, Qt::CaseInsensitive) < 0;
                               }));

        table->selectRow(0);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 report->model().text(report->selectedRows()));
        QVERIFY(QGuiApplication::clipboard()->text().startsWith("Broken\tBooks\t"));

        m_window->runCommand(Command::Russian);
        QCOMPARE(report->windowTitle(), QString("Проверка всех архивов"));
        QCOMPARE(
            table->model()->headerData(CheckReportModel::ProblemColumn, Qt::Horizontal).toString(),
            QString("Проблема"));
        FIND(fix, QPushButton, *report, "checkFixButton");
        QCOMPARE(fix->text(), QString("Исправить"));
    }

    // A fix made from the report marks its rows done; a double-click opens
    // the row's archive as the catalogue tree would.
    void fixesAndOpens()
    {
        CheckReportWindow *report = checkAll();
        QVERIFY(report);
        CheckReportModel &model = report->model();
        const int unlisted =
            int(CheckCollection::expected(m_c).indexOf("Mixed|page-unlisted|extra.htm"));
        m_ui->expectMessage(msg(MessageId::ListFileLinesRefused) + "\r\n../evil.htm");
        Q_EMIT report->fixRequested(unlisted, CheckFix::AddPagesToList);
        QTRY_VERIFY(model.isFixed(unlisted));
        QCOMPARE(model.data(model.index(unlisted, CheckReportModel::FixColumn)).toString(),
                 msg(MessageId::CheckFixDone));
        QVERIFY(!model.isFixed(unlisted - 1)); // the missing page is another fix
        QCOMPARE(m_window->session().pages().fileNames(),
                 (QStringList{"alpha.htm", "lost.htm", "extra.htm"}));

        QTableView *table = report->table();
        const QModelIndex clean = table->model()->index(0, 0);
        table->scrollTo(clean);
        QVERIFY(QTest::qWaitForWindowExposed(report));
        QSignalSpy opened(report, &CheckReportWindow::openRequested);
        const QPoint at = table->visualRect(clean).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(opened.size(), 1);
        QTRY_COMPARE(m_window->session().archive().zipPath(), m_c.zip("clean"));
        QCOMPARE(m_window->session().selectedNode(), m_window->session().openNode());
    }
};

QTEST_MAIN(TestCheckReport)
#include "tst_checkreport.moc"
