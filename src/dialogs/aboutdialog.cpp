#include "dialogs/aboutdialog.h"

#include "app/viewstyle.h"
#include "dialogs/appicon.h"
#include "dialogs/linklabel.h"
#include "version.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace {

QFont pixelFont(const QFont &base, int pixels, bool bold = false)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    // Plain text keeps the leading blanks of the second line.
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Indents a widget by pixels within its column.
QHBoxLayout *indented(QWidget *widget, int pixels)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(pixels, 0, 0, 0);
    row->addWidget(widget);
    row->addStretch(1);
    return row;
}

} // namespace

AboutDialog *AboutDialog::of(QWidget *owner)
{
    if (auto *existing = owner->findChild<AboutDialog *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new AboutDialog(owner);
}

void AboutDialog::showFor(QWidget *owner)
{
    // Closing only hides the box; it is kept for the next time.
    of(owner)->exec();
}

QUrl AboutDialog::homePage()
{
    return QUrl(QStringLiteral("https://tomekeeper.org/"));
}

QUrl AboutDialog::downloadsPage()
{
    return QUrl(QStringLiteral("https://tomekeeper.org/download/"));
}

AboutDialog::AboutDialog(QWidget *owner)
    : QDialog(owner), m_opener([](const QUrl &url) {
          // Nothing to tell the user when no browser takes it: the box stays
          // open and the address is on it to type elsewhere.
          [[maybe_unused]] const bool opened = QDesktopServices::openUrl(url);
      })
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About Program"));

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("aboutFrame"));

    auto *picture = new QLabel(frame);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setFixedSize(48, 48);
    picture->setPixmap(
        builtInApplicationIcon().pixmap(QSize(48, 48), picture->devicePixelRatioF()));

    auto *title = plainLabel(QString::fromLatin1(kProgramTitle), frame);
    title->setObjectName(QStringLiteral("programTitle"));
    title->setFont(pixelFont(font(), 13, true));
    ViewStyle::paintNavy(title);

    const QFont body = pixelFont(font(), 12);
    auto *invitation =
        plainLabel(QStringLiteral("   New Versions and Others\nPrograms You can Download:"), frame);
    invitation->setObjectName(QStringLiteral("invitation"));
    invitation->setFont(body);

    auto *homeLink = new LinkLabel(QStringLiteral("tomekeeper.org"), frame);
    homeLink->setObjectName(QStringLiteral("homeLink"));
    auto *orLabel = plainLabel(QStringLiteral("or"), frame);
    orLabel->setObjectName(QStringLiteral("orLabel"));
    auto *downloadsLink = new LinkLabel(QStringLiteral("tomekeeper.org/download"), frame);
    downloadsLink->setObjectName(QStringLiteral("downloadsLink"));
    orLabel->setFont(body);
    QFont linkFont = body;
    linkFont.setUnderline(true);
    homeLink->setFont(linkFont);
    downloadsLink->setFont(linkFont);
    homeLink->setAccessibleName(homePage().toString());
    downloadsLink->setAccessibleName(downloadsPage().toString());

    // The picture at the frame's top left; to its right the title, the
    // invitation and the links, the links indented under the text.
    auto *text = new QVBoxLayout;
    text->setSpacing(0);
    text->addWidget(title);
    text->addSpacing(30);
    text->addWidget(invitation);
    text->addSpacing(2);
    text->addLayout(indented(homeLink, 8));
    text->addLayout(indented(orLabel, 48));
    text->addLayout(indented(downloadsLink, 8));
    text->addStretch(1);

    auto *frameLayout = new QGridLayout(frame);
    frameLayout->setContentsMargins(16, 16, 16, 10);
    frameLayout->setHorizontalSpacing(32);
    frameLayout->addWidget(picture, 0, 0, Qt::AlignTop | Qt::AlignLeft);
    frameLayout->addLayout(text, 0, 1);
    frameLayout->setColumnStretch(1, 1);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setMinimumSize(121, 25);
    m_okButton->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(7);
    layout->addWidget(frame);
    layout->addWidget(m_okButton, 0, Qt::AlignHCenter);

    connect(m_okButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(homeLink, &LinkLabel::activated, this, [this] { openLink(homePage()); });
    connect(downloadsLink, &LinkLabel::activated, this, [this] { openLink(downloadsPage()); });

    // A fixed box, as small as the layout allows but never smaller than its
    // usual 283 x 218: larger fonts make it grow instead of cutting text off.
    setFixedSize(sizeHint().expandedTo(QSize(283, 218)));
}

void AboutDialog::setUrlOpener(UrlOpener opener)
{
    m_opener = std::move(opener);
}

void AboutDialog::openLink(const QUrl &url)
{
    m_opener(url);
}

void AboutDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_okButton->setFocus();
}
