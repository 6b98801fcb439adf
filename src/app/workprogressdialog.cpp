#include "app/workprogressdialog.h"

#include "version.h"

#include <QCloseEvent>

WorkProgressDialog::WorkProgressDialog(const QString &label, QWidget *parent)
    : QProgressDialog(parent)
{
    setObjectName(QStringLiteral("workProgressDialog"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setLabelText(label);
    setCancelButton(nullptr);
    setWindowModality(Qt::ApplicationModal);
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(0);
    // Without a known total the bar keeps moving.
    setRange(0, 0);
}

void WorkProgressDialog::reject() {}

void WorkProgressDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
}
