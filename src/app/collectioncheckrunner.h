#pragma once

#include "check/checkproblem.h"
#include "check/checkwording.h"
#include "commands/command.h"

#include <QFutureWatcher>
#include <QObject>

class CheckReportWindow;
class MainWindow;
class QLabel;
class QProgressBar;
class QToolButton;
class QWidget;

// The check of all archives as the window runs it: on a worker thread, with
// its progress and a stop button in the status bar while the window stays in
// use, then its report in a window of its own, whose requests (open, fix,
// save) it runs as commands of the main window.
class CollectionCheckRunner : public QObject {
    Q_OBJECT
public:
    // searchIndexFolder: where the search index is, which may know a missing
    // zip's pages.
    CollectionCheckRunner(MainWindow &window, const QString &searchIndexFolder);
    ~CollectionCheckRunner() override;

    bool isRunning() const { return m_watcher.isRunning(); }
    // Starts the check, unless one is running.
    void start();
    // Stops a running check; its report is not shown.
    void stop();
    // Made with the first report.
    CheckReportWindow *reportWindow() const { return m_report; }
    QWidget *progressWidget() const { return m_progress; }

Q_SIGNALS:
    // The report of a check that ran to its end is shown.
    void reportShown();

private:
    void showProgress(int done);
    void finish();
    void retranslate();
    void fix(int row, CheckFix fix);
    void open(int row);
    void save(const QString &text);
    // Runs a command from the report as a command of the main window.
    void runFromReport(const std::function<void()> &command);

    MainWindow &m_window;
    CommandContext m_ctx;
    QString m_indexFolder;
    QFutureWatcher<CheckReport> m_watcher;
    QWidget *m_progress;
    QLabel *m_label;
    QProgressBar *m_bar;
    QToolButton *m_stop;
    CheckReportWindow *m_report = nullptr;
};
