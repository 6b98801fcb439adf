#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QPushButton;

// The about box: the program's name and version, its picture and two links to
// the home page. Its texts are the same in both interface languages. Each
// owner window has one, created on first use and shown again afterwards.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    using UrlOpener = std::function<void(const QUrl &)>;

    // The owner's about box: created as the owner's child the first time,
    // the same object every time after.
    static AboutDialog *of(QWidget *owner);
    // Shows the owner's about box modally until OK (or Esc) closes it.
    static void showFor(QWidget *owner);

    static QUrl homePage();
    static QUrl downloadsPage();

    // Who opens a clicked link; the desktop's web browser unless replaced.
    void setUrlOpener(UrlOpener opener);

protected:
    void showEvent(QShowEvent *event) override;

private:
    explicit AboutDialog(QWidget *owner);
    void openLink(const QUrl &url);

    UrlOpener m_opener;
    QPushButton *m_okButton = nullptr;
};
