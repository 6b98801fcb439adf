#include "app/toolkitlanguage.h"
#include "catalogue/session.h"
#include "lang/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
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

// The toolkit's standard buttons follow the interface language as it is
// switched at run time.
class TestToolkitLanguage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Messages::useEnglish(); }

    void standardButtonsFollowTheSwitch()
    {
        if (!russianTranslationInstalled())
            QSKIP("the toolkit's Russian translation is not installed");
        QTemporaryDir dir;
        Session session(WorkFolders::under(dir.path()));
        ToolkitLanguage toolkit;
        toolkit.follow(session);
        QCOMPARE(caption(QMessageBox::Yes), QString("Yes"));

        // A box already open when the language switches follows too.
        QDialogButtonBox open(QDialogButtonBox::Cancel);
        session.setRussianInterface(true);
        QCOMPARE(caption(QMessageBox::Yes), QString("Да"));
        QCOMPARE(caption(QMessageBox::No), QString("Нет"));
        QCOMPARE(caption(QMessageBox::Cancel), QString("Отмена"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(open.button(QDialogButtonBox::Cancel)->text().remove(u'&'), QString("Отмена"));

        // Set again: still Russian, nothing installed twice.
        session.setRussianInterface(true);
        QCOMPARE(caption(QMessageBox::Yes), QString("Да"));

        session.setRussianInterface(false);
        QCOMPARE(caption(QMessageBox::Yes), QString("Yes"));
        QCOMPARE(caption(QMessageBox::Cancel), QString("Cancel"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(open.button(QDialogButtonBox::Cancel)->text().remove(u'&'), QString("Cancel"));
    }

    // Russian asked for at start-up already; and the translation goes with
    // the object that installed it.
    void startsInTheSessionsLanguage()
    {
        if (!russianTranslationInstalled())
            QSKIP("the toolkit's Russian translation is not installed");
        QTemporaryDir dir;
        Session session(WorkFolders::under(dir.path()));
        session.setRussianInterface(true);
        {
            ToolkitLanguage toolkit;
            toolkit.follow(session);
            QCOMPARE(caption(QMessageBox::Ok), QString("OK"));
            QCOMPARE(caption(QMessageBox::Yes), QString("Да"));
        }
        QCOMPARE(caption(QMessageBox::Yes), QString("Yes"));
    }
};

QTEST_MAIN(TestToolkitLanguage)
#include "tst_toolkitlanguage.moc"
