#include "app/mainwindow.h"
#include "browse/web/webpageview.h"
#include "storage/instancelock.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTranslator>
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
// archive is zipped back and the settings are written, instead of dying with
// the changes only in the working folder. The handler is in place from the
// start; a signal that comes before the window exists waits in the pipe.
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

void closeOnTerminate(QWidget *window)
{
    if (g_signalPipe[1] < 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window, notifier] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[1], &byte, 1);
        notifier->setEnabled(false);
        window->close();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    catchTerminate();
    WebPageView::prepareProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tomekeeper"));
    QApplication::setApplicationVersion(QStringLiteral("3.0"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tomekeeper v1.0"));

    // The toolkit's own buttons and dialogs speak the desktop's language.
    QTranslator toolkit;
    if (toolkit.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkit);

    // A second copy would empty the working folders under the first one's open archive.
    QString holder;
    if (!acquireInstanceLock(&holder)) {
        QMessageBox::warning(
            nullptr, QStringLiteral("Tomekeeper v3.0"),
            QStringLiteral("Tomekeeper is already running. Close it before starting another copy.\n"
                           "Tomekeeper уже запущен. Закройте его, прежде чем запускать ещё одну "
                           "копию."));
        return 1;
    }

    int result = 0;
    {
        MainWindow form;
        closeOnTerminate(&form);
        result = QApplication::exec();
    }
    releaseInstanceLock();
    return result;
}
