// tomekeeper.ini as a user may have edited it by hand, or as an older copy of
// the program wrote it (line by line UTF-8 or Windows-1251). What is read is
// written and read again and must come back the same; and any name the
// catalogue may hold must survive the file's escaping.

#include "catalogue/cataloguemodel.h"
#include "catalogue/settingsfile.h"
#include "fuzzsupport.h"

namespace {

QString described(const CatalogueModel &catalogue)
{
    QStringList nodes;
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        const CatalogueNode &node = catalogue.node(i);
        nodes << (node.level == 0 ? QStringLiteral("[%1]").arg(node.name)
                                  : QStringLiteral("%1=%2").arg(node.name, node.path));
    }
    return FuzzSupport::shown(nodes.join(u' '));
}

bool sameCatalogue(const CatalogueModel &a, const CatalogueModel &b)
{
    if (a.nodeCount() != b.nodeCount())
        return false;
    for (int i = 0; i < a.nodeCount(); ++i) {
        const CatalogueNode &x = a.node(i);
        const CatalogueNode &y = b.node(i);
        if (x.level != y.level || x.name != y.name || x.path != y.path)
            return false;
    }
    return true;
}

bool sameSettings(const Settings &a, const Settings &b)
{
    return a.defaultArchiveFolder == b.defaultArchiveFolder &&
           a.deleteOriginals == b.deleteOriginals && a.offline == b.offline &&
           a.checkArchivesAtStart == b.checkArchivesAtStart &&
           a.russianInterface == b.russianInterface && a.rememberWindow == b.rememberWindow;
}

// Writes settings and catalogue and reads them back; checks they are the
// same. Settings that never came from a file (no "Parameters" was read) are
// not compared: the program starts without a default archive folder, which
// the next start reads as the program's folder. An archive whose zip is not
// there is kept, and is reported missing again on the next start.
void checkRoundTrip(const Settings &settings, bool fromFile, const WindowGeometry &window,
                    const CatalogueModel &catalogue, const QStringList &missing)
{
    const QString programFolder = FuzzSupport::scratch().path();
    const QString path = FuzzSupport::scratch().filePath(QStringLiteral("written.ini"));
    QString error;
    FUZZ_CHECK(SettingsFile::write(path, settings, window, catalogue, &error), error);
    Settings back;
    CatalogueModel backCatalogue;
    const SettingsFile::ReadResult read =
        SettingsFile::read(path, programFolder, back, backCatalogue);
    FUZZ_CHECK(read.found && read.hasParameters, QStringLiteral("what was written is not found"));
    FUZZ_CHECK(!fromFile || sameSettings(back, settings), QStringLiteral("the settings changed"));
    FUZZ_CHECK(!fromFile || !settings.rememberWindow || read.geometry == window,
               QStringLiteral("the window changed"));
    FUZZ_CHECK(read.missingArchives == missing,
               QStringLiteral("missing before: %1, after: %2")
                   .arg(FuzzSupport::shown(missing.join(u' ')),
                        FuzzSupport::shown(read.missingArchives.join(u' '))));
    FUZZ_CHECK(sameCatalogue(backCatalogue, catalogue),
               QStringLiteral("written %1, read back %2")
                   .arg(described(catalogue), described(backCatalogue)));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const FuzzSupport::CpuBudget budget;
    const QString programFolder = FuzzSupport::scratch().path();
    const QString path =
        FuzzSupport::writeScratchFile(QStringLiteral("tomekeeper.ini"), data, size);
    Settings settings;
    CatalogueModel catalogue;
    const SettingsFile::ReadResult read = SettingsFile::read(path, programFolder, settings, catalogue);
    FUZZ_CHECK(read.found, QStringLiteral("the file was not found"));
    checkRoundTrip(settings, read.hasParameters, read.geometry.value_or(WindowGeometry{}),
                   catalogue, read.missingArchives);

    // The input as a name and a path, in every place the catalogue has for them.
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    Settings unchecked;
    unchecked.defaultArchiveFolder = programFolder + u'/';
    unchecked.checkArchivesAtStart = false; // the zips need not exist
    CatalogueModel named;
    named.appendSection(text);
    named.appendArchive(text, text);
    named.appendArchive(QStringLiteral("Section"), text);
    named.appendSection(QString());
    named.appendArchive(QString(), QString());
    checkRoundTrip(unchecked, true, WindowGeometry{}, named, {});
    return 0;
}
