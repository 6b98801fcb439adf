#pragma once

// The collection the tests of the check of all archives share: a catalogue
// with one archive for each problem the check finds, a clean one beside them,
// and working copies in the data folder.

#include "catalogue/cataloguemodel.h"
#include "check/collectioncheck.h"
#include "storage/listfile.h"
#include "storage/workrecord.h"
#include "testfiles.h"
#include "zip/ziptestkit.h"

#include <QDir>

namespace CheckCollection {

using ZipTestKit::RawEntry;

struct Collection {
    QString root;
    QList<CheckedArchive> archives; // in catalogue order
    QString dataFolder;
    QStringList idleWorkFolders;

    QString zip(const QString &name) const { return root + "/zips/" + name + ".zip"; }
    CheckInput input() const { return {archives, dataFolder, idleWorkFolders}; }
};

inline QByteArray list(const QByteArray &lines)
{
    return QByteArray(ListFile::Header) + "\r\n" + lines + ListFile::End;
}

inline bool writeZip(const QString &path, const QList<RawEntry> &entries)
{
    return TestFiles::write(path, ZipTestKit::buildZip(entries));
}

// Only the clean archive: nothing wrong.
inline Collection makeClean(const QString &root)
{
    Collection c{root, {}, root + "/data", {root + "/data/TEMP_ARCH", root + "/data/TEMP_ARCH2"}};
    writeZip(c.zip("clean"), {{"listfile.txt", list("Alpha=alpha.htm\r\n")},
                              {"alpha.htm", "<html>alpha</html>"},
                              {"alpha_files/pic.png", "png"},
                              {"alpha_files/frame.htm", "<html>frame</html>"},
                              {"sub/inner.htm", "<html>kept as a file</html>"},
                              {"notes.txt", "notes"}});
    c.archives.append({"Books", "Clean", c.zip("clean")});
    QDir().mkpath(root + "/data/TEMP_ARCH2"); // an empty working folder is nobody's leftover
    return c;
}

// Every problem the check knows, one archive or working copy each.
inline Collection make(const QString &root)
{
    Collection c = makeClean(root);
    c.archives.append({"Books", "Gone", c.zip("gone")});
    c.archives.append({"Books", "Twin", c.zip("clean")});

    // A stored page whose bytes changed after its CRC was taken.
    QByteArray broken = ZipTestKit::buildZip({{"listfile.txt", list("Alpha=alpha.htm\r\n")},
                                              {"alpha.htm", "<html>alpha</html>", false}});
    broken.replace("<html>alpha</html>", "<html>alphA</html>");
    TestFiles::write(c.zip("broken"), broken);
    c.archives.append({"Books", "Broken", c.zip("broken")});

    writeZip(c.zip("unsafe"), {{"listfile.txt", list("")}, {"../evil.htm", "evil"}});
    c.archives.append({"Books", "Unsafe", c.zip("unsafe")});
    writeZip(c.zip("nolist"), {{"alpha.htm", "<html>alpha</html>"}});
    c.archives.append({"Books", "NoList", c.zip("nolist")});
    writeZip(c.zip("garbled"),
             {{"listfile.txt", "Alpha=alpha.htm\r\n"}, {"alpha.htm", "<html>alpha</html>"}});
    c.archives.append({"Books", "Garbled", c.zip("garbled")});

    writeZip(c.zip("mixed"),
             {{"listfile.txt", list("Alpha=alpha.htm\r\nLost=lost.htm\r\nEvil=../evil.htm\r\n")},
              {"alpha.htm", "<html>alpha</html>"},
              {"alpha_files/pic.png", "png"},
              {"extra.htm", "<html>extra</html>"},
              {"orphan_files/pic.png", "png"},
              {"sub/inner.htm", "<html>kept as a file</html>"}});
    c.archives.append({"Other", "Mixed", c.zip("mixed")});
    QList<RawEntry> crowded;
    for (int i = 0; i < 20000; ++i)
        crowded.append({QByteArray("f") + QByteArray::number(i) + ".txt", {}, false});
    writeZip(c.zip("crowded"), crowded);
    c.archives.append({"Other", "Crowded", c.zip("crowded")});

    TestFiles::write(root + "/data/recovered-20260102-030405/alpha.htm", "<html>kept</html>");
    WorkRecord{c.zip("clean"), "Books", "Clean"}.write(root + "/data/recovered-20260102-030405");
    TestFiles::write(root + "/data/TEMP_ARCH/extra.htm", "<html>left</html>");
    WorkRecord{c.zip("mixed"), "Other", "Mixed"}.write(root + "/data/TEMP_ARCH");
    return c;
}

// What the check finds in make(), as "archive|code|detail" in report order.
inline QStringList expected(const Collection &c)
{
    return {"Clean|zip-shared|Books\\Twin",
            "Gone|zip-missing|",
            "Twin|zip-shared|Books\\Clean",
            "Broken|zip-damaged|\"alpha.htm\": its data fails the CRC check",
            "Unsafe|zip-damaged|\"../evil.htm\": the name has a \".\" or \"..\" folder",
            "NoList|list-missing|",
            "Garbled|list-unreadable|it has no header line; no page reads",
            "Mixed|list-refused-line|../evil.htm",
            "Mixed|page-missing|lost.htm",
            "Mixed|page-unlisted|extra.htm",
            "Mixed|folder-without-page|orphan_files/",
            "Crowded|list-missing|",
            "Crowded|past-limits|20000 files and the page list; an archive may hold at most 20000",
            "Mixed|leftover-copy|" + c.root + "/data/TEMP_ARCH",
            "Clean|recovered-copy|" + c.root + "/data/recovered-20260102-030405"};
}

inline QString describe(const CheckProblem &p)
{
    return p.archive + u'|' + CheckProblem::code(p.kind) + u'|' + p.detail;
}

inline void fillCatalogue(CatalogueModel &catalogue, const QList<CheckedArchive> &archives)
{
    QString section;
    for (const CheckedArchive &a : archives) {
        if (catalogue.nodeCount() == 0 || a.section != section)
            catalogue.appendSection(a.section);
        section = a.section;
        catalogue.appendArchive(a.archive, a.zipPath);
    }
}

} // namespace CheckCollection
