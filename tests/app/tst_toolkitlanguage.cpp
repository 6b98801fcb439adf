#include "app/toolkitlanguage.h"
#include "catalogue/session.h"
#include "lang/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A standard button's caption as shown, without its shortcut mark.
QString caption(QMessageBox::StandardButton which)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("t"), QStringLiteral("text"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    return box.button(which)->text().remove(u'&');
}

bool russianTranslationInstalled()
{
    return QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                             QStringLiteral("/qtbase_ru.qm"));
}

} // namespace

// The toolkit's standard buttons speak the desktop's language, whichever
// language the interface is switched to.
class TestToolkitLanguage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Messages::useEnglish(); }

    void standardButtonsFollowTheDesktop()
    {
        if (!russianTranslationInstalled())
            QSKIP("the toolkit's Russian translation is not installed");
        QTemporaryDir dir;
        Session session(WorkFolders::under(dir.path()));

        // A Russian desktop: Russian buttons, also under the English interface.
        {
            ToolkitLanguage toolkit;
            QVERIFY(toolkit.load(QLocale(QLocale::Russian, QLocale::Russia)));
            QCOMPARE(caption(QMessageBox::Yes), QString("Да"));
            session.setRussianInterface(false);
            QCOMPARE(caption(QMessageBox::No), QString("Нет"));
            QCOMPARE(caption(QMessageBox::Cancel), QString("Отмена"));
        }
        // The translation goes with the object that installed it.
        QCOMPARE(caption(QMessageBox::Yes), QString("Yes"));

        // An English desktop: English buttons under the Russian interface.
        ToolkitLanguage toolkit;
        toolkit.load(QLocale(QLocale::English, QLocale::UnitedStates));
        session.setRussianInterface(true);
        QCOMPARE(caption(QMessageBox::Yes), QString("Yes"));
        QCOMPARE(caption(QMessageBox::Cancel), QString("Cancel"));
    }
};

QTEST_MAIN(TestToolkitLanguage)
#include "tst_toolkitlanguage.moc"
