#include "catalogue/session.h"
#include "commands/availability.h"

#include <QSet>
#include <QTest>

namespace {

// The session states the table below is checked in, one column each.
enum State {
    NoArchive,
    OpenedNoPages, // an archive without pages (or that could not be unpacked)
    OpenedOnePage,
    OpenedThreePages,   // just opened: on the first page, nothing seen before
    BackOnFirstOfThree, // on the first page after moving
    MiddleOfThree,
    LastOfThree,
    LastPageDeleted, // the archive is still open, its list empty
    ListsHidden,     // three pages, just opened, the lists hidden
    StateCount
};

void enter(Session &session, State state)
{
    session.setListsHidden(state == ListsHidden);
    switch (state) {
    case NoArchive:
        return;
    case OpenedNoPages:
        session.setPageControlsEnabled(true);
        session.setNavigation(navigationAfterOpening(0));
        return;
    case OpenedOnePage:
        session.setPageControlsEnabled(true);
        session.setNavigation(navigationAfterOpening(1));
        return;
    case OpenedThreePages:
    case ListsHidden:
        session.setPageControlsEnabled(true);
        session.setNavigation(navigationAfterOpening(3));
        return;
    case BackOnFirstOfThree:
    case MiddleOfThree:
    case LastOfThree:
        session.setPageControlsEnabled(true);
        session.setNavigation(navigationFor(3, state - BackOnFirstOfThree));
        return;
    case LastPageDeleted:
        session.setPageControlsEnabled(true);
        session.setNavigation(navigationFor(1, 0));
        session.setPageControlsEnabled(false);
        return;
    case StateCount:
        return;
    }
}

} // namespace

// Which commands can be given in which state, as the window's enabled
// controls show it: one row per command, one column per state above.
class TestAvailability : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyCommand_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("onToolBar");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray always = "111111111";
        const QByteArray withPages = "011111101";
        QSet<int> listed;
        auto row = [&listed](const char *name, Command command, const QByteArray &states,
                             bool onToolBar = false) {
            QTest::newRow(name) << int(command) << onToolBar << states;
            listed.insert(int(command));
        };
        row("create section", Command::CreateSection, always);
        row("rename node", Command::RenameNode, always);
        row("delete section", Command::DeleteSection, always);
        row("create archive", Command::CreateArchive, always);
        row("attach archive", Command::AttachArchive, always);
        row("move archive", Command::MoveArchiveToSection, always);
        row("save archive as", Command::SaveArchiveAs, always);
        row("update archive", Command::UpdateArchive, withPages);
        row("new page list", Command::NewPageList, withPages);
        row("remove archive", Command::RemoveArchive, always);
        row("archive path", Command::ShowArchivePath, always);
        row("check all archives", Command::CheckAllArchives, always);
        row("add pages", Command::AddPages, withPages);
        row("search folder", Command::SearchFolder, withPages);
        row("add file", Command::AddFile, withPages);
        row("add folder", Command::AddFolder, withPages);
        row("rename page", Command::RenamePage, withPages);
        row("move page", Command::MovePageToArchive, withPages);
        row("save page", Command::SavePageToFolder, withPages);
        row("delete page", Command::DeletePage, withPages);
        row("page up", Command::MovePageUp, withPages);
        row("page down", Command::MovePageDown, withPages);
        row("open selected archive", Command::OpenSelectedArchive, always);
        row("show focused page", Command::ShowFocusedPage, withPages);
        row("first page", Command::FirstPage, "000001100");
        row("previous page", Command::PreviousPage, "000001100");
        row("return", Command::ReturnPage, "000011100");
        row("next page", Command::NextPage, "000111001");
        row("last page", Command::LastPage, "000111001");
        row("hide lists", Command::ToggleLists, always);
        row("print (menu)", Command::Print, always);
        row("print (tool button)", Command::Print, withPages, true);
        row("preview (menu)", Command::PrintPreview, always);
        row("preview (tool button)", Command::PrintPreview, withPages, true);
        row("find", Command::Find, withPages);
        row("settings", Command::Settings, always);
        row("English", Command::English, always);
        row("Russian", Command::Russian, always);
        row("about", Command::About, always);
        row("help", Command::Help, always);
        row("search all archives", Command::SearchAllArchives, always);
        row("show found page", Command::ShowFoundPage, always);
        row("files dropped", Command::DropFiles, always);
        row("pages dropped", Command::DropPages, always);
        row("archive dropped", Command::DropNode, always);
        if (listed.size() != CommandCount)
            QFAIL("a command has no row");
    }
    void everyCommand()
    {
        QFETCH(int, command);
        QFETCH(bool, onToolBar);
        QFETCH(QByteArray, expected);
        QCOMPARE(expected.size(), int(StateCount));
        QByteArray seen;
        for (int state = 0; state < StateCount; ++state) {
            Session session(WorkFolders::under(QStringLiteral("/nonexistent")));
            enter(session, State(state));
            const bool available = onToolBar ? isAvailableOnToolBar(Command(command), session)
                                             : isAvailable(Command(command), session);
            seen += available ? '1' : '0';
        }
        QCOMPARE(seen, expected);
    }
};

QTEST_GUILESS_MAIN(TestAvailability)
#include "tst_availability.moc"
