#include "app/Unit1.h"
#include "browse/web/webpageview.h"
#include "storage/instancelock.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

int main(int argc, char *argv[])
{
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
        TForm1 form;
        result = QApplication::exec();
    }
    releaseInstanceLock();
    return result;
}
