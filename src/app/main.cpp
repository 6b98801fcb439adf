#include "app/mainwindow.h"
#include "app/toolkitlanguage.h"
#include "browse/web/webpageview.h"
#include "check/checkcommandline.h"
#include "dialogs/appicon.h"
#include "storage/instancelock.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[0], &byte, 1);
}

// A logout or a plain `kill` closes the window the normal way, so a changed
// archive is written back and the settings are saved, instead of dying with
// the changes only in the working folder. The handler is in place from the
// start; a signal that comes before the window listens waits in the pipe.
void catchTerminate()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// Listens before start-up: a signal while a start-up message box is open
// closes the box and then the window.
void closeOnTerminate(MainWindow *window)
{
    if (g_signalPipe[1] < 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window, notifier] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[1], &byte, 1);
        notifier->setEnabled(false);
        window->requestClose();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    // --check, --help and --version: no window, no display, no web engine.
    if (const std::optional<int> exitCode = CheckCommandLine::runIfAsked(argc, argv))
        return *exitCode;
    catchTerminate();
    WebPageView::prepareProcess();
    QApplication app(argc, argv);
    const QString title = QString::fromLatin1(kProgramTitle);
    QApplication::setApplicationName(QStringLiteral("tomekeeper"));
    QApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    // The desktop appends the display name to window titles that do not end
    // with it: the same text keeps every title exactly as given.
    QApplication::setApplicationDisplayName(title);
    applyDesktopIdentity();
    // The toolkit's own buttons (OK, Cancel, Yes, No) speak the desktop's
    // language, as in every other program; the interface language, which the
    // program switches itself, is for its own texts.
    ToolkitLanguage toolkit;
    toolkit.load(QLocale::system());

    // A second copy would empty the working folders under the first one's open archive.
    if (!acquireInstanceLock()) {
        QMessageBox::warning(
            nullptr, title,
            QStringLiteral("Tomekeeper is already running. Close it before starting another copy.\n"
                           "Tomekeeper уже запущен. Закройте его, прежде чем запускать ещё одну "
                           "копию."));
        return 1;
    }

    int result = 0;
    {
        ProgramPaths paths = ProgramPaths::standard(QDir::currentPath());
        paths.executableFolder = QApplication::applicationDirPath();
        MainWindow window(paths);
        closeOnTerminate(&window);
        window.startUp();
        // A termination during start-up has closed the window already.
        if (window.isVisible())
            result = QApplication::exec();
    }
    releaseInstanceLock();
    return result;
}
