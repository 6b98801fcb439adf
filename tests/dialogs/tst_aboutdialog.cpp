#include "dialogs/aboutdialog.h"
#include "dialogs/appicon.h"
#include "dialogs/linklabel.h"
#include "lang/messages.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

template <class T> T *child(QWidget *parent, const char *name)
{
    auto *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

// Clicks OK as soon as the box is the modal window, so showFor() returns. A
// box that never comes fails the test instead of hanging it.
void clickOkWhenModal(bool *clicked)
{
    auto *timer = new QTimer(qApp);
    auto *tries = new int(0);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto *box = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
        if (box || ++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            delete tries;
        }
        if (box) {
            *clicked = true;
            QTest::mouseClick(child<QPushButton>(box, "okButton"), Qt::LeftButton);
        }
    });
    timer->start(20);
}

void sendEnter(QWidget *widget)
{
    const QPointF inside(2, 2);
    QEnterEvent enter(inside, widget->mapTo(widget->window(), inside), widget->mapToGlobal(inside));
    QApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget *widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

} // namespace

class TestAboutDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup()
    {
        Messages::useEnglish();
        QApplication::setFont(QFont());
    }

    // The box is made once per owner and shown again on every later opening;
    // OK closes it and hides it.
    void oneBoxAcrossOpenings()
    {
        QWidget owner;
        AboutDialog *first = AboutDialog::of(&owner);
        for (int opening = 0; opening < 2; ++opening) {
            bool clicked = false;
            clickOkWhenModal(&clicked);
            AboutDialog::showFor(&owner);
            QVERIFY(clicked);
            QVERIFY(!first->isVisible());
        }
        QCOMPARE(AboutDialog::of(&owner), first);
        QCOMPARE(owner.findChildren<AboutDialog *>().size(), 1);

        QWidget otherOwner;
        QVERIFY(AboutDialog::of(&otherOwner) != first);
    }

    // Blue and underlined at rest, red with the hand over it, blue with the
    // arrow after the mouse left, every time.
    void linkColoursFollowTheMouse_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("home page") << "homeLink";
        QTest::newRow("downloads page") << "downloadsLink";
    }
    void linkColoursFollowTheMouse()
    {
        QFETCH(QString, link);
        QWidget owner;
        AboutDialog *box = AboutDialog::of(&owner);
        box->show();
        auto *label = box->findChild<LinkLabel *>(link);
        QVERIFY(label);
        QVERIFY(label->font().underline());

        QCOMPARE(label->textColor(), QColor(Qt::blue));
        QCOMPARE(label->cursor().shape(), Qt::ArrowCursor);
        for (int pass = 0; pass < 2; ++pass) {
            sendEnter(label);
            QCOMPARE(label->textColor(), QColor(Qt::red));
            QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
            sendLeave(label);
            QCOMPARE(label->textColor(), QColor(Qt::blue));
            QCOMPARE(label->cursor().shape(), Qt::ArrowCursor);
        }
        // Moving over the link without an enter (the box opened under the
        // pointer) turns it red as well.
        QTest::mouseMove(label, QPoint(3, 3));
        QCOMPARE(label->textColor(), QColor(Qt::red));
        box->hide();
    }

    // A click on a link asks for its address to be opened and leaves the box
    // open; only a real left click does.
    void clickOpensTheAddress_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QString>("opened");
        QTest::newRow("home page") << "homeLink"
                                   << "click"
                                   << "https://tomekeeper.org/";
        QTest::newRow("downloads page") << "downloadsLink"
                                        << "click"
                                        << "https://tomekeeper.org/download/";
        QTest::newRow("keyboard") << "homeLink"
                                  << "space"
                                  << "https://tomekeeper.org/";
        QTest::newRow("right button") << "homeLink"
                                      << "right"
                                      << "";
        QTest::newRow("released elsewhere") << "homeLink"
                                            << "drag off"
                                            << "";
    }
    void clickOpensTheAddress()
    {
        QFETCH(QString, link);
        QFETCH(QString, gesture);
        QFETCH(QString, opened);
        QWidget owner;
        AboutDialog *box = AboutDialog::of(&owner);
        QStringList asked;
        box->setUrlOpener([&](const QUrl &url) { asked << url.toString(); });
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box));
        auto *label = box->findChild<LinkLabel *>(link);
        QVERIFY(label);

        const QPoint inside = label->rect().center();
        if (gesture == "click") {
            QTest::mouseClick(label, Qt::LeftButton, {}, inside);
        } else if (gesture == "space") {
            label->setFocus();
            QTest::keyClick(label, Qt::Key_Space);
        } else if (gesture == "right") {
            QTest::mouseClick(label, Qt::RightButton, {}, inside);
        } else {
            QTest::mousePress(label, Qt::LeftButton, {}, inside);
            QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(-20, -20));
        }

        QCOMPARE(asked, opened.isEmpty() ? QStringList() : QStringList{opened});
        QVERIFY(box->isVisible());
        box->hide();
    }

    // The box's texts are fixed English texts whatever the interface language.
    void sameTextsInBothLanguages_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::newRow("English") << false;
        QTest::newRow("Russian") << true;
    }
    void sameTextsInBothLanguages()
    {
        QFETCH(bool, russian);
        russian ? Messages::useRussian() : Messages::useEnglish();
        QWidget owner;
        AboutDialog *box = AboutDialog::of(&owner);
        QCOMPARE(box->windowTitle(), QString("About Program"));
        QCOMPARE(child<QLabel>(box, "programTitle")->text(), QString("Tomekeeper v3.0"));
        QCOMPARE(child<QLabel>(box, "invitation")->text(),
                 QString("   New Versions and Others\nPrograms You can Download:"));
        QCOMPARE(child<QLabel>(box, "orLabel")->text(), QString("or"));
        QCOMPARE(child<QPushButton>(box, "okButton")->text(), QString("OK"));

        auto *title = child<QLabel>(box, "programTitle");
        QVERIFY(title->font().bold());
        QCOMPARE(title->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0x80));
    }

    // Nothing is cut off, at the usual font and at a much larger one: the box
    // grows instead. It never shrinks below its usual size.
    void nothingCutOff_data()
    {
        QTest::addColumn<int>("fontPixels");
        QTest::newRow("usual font") << 0;
        QTest::newRow("large font") << 24;
    }
    void nothingCutOff()
    {
        QFETCH(int, fontPixels);
        if (fontPixels > 0) {
            QFont large = QApplication::font();
            large.setPixelSize(fontPixels);
            QApplication::setFont(large);
        }
        QWidget owner;
        AboutDialog *box = AboutDialog::of(&owner);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box));

        QVERIFY(box->width() >= 283);
        QVERIFY(box->height() >= 218);
        const QRect inside = box->rect();
        const auto widgets = box->findChildren<QWidget *>();
        QVERIFY(widgets.size() >= 8);
        for (QWidget *widget : widgets) {
            if (!widget->isVisible())
                continue;
            const QString name = widget->objectName();
            const QRect area(widget->mapTo(box, QPoint(0, 0)), widget->size());
            QVERIFY2(inside.contains(area), qPrintable(name));
            if (qobject_cast<QLabel *>(widget) || qobject_cast<QPushButton *>(widget)) {
                QVERIFY2(widget->width() >= widget->sizeHint().width(), qPrintable(name));
                QVERIFY2(widget->height() >= widget->sizeHint().height(), qPrintable(name));
            }
        }
        box->hide();
    }

    // The picture is the program's 48 x 48 icon.
    void showsTheProgramPicture()
    {
        QWidget owner;
        auto *picture = child<QLabel>(AboutDialog::of(&owner), "picture");
        QCOMPARE(picture->size(), QSize(48, 48));
        const QImage shown =
            picture->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage icon = QImage(QStringLiteral(":/icon/48.png"))
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QVERIFY(!icon.isNull());
        QCOMPARE(shown, icon);
    }

    // Windows carry the icon at every size shipped, and the desktop can tie
    // them to the menu entry.
    void desktopIdentity()
    {
        const QIcon builtIn = builtInApplicationIcon();
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            QVERIFY2(builtIn.availableSizes().contains(QSize(size, size)),
                     qPrintable(QString::number(size)));
            QCOMPARE(builtIn.pixmap(QSize(size, size), 1.0).size(), QSize(size, size));
        }
        applyDesktopIdentity();
        QCOMPARE(QGuiApplication::desktopFileName(), QString("org.tomekeeper.Tomekeeper"));
        QVERIFY(!QGuiApplication::windowIcon().isNull());
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
