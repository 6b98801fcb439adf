#pragma once

#include <QProgressDialog>

// The progress of long work: modal, so no command can start meanwhile, and
// with no way to close it before the work is done (the work cannot be
// stopped half-way without leaving things half done).
class WorkProgressDialog : public QProgressDialog {
    Q_OBJECT
public:
    WorkProgressDialog(const QString &label, QWidget *parent);

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
};
