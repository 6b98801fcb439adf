#include "commandfixture.h"
#include "commands/dropcommands.h"
#include "commands/runcommand.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QRegularExpression>
#include <QTest>

namespace {

// A catalogue written as text: "Section: Archive, Archive; Section:". An
// archive's zip file is /z/<name>.zip unless "name @path" says otherwise.
void fill(CatalogueModel &catalogue, const QString &text)
{
    for (const QString &section : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype colon = section.indexOf(u':');
        const int index = catalogue.appendSection(section.left(colon).trimmed());
        for (const QString &archive : section.mid(colon + 1).split(u',', Qt::SkipEmptyParts)) {
            const QString name = archive.section(" @", 0, 0).trimmed();
            const QString path = archive.section(" @", 1);
            catalogue.addArchive(index, name, path.isEmpty() ? "/z/" + name + ".zip" : path);
        }
    }
}

// The catalogue the same way, read back from the tree.
QString describe(const CatalogueModel &catalogue)
{
    QStringList sections;
    for (int s = 0; s < catalogue.nodeCount(); ++s) {
        if (!catalogue.isSection(s))
            continue;
        QStringList archives;
        for (int a : catalogue.archivesOf(s)) {
            QString archive = catalogue.node(a).name;
            if (catalogue.node(a).path != "/z/" + archive + ".zip")
                archive += " @" + catalogue.node(a).path;
            archives << archive;
        }
        sections << catalogue.node(s).name + ":" + (archives.isEmpty() ? "" : " ") +
                        archives.join(", ");
    }
    return sections.join("; ");
}

} // namespace

// The commands that look after the catalogue's sections and entries: create,
// rename and delete sections, rename archives, move the open archive to
// another section, take an archive out of the catalogue, show its path. After
// each, the catalogue is written as shut-down writes it and read back.
class TestCatalogueCommands : public QObject, CommandFixture {
    Q_OBJECT

    void select(const QString &name)
    {
        if (name.isEmpty())
            m_session->selectNode(-1);
        else
            m_session->selectNode(nodeNamed(name));
    }
    // The named archive as the open one, as opening it leaves the catalogue.
    void setOpen(const QString &name)
    {
        const int node = nodeNamed(name);
        m_session->setOpenNode(node);
        catalogue().setPicture(node, CatalogueNode::OpenArchivePicture);
    }
    QString openName() { return catalogue().node(m_session->openNode()).name; }
    // The node the next command works on is the one highlighted in the tree.
    bool selectionShown()
    {
        const int node = m_session->selectedNode();
        return node < 0 || m_session->catalogueSelection().isSelected(catalogue().modelIndex(node));
    }

    void run(Command command)
    {
        QVERIFY(runCommand(command, *m_ctx));
        QVERIFY(m_ui->verify());
    }

    // The INI text of a catalogue given as text.
    static QString iniOf(const QString &text)
    {
        CatalogueModel model;
        fill(model, text);
        QString ini;
        int number = 0;
        for (int i = 0; i < model.nodeCount(); ++i) {
            const CatalogueNode &node = model.node(i);
            if (node.level == 0)
                ini += QString("[Archive files %1]\r\nSection=%2\r\n").arg(++number).arg(node.name);
            else
                ini += node.name + "=" + node.path + "\r\n";
        }
        return ini;
    }

private Q_SLOTS:
    void init()
    {
        setUp({});
        // Most zip files named here do not exist: the file read back keeps them.
        m_session->settings().checkArchivesAtStart = false;
    }
    void cleanup() { tearDown(); }

    // A new section comes last and selected, unless its name is another
    // section's or one the settings file cannot keep.
    void createSection_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("typed"); // empty: cancelled
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("after");

        const QString before = "Books: Novels; Misc:";
        auto row = [&](const char *tag, const QString &typed, const QString &refusal,
                       const QString &after, bool russian = false) {
            QTest::newRow(tag) << russian << typed << refusal << after;
        };
        row("new name", "News", "", before + "; News:");
        row("the proposed name", "New Section", "", before + "; New Section:");
        row("another section's name", "Misc", "Such name of the section already exists!", before);
        row("other letter case", "misc", "", before + "; misc:");
        row("an archive's name", "Novels", "", before + "; Novels:");
        row("named Section", "Section", "", before + "; Section:");
        row("cancelled", "", "", before);
        row("inner blanks kept", "a  b", "", before + "; a  b:");
        row("with =", "a=b", "", before + "; a=b:");
        row("leading [", "[x]", "", before + "; [x]:");
        row("tab", "a\tb", "Name can not hold line breaks and other control characters (U+0009)!",
            before);
        row("russian, taken", u"Misc"_qs, u"Такое имя раздела уже существует!"_qs, before, true);
        row("russian, line break", "a\nb",
            u"Имя не может содержать переводы строк и другие управляющие символы (U+000A)!"_qs,
            before, true);
        row("russian, new", u"Новости"_qs, "", before + u"; Новости:"_qs, true);
    }
    void createSection()
    {
        QFETCH(bool, russian);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        QFETCH(QString, after);
        fill(catalogue(), "Books: Novels; Misc:");
        setOpen("Novels");
        select("Novels");
        if (russian)
            Messages::useRussian();

        m_ui->expectName(msg(MessageId::NewSectionTitle), msg(MessageId::NewSectionPrompt),
                         msg(MessageId::NewSectionName), typed);
        if (!refusal.isEmpty())
            m_ui->expectMessage(refusal);
        run(Command::CreateSection);

        QCOMPARE(describe(catalogue()), after);
        QCOMPARE(writtenCatalogue(), iniOf(after));
        QCOMPARE(m_session->openNode(), 1);
        const bool created = after != "Books: Novels; Misc:";
        QCOMPARE(m_session->selectedNode(), created ? catalogue().nodeCount() - 1 : 1);
        QVERIFY(m_session->catalogueSelection().isSelected(
            catalogue().modelIndex(m_session->selectedNode())));
    }

    void theProposedNameTwice()
    {
        for (int i = 0; i < 2; ++i)
            m_ui->expectName("Entering the name of the section",
                             "Input name of the section:", "New Section", "New Section");
        m_ui->expectMessage("Such name of the section already exists!");
        runCommand(Command::CreateSection, *m_ctx);
        runCommand(Command::CreateSection, *m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(describe(catalogue()), QString("New Section:"));
        QCOMPARE(writtenCatalogue(), QString("[Archive files 1]\r\nSection=New Section\r\n"));
    }

    // A section's name is compared with every node; an archive's with the
    // archives of its own section and every node after that section; the
    // node's own name counts too.
    void renameScope_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");

        const QString taken = "Such name of the section already exists!";
        auto row = [&](const char *tag, const QString &selected, const QString &typed,
                       const QString &refusal = {}) {
            QTest::newRow(tag) << selected << typed << refusal;
        };
        // Books: Novels, Poems; Misc: Essays, Notes; News: Daily
        row("section to its own name", "Misc", "Misc", taken);
        row("section to an earlier section", "Misc", "Books", taken);
        row("section to a later section", "Misc", "News", taken);
        row("section to an earlier archive", "Misc", "Novels", taken);
        row("section to its own archive", "Misc", "Essays", taken);
        row("section to a later archive", "Misc", "Daily", taken);
        row("section, other letter case", "Misc", "misc");
        row("section to Section", "Misc", "Section");
        row("section to a new name", "Books", "Library");
        row("archive to its own name", "Essays", "Essays", taken);
        row("archive to its section's other archive", "Essays", "Notes", taken);
        row("archive to a later section", "Essays", "News", taken);
        row("archive to a later section's archive", "Essays", "Daily", taken);
        row("archive to an earlier section's archive", "Essays", "Novels");
        row("archive to an earlier section", "Essays", "Books");
        row("archive to its own section", "Essays", "Misc");
        row("archive, other letter case", "Notes", "notes");
        row("last archive to an earlier one", "Daily", "Essays");
        row("archive to Section", "Essays", "sECTION",
            "The name \"sECTION\" is reserved, choose other name of the archive!");
        row("archive with line break", "Essays", "x\ny",
            "Name can not hold line breaks and other control characters (U+000A)!");
        row("cancelled", "Essays", "");
    }
    void renameScope()
    {
        QFETCH(QString, selected);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        const QString before = "Books: Novels, Poems; Misc: Essays, Notes; News: Daily";
        fill(catalogue(), before);
        const int node = nodeNamed(selected);
        const QString path = catalogue().node(node).path;
        select(selected);

        m_ui->expectName("Rename section or archive", "Pleas, input new Name:", selected, typed);
        if (!refusal.isEmpty())
            m_ui->expectMessage(refusal);
        run(Command::RenameNode);

        const bool renamed = refusal.isEmpty() && !typed.isEmpty();
        QCOMPARE(catalogue().node(node).name, renamed ? typed : selected);
        QCOMPARE(catalogue().node(node).path, path); // the zip file keeps its name
        QStringList names = before.split(QRegularExpression("[:;,] *"), Qt::SkipEmptyParts);
        if (renamed)
            names[node] = typed;
        QCOMPARE(catalogue().nodeNames(), names);
        QCOMPARE(writtenCatalogue(), iniOf(describe(catalogue())));
    }

    // Whatever the settings file has to escape is a name as typed: a section
    // created and an archive renamed with it read back from the file as given.
    void namesReadBackAsGiven_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("one blank") << " ";
        QTest::newRow("blanks only") << "   ";
        QTest::newRow("blanks at the ends") << " padded ";
        QTest::newRow("with =") << "x=y";
        QTest::newRow("= alone") << "=";
        QTest::newRow("leading [") << "[old]";
        QTest::newRow("leading ;") << ";semi";
        QTest::newRow("the escape mark") << "%%x%3D";
        QTest::newRow("no-break space at the start") << QString(QChar(0xA0)) + "x";
        QTest::newRow("cyrillic") << u" Романы = проза "_qs;
    }
    void namesReadBackAsGiven()
    {
        QFETCH(QString, name);
        fill(catalogue(), "Books: Novels");
        // The archive first: a section may bear an archive's name, not the reverse.
        select("Novels");
        m_ui->expectName("Rename section or archive", "Pleas, input new Name:", "Novels", name);
        run(Command::RenameNode);
        m_ui->expectName(msg(MessageId::NewSectionTitle), msg(MessageId::NewSectionPrompt),
                         msg(MessageId::NewSectionName), name);
        run(Command::CreateSection);
        QCOMPARE(catalogue().nodeNames(), (QStringList{"Books", name, name}));
        const QString written = writtenCatalogue();
        QVERIFY2(written.startsWith("[Archive files 1]\r\n"), qPrintable(written));
    }

    void renameNeedsANode()
    {
        fill(catalogue(), "Books: Novels");
        m_ui->expectMessage("Choose section or archive for renaming!");
        run(Command::RenameNode);
        Messages::useRussian();
        m_ui->expectMessage(u"Выберите раздел или архив для переименования!"_qs);
        run(Command::RenameNode);
        QCOMPARE(describe(catalogue()), QString("Books: Novels"));
    }

    // Renaming the open archive changes its name in the tree only: it stays
    // open, at its place, with its zip file and the status text it had.
    void renamingTheOpenArchive()
    {
        fill(catalogue(), "Books: Novels, Poems");
        setOpen("Poems");
        m_session->setStatusText("Open Archive: Books\\Poems");
        select("Poems");
        m_ui->expectName("", "", "Poems", "Verse");
        run(Command::RenameNode);
        QCOMPARE(m_session->openNode(), 2);
        QCOMPARE(catalogue().node(2).name, QString("Verse"));
        QCOMPARE(catalogue().node(2).path, QString("/z/Poems.zip"));
        QCOMPARE(catalogue().node(2).picture, int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(m_session->statusText(), QString("Open Archive: Books\\Poems"));
        QCOMPARE(writtenCatalogue(),
                 QString("[Archive files 1]\r\nSection=Books\r\nNovels=/z/Novels.zip\r\n"
                         "Verse=/z/Poems.zip\r\n"));
    }

    // Only an empty section goes, and only on Yes; the open archive's index
    // follows its node.
    void deleteSection_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("answer"); // -1: not asked
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("after");

        const QString before = "A: a1; Empty1:; B: b1, b2; Empty2:";
        auto row = [&](const char *tag, const QString &selected, int answer, const QString &warning,
                       const QString &after) {
            QTest::newRow(tag) << selected << answer << warning << after;
        };
        const QString notEmpty = "Possible delete only empty section!";
        row("empty, before the open archive", "Empty1", 1, "", "A: a1; B: b1, b2; Empty2:");
        row("empty, after the open archive", "Empty2", 1, "", "A: a1; Empty1:; B: b1, b2");
        row("answered No", "Empty1", 0, "", before);
        row("not empty", "B", -1, notEmpty, before);
        row("an archive selected", "a1", -1, notEmpty, before);
        row("the open archive selected", "b2", -1, notEmpty, before);
        row("nothing selected", "", -1, "", before);
    }
    void deleteSection()
    {
        QFETCH(QString, selected);
        QFETCH(int, answer);
        QFETCH(QString, warning);
        QFETCH(QString, after);
        fill(catalogue(), "A: a1; Empty1:; B: b1, b2; Empty2:");
        setOpen("b2");
        select(selected);

        if (!warning.isEmpty())
            m_ui->expectWarning(warning);
        if (answer >= 0)
            m_ui->expectYesNo("You really want to delete section \"" + selected + "\"?", answer);
        run(Command::DeleteSection);

        QCOMPARE(describe(catalogue()), after);
        QCOMPARE(openName(), QString("b2"));
        QVERIFY(selectionShown());
        QCOMPARE(catalogue().node(m_session->openNode()).picture,
                 int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(writtenCatalogue(), iniOf(after));
    }

    void deleteSectionAsksInRussian()
    {
        fill(catalogue(), u"Пусто:"_qs);
        select(u"Пусто"_qs);
        Messages::useRussian();
        m_ui->expectYesNo(u"Вы действительно хотите удалить раздел \"Пусто\"?"_qs, true);
        run(Command::DeleteSection);
        QCOMPARE(catalogue().nodeCount(), 0);
        QCOMPARE(writtenCatalogue(), QString());
    }

    // The open archive moves to the first place of the selected node's
    // section, stays open, and the status text names its new section.
    void moveOpenArchive_data()
    {
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("after");

        const QString before = "One: Novels, Poems; Two: Essays; Three: Daily, novels, Poems";
        auto row = [&](const char *tag, const QString &open, const QString &selected,
                       const QString &refusal, const QString &after) {
            QTest::newRow(tag) << open << selected << refusal << after;
        };
        // Three's "novels" differs from "Novels" in letter case only: another name.
        row("first to third, section selected", "Novels", "Three", "",
            "One: Poems; Two: Essays; Three: Novels, Daily, novels, Poems");
        row("first to third, archive selected", "Novels", "novels", "",
            "One: Poems; Two: Essays; Three: Novels, Daily, novels, Poems");
        row("third to first", "Daily", "One", "",
            "One: Daily, Novels, Poems; Two: Essays; Three: novels, Poems");
        row("to the section before", "Essays", "Novels", "",
            "One: Essays, Novels, Poems; Two:; Three: Daily, novels, Poems");
        row("name taken in the target", "Poems", "Three",
            "In chosen section archive with such name already exists!\r\n\r\n"
            "So carrying the archive impossible. Rename the archive!",
            before);
        row("own section selected", "Poems", "One",
            "Choose section, in which want to carry archive!", before);
        row("own section's archive selected", "Poems", "Novels",
            "Choose section, in which want to carry archive!", before);
        row("itself selected", "Essays", "Essays",
            "Choose section, in which want to carry archive!", before);
        row("nothing selected", "Essays", "", "", before);
        row("no archive open", "", "Three",
            "Choose and open archive, which it is necessary to carry!", before);
    }
    void moveOpenArchive()
    {
        QFETCH(QString, open);
        QFETCH(QString, selected);
        QFETCH(QString, refusal);
        QFETCH(QString, after);
        const QString before = "One: Novels, Poems; Two: Essays; Three: Daily, novels, Poems";
        fill(catalogue(), before);
        if (!open.isEmpty())
            setOpen(open);
        select(selected);
        m_session->setStatusText("before");

        if (!refusal.isEmpty())
            m_ui->expectRefusal(refusal);
        run(Command::MoveArchiveToSection);

        QCOMPARE(describe(catalogue()), after);
        QCOMPARE(writtenCatalogue(), iniOf(after));
        if (open.isEmpty()) {
            QCOMPARE(m_session->openNode(), -1);
            QCOMPARE(m_session->statusText(), QString("before"));
            return;
        }
        // Still the open archive, wherever it is now, and the only one
        // pictured open.
        const int node = m_session->openNode();
        QCOMPARE(catalogue().node(node).name, open);
        for (int i = 0; i < catalogue().nodeCount(); ++i)
            QCOMPARE(catalogue().node(i).picture == CatalogueNode::OpenArchivePicture, i == node);
        const bool moved = after != before;
        if (moved) {
            const int section = catalogue().sectionOf(node);
            QCOMPARE(node, section + 1); // first in its section
            QCOMPARE(m_session->statusText(),
                     "Open Archive: " + catalogue().node(section).name + "\\" + open);
        } else {
            QCOMPARE(m_session->statusText(), QString("before"));
        }
    }

    // There and back: the open index follows the node each time, the lists
    // stay parallel, and the status text follows the language of the moment.
    void moveThereAndBack()
    {
        fill(catalogue(), "One: Novels, Poems; Two: Essays; Three: Daily");
        setOpen("Novels");
        QCOMPARE(m_session->openNode(), 1);
        select("Three");
        run(Command::MoveArchiveToSection);
        QCOMPARE(m_session->openNode(), 5);
        QCOMPARE(catalogue().node(5).path, QString("/z/Novels.zip"));
        QCOMPARE(m_session->statusText(), QString("Open Archive: Three\\Novels"));

        select("One");
        Messages::useRussian();
        run(Command::MoveArchiveToSection);
        QCOMPARE(m_session->openNode(), 1);
        QCOMPARE(m_session->statusText(), u"Открыт архив: One\\Novels"_qs);
        QCOMPARE(describe(catalogue()), QString("One: Novels, Poems; Two: Essays; Three: Daily"));
        QCOMPARE(writtenCatalogue(), iniOf("One: Novels, Poems; Two: Essays; Three: Daily"));
    }

    // Out of the catalogue on Yes only; the zip file stays as it was, the
    // open archive's index follows its node, and the open one stays.
    void removeArchive_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("answer"); // -1: not asked
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("after");

        const QString before = "A: a1, a2; B: open, b2";
        auto row = [&](const char *tag, const QString &selected, int answer, const QString &refusal,
                       const QString &warning, const QString &after) {
            QTest::newRow(tag) << selected << answer << refusal << warning << after;
        };
        row("before the open archive", "a2", 1, "", "", "A: a1; B: open, b2");
        row("after the open archive", "b2", 1, "", "", "A: a1, a2; B: open");
        row("answered No or closed", "a1", 0, "", "", before);
        row("the open archive", "open", -1, "", "Possible delete only close archive!\r\n\"open\"?",
            before);
        row("a section selected", "A", -1, "Choose archive for removing!", "", before);
        row("nothing selected", "", -1, "Choose archive for removing!", "", before);
    }
    void removeArchive()
    {
        QFETCH(QString, selected);
        QFETCH(int, answer);
        QFETCH(QString, refusal);
        QFETCH(QString, warning);
        QFETCH(QString, after);
        fill(catalogue(), "A: a1, a2; B: open, b2");
        // Real zip files, to see that none is touched.
        QMap<QString, QByteArray> zips;
        for (int i = 0; i < catalogue().nodeCount(); ++i) {
            if (catalogue().isSection(i))
                continue;
            const QString zip = m_dir->filePath(catalogue().node(i).name + ".zip");
            zips[zip] = "PK\x05\x06" + catalogue().node(i).name.toUtf8();
            QVERIFY(TestFiles::write(zip, zips[zip]));
            catalogue().setArchivePath(i, zip);
        }
        setOpen("open");
        select(selected);

        if (!refusal.isEmpty())
            m_ui->expectRefusal(refusal);
        if (!warning.isEmpty())
            m_ui->expectWarning(warning);
        if (answer >= 0)
            m_ui->expectYesNo("You really want to delete archive:\r\n\"" + selected + "\"?",
                              answer);
        run(Command::RemoveArchive);

        QString described = describe(catalogue());
        described.remove(QRegularExpression(" @[^,;]*"));
        QCOMPARE(described, after);
        QCOMPARE(openName(), QString("open"));
        QVERIFY(selectionShown());
        for (auto it = zips.cbegin(); it != zips.cend(); ++it)
            QCOMPARE(TestFiles::read(it.key()), it.value());
        QString ini = writtenCatalogue();
        QCOMPARE(ini.replace(m_dir->path() + "/", "/z/"), iniOf(after));
    }

    void removeArchiveAsksInRussian()
    {
        fill(catalogue(), u"Книги: Романы, Стихи"_qs);
        setOpen(u"Стихи"_qs);
        Messages::useRussian();
        select(u"Стихи"_qs);
        m_ui->expectWarning(u"Открытый архив удалить нельзя!\r\n\"Стихи\"?"_qs);
        run(Command::RemoveArchive);
        select(u"Романы"_qs);
        m_ui->expectYesNo(u"Вы действительно хотите удалить архив:\r\n\"Романы\"?"_qs, true);
        run(Command::RemoveArchive);
        QCOMPARE(describe(catalogue()), u"Книги: Стихи"_qs);
        QCOMPARE(m_session->openNode(), 1);
    }

    // Every command that changes the catalogue leaves it in the settings file
    // at once, so that a program killed afterwards loses none of it.
    void eachChangeIsOnDiskAtOnce_data()
    {
        QTest::addColumn<int>("command"); // a Command; -1: archive a2 dropped on section B
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("after");
        auto row = [](const char *tag, int command, const QString &selected, const QString &after) {
            QTest::newRow(tag) << command << selected << after;
        };
        row("create section", int(Command::CreateSection), "A", "A: a1, a2; B: open; E:; C:");
        row("rename", int(Command::RenameNode), "E", "A: a1, a2; B: open; C:");
        row("delete section", int(Command::DeleteSection), "E", "A: a1, a2; B: open");
        row("move the open archive", int(Command::MoveArchiveToSection), "A",
            "A: open, a1, a2; B:; E:");
        row("remove archive", int(Command::RemoveArchive), "a2", "A: a1; B: open; E:");
        row("drop an archive on a section", -1, "", "A: a1; B: open, a2; E:");
        row("create archive", int(Command::CreateArchive), "E", "A: a1, a2; B: open; E: C");
    }
    void eachChangeIsOnDiskAtOnce()
    {
        QFETCH(int, command);
        QFETCH(QString, selected);
        QFETCH(QString, after);
        fill(catalogue(), "A: a1, a2; B: open; E:");
        setOpen("open");
        const QString ini = path("tomekeeper.ini");
        m_session->setProgramFiles(m_dir->path() + "/", ini);
        m_session->setCatalogueSaved(); // as read at start-up
        select(selected);
        switch (command) {
        case int(Command::CreateSection):
        case int(Command::RenameNode):
            m_ui->expectName({}, {}, {}, "C");
            break;
        case int(Command::DeleteSection):
        case int(Command::RemoveArchive):
            m_ui->expectYesNo({}, true);
            break;
        case int(Command::CreateArchive):
            QVERIFY(TestFiles::write(path("pages/c.htm"), "<html>c</html>"));
            m_ui->expectCreateArchive([this](CreateArchiveValues &v) {
                v.folder = m_dir->path();
                v.archiveName = "C";
                v.zipName = "C";
                v.pageFiles = {path("pages/c.htm")};
                return true;
            });
            break;
        default:
            break;
        }
        if (command < 0) {
            Commands::dropNodeOnNode(*m_ctx, nodeNamed("a2"), nodeNamed("B"));
            finishCommand(*m_ctx);
        } else {
            run(Command(command));
        }

        QString onDisk = QString::fromUtf8(TestFiles::read(ini));
        onDisk = onDisk.mid(onDisk.indexOf("[Archive files"));
        QCOMPARE(onDisk.replace(m_dir->path() + "/", "/z/"), iniOf(after));
    }

    void archivePath_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("refusal");

        QTest::newRow("an archive") << false << "Poems"
                                    << "Path To Archive \"Books\\Poems\":\r\n\r\n/z/Poems.zip"
                                    << "";
        QTest::newRow("an archive, russian")
            << true << "Poems" << u"Путь к архиву \"Books\\Poems\":\r\n\r\n/z/Poems.zip"_qs << "";
        QTest::newRow("a section") << false << "Books"
                                   << ""
                                   << "Select name of the archive, to which You Path!";
        QTest::newRow("a section, russian")
            << true << "Books"
            << "" << u"Выделите имя архива, к которому Вам нужен путь!"_qs;
        QTest::newRow("nothing") << false << ""
                                 << ""
                                 << "Select name of the archive, to which You Path!";
    }
    void archivePath()
    {
        QFETCH(bool, russian);
        QFETCH(QString, selected);
        QFETCH(QString, message);
        QFETCH(QString, refusal);
        fill(catalogue(), "Books: Novels, Poems");
        select(selected);
        if (russian)
            Messages::useRussian();
        if (!message.isEmpty())
            m_ui->expectMessage(message);
        if (!refusal.isEmpty())
            m_ui->expectRefusal(refusal);
        run(Command::ShowArchivePath);
        QCOMPARE(writtenCatalogue(), iniOf("Books: Novels, Poems"));
    }
};

QTEST_GUILESS_MAIN(TestCatalogueCommands)
#include "tst_cataloguecommands.moc"
