#pragma once

#include "commands/dialogvalues.h"
#include "lang/boxtext.h"
#include "storage/longwork.h"

#include <QFuture>
#include <QString>
#include <QStringList>

// Everything the commands ask of the user or tell the user goes through this
// interface: the widget layer implements it with message boxes and dialogs,
// tests with a scripted fake. Texts arrive already in the active language; a
// box's text may hold a list (BoxText), which the box shows apart.
class UserInteraction : public LongWork {
public:
    // A plain box with the program's title and OK.
    virtual void showMessage(const BoxText &text) = 0;
    // An error box with OK (copy failures, a folder that cannot be created).
    virtual void showError(const BoxText &text) = 0;
    // A warning with OK.
    virtual void showWarning(const BoxText &text) = 0;
    // A warning with the single button Yes: a refused command.
    virtual void showRefusal(const BoxText &text) = 0;
    // A warning with Yes and No; true only when the user chose Yes.
    virtual bool askYesNo(const BoxText &text) = 0;
    // A warning with a button for each choice and Cancel: the index of the
    // choice made, or -1 for Cancel or a box closed without a choice.
    virtual int askChoice(const BoxText &text, const QStringList &choices) = 0;

    // The name input: a dialog titled caption with the label prompt and the
    // field filled with initial. The name typed, or empty when cancelled (OK
    // takes only a name of at least one character; blanks count).
    virtual QString askName(const QString &caption, const QString &prompt,
                            const QString &initial) = 0;
    // A file-open dialog; filter in Qt's form ("Files HTML (*.htm *.html)").
    // The chosen paths (at most one unless many), empty when cancelled.
    virtual QStringList askOpenFiles(const QString &caption, const QString &filter, bool many) = 0;
    // A file-save dialog; the path as the user gave it, empty when cancelled.
    virtual QString askSaveFile(const QString &filter) = 0;
    // The folder picker, starting in startFolder (or its own default place
    // when empty). It takes the name of a folder that does not exist yet after
    // asking whether to create it; it creates nothing. Empty when cancelled.
    virtual QString askFolder(const QString &caption, const QString &startFolder) = 0;

    // The settings dialog, filled from values; true when accepted, with values
    // changed to what the user left in it.
    virtual bool editSettings(SettingsDialogValues &values) = 0;
    // The create-archive dialog, the same way.
    virtual bool editCreateArchive(CreateArchiveValues &values) = 0;
    // The attach dialog, the same way, except that values come back also
    // when it is cancelled: the zip files chosen are offered again next time.
    virtual bool editAttach(AttachValues &values) = 0;

    // Opens a file or a web address with the desktop's default program, without
    // waiting for it; false when the desktop could not.
    virtual bool openWithDesktop(const QString &fileOrAddress) = 0;

    // The about box, until the user closes it. It is one box for the whole
    // session, made the first time and shown again afterwards.
    virtual void showAbout() = 0;

protected:
    // Long work: started on a worker thread; the user sees its progress and the
    // busy pointer and cannot give commands until it is done.
    void runWork(MessageId label, const std::function<void(WorkProgress &)> &work) final;

    // Returns once work has finished, showing label and its progress meanwhile.
    virtual void waitForWork(QFuture<void> work, const QString &label) = 0;
};
