#include "app/collectioncheckrunner.h"

#include "app/actions.h"
#include "app/checkreportwindow.h"
#include "app/mainwindow.h"
#include "catalogue/session.h"
#include "check/checkreportmodel.h"
#include "check/collectioncheck.h"
#include "commands/checkcommands.h"
#include "commands/runcommand.h"
#include "lang/messages.h"
#include "search/indexedzip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>

namespace {

constexpr int kStoppedShownMs = 5000;

} // namespace

CollectionCheckRunner::CollectionCheckRunner(MainWindow &window, const QString &searchIndexFolder)
    : QObject(&window), m_window(window), m_ctx{window.session(), window.session().archive(),
                                                window.interaction(), window.pageView()},
      m_indexFolder(searchIndexFolder)
{
    m_progress = new QWidget(window.statusBar());
    m_progress->setObjectName(QStringLiteral("checkProgress"));
    auto *layout = new QHBoxLayout(m_progress);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(m_progress);
    m_bar = new QProgressBar(m_progress);
    m_bar->setTextVisible(false);
    m_bar->setFixedWidth(100);
    m_stop = new QToolButton(m_progress);
    m_stop->setObjectName(QStringLiteral("checkStopButton"));
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(m_stop);
    window.statusBar()->addPermanentWidget(m_progress);
    m_progress->hide();

    connect(m_stop, &QToolButton::clicked, this, &CollectionCheckRunner::stop);
    connect(&m_watcher, &QFutureWatcher<CheckReport>::progressValueChanged, this,
            &CollectionCheckRunner::showProgress);
    connect(&m_watcher, &QFutureWatcher<CheckReport>::finished, this,
            &CollectionCheckRunner::finish);
    Session &session = window.session();
    connect(&session, &Session::collectionCheckRequested, this, &CollectionCheckRunner::start);
    connect(&session, &Session::languageChanged, this, &CollectionCheckRunner::retranslate);
    retranslate();
}

CollectionCheckRunner::~CollectionCheckRunner()
{
    // The check only reads; stopped, it ends within one zip entry.
    m_watcher.cancel();
    m_watcher.waitForFinished();
}

void CollectionCheckRunner::start()
{
    if (isRunning())
        return;
    const CheckInput input = Commands::collectionCheckInput(m_ctx);
    m_bar->setRange(0, qMax(1, int(input.archives.size())));
    m_bar->setValue(0);
    m_progress->show();
    showProgress(0);
    m_watcher.setFuture(CollectionCheck::start(input));
}

void CollectionCheckRunner::stop()
{
    if (!isRunning())
        return;
    m_watcher.cancel();
    m_window.statusBar()->showMessage(msg(MessageId::CheckStopped), kStoppedShownMs);
}

void CollectionCheckRunner::showProgress(int done)
{
    m_bar->setValue(done);
    m_label->setText(msg(MessageId::CheckProgressStatus).arg(done).arg(m_bar->maximum()));
}

void CollectionCheckRunner::finish()
{
    m_progress->hide();
    const QFuture<CheckReport> future = m_watcher.future();
    if (future.isCanceled() || future.resultCount() == 0)
        return;
    if (!m_report) {
        m_report = new CheckReportWindow(&m_window);
        // After the menu the fix was chosen in is closed: a fix may ask.
        connect(m_report, &CheckReportWindow::fixRequested, this, &CollectionCheckRunner::fix,
                Qt::QueuedConnection);
        connect(m_report, &CheckReportWindow::openRequested, this, &CollectionCheckRunner::open,
                Qt::QueuedConnection);
        connect(m_report, &CheckReportWindow::saveRequested, this, &CollectionCheckRunner::save,
                Qt::QueuedConnection);
    }
    m_report->setReport(future.result());
    m_report->show();
    m_report->raise();
    m_report->activateWindow();
    Q_EMIT reportShown();
}

void CollectionCheckRunner::retranslate()
{
    m_stop->setText(msg(MessageId::CheckStopButton));
    m_stop->setAccessibleName(m_stop->text());
    showProgress(m_bar->value());
    if (m_report)
        m_report->retranslate();
}

void CollectionCheckRunner::runFromReport(const std::function<void()> &command)
{
    m_window.runGuarded([this, &command] {
        command();
        finishCommand(m_ctx);
    });
    m_window.actions().update(m_window.session());
}

void CollectionCheckRunner::fix(int row, CheckFix fix)
{
    if (!m_report || row < 0 || row >= m_report->model().rowCount())
        return;
    const CheckProblem problem = m_report->model().problem(row);
    bool done = false;
    runFromReport([&] {
        KnownZip known;
        if (fix == CheckFix::FindZip)
            known = indexedZip(m_indexFolder, problem.zipPath).value_or(KnownZip{});
        done = Commands::applyCheckFix(m_ctx, problem, fix, known);
    });
    if (done)
        m_report->markFixed(row);
}

void CollectionCheckRunner::open(int row)
{
    if (!m_report || row < 0 || row >= m_report->model().rowCount())
        return;
    const CheckProblem problem = m_report->model().problem(row);
    runFromReport([&] { Commands::openCheckedArchive(m_ctx, problem); });
}

void CollectionCheckRunner::save(const QString &text)
{
    runFromReport([&] { Commands::saveCheckReport(m_ctx, text); });
}
