#pragma once

#include "catalogue/session.h"
#include "commands/command.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "testzips.h"

#include <QAbstractItemModelTester>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// What the command tests start from: a temporary folder, a scripted user, a
// page view that records its calls, a session with its working folders in
// the temporary folder, and the context the commands run in. A test class
// derives from it and calls setUp() from init() and tearDown() from cleanup(),
// so that every test function starts afresh. The page list model is watched
// by QAbstractItemModelTester throughout: every command keeps it consistent.
class CommandFixture {
protected:
    // A new temporary folder, then makeSession() with the working folders
    // below dataFolder in it ("" for the temporary folder itself).
    void setUp(const QString &dataFolder = QStringLiteral("data"));
    // A new temporary folder only: for set-ups that need it before the session.
    void makeFolder();
    // The user, the view, the session over these working folders and the context.
    void makeSession(const WorkFolders &folders, const QString &executableFolder = {});
    // Everything gone again, in the order it was made, reversed; English texts.
    void tearDown();

    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    QString work() const { return m_session->archive().workFolder(); }
    OpenArchive &archive() { return m_session->archive(); }
    CatalogueModel &catalogue() { return m_session->catalogue(); }
    PageListModel &pages() { return m_session->pages(); }
    QStringList titles() { return pages().titles(); }
    QStringList fileNames() { return pages().fileNames(); }
    // The node made current and selected in the tree, as a click does.
    void select(int node);
    // The node index of the catalogue entry with that name; -1 when none.
    int nodeNamed(const QString &name) const;
    // The rows selected in the page list, in order.
    QList<int> selectedRows() const;

    // The catalogue sections of tomekeeper.ini as shut-down writes them,
    // from the first "[Archive files" on; what went wrong instead when the
    // file could not be written or read back gives other names or paths.
    QString writtenCatalogue();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<RecordingPageView> m_view;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<QAbstractItemModelTester> m_pagesTester;
    std::unique_ptr<CommandContext> m_ctx;
};

// Zips and folders as the command tests check them.
namespace CommandFiles {

// A folder in which nothing can be created or replaced, even by root (which
// needs chattr); false where that cannot be arranged.
bool lockFolder(const QString &path, bool lock);
// Writes a zip as the program does, from files (path → bytes) laid out in
// stage first, with a list file of pages ("title=file" each); with pages
// null, no list file unless files bring one. False when it could not.
bool writeZip(const QString &zipPath, const TestZips::Files &files, const QStringList *pages,
              const QString &stage);
// The pages listed in a zip's list file, "title=file" each; {"unreadable"}
// when there is none that reads. peek: a scratch folder.
QStringList listOf(const QString &zipPath, const QString &peek);
// The same after Info-ZIP found every entry sound ({"damaged"} when not),
// with the zip's files (path → bytes) in files when it is given.
QStringList checkedListOf(const QString &zipPath, const QString &peek,
                          TestZips::Files *files = nullptr);

} // namespace CommandFiles
