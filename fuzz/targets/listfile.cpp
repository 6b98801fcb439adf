// The page list file of an archive, as another program or an older copy of
// this one may have written it. What is read must be written back so that it
// reads the same, and a page appended to it (a page moved into that archive)
// must leave every other page's line as it was.

#include "fuzzsupport.h"
#include "storage/listfile.h"
#include "zip/zipguard.h"

namespace {

QString described(const QStringList &titles, const QStringList &files)
{
    QStringList lines;
    for (qsizetype i = 0; i < titles.size() && i < files.size(); ++i)
        lines << titles.at(i) + u'=' + files.at(i);
    return FuzzSupport::shown(lines.join(QStringLiteral(" | ")));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const FuzzSupport::CpuBudget budget;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList titles;
    QStringList files;
    const ListFileRead read = ListFile::parseChecked(bytes, titles, files);
    FUZZ_CHECK(titles.size() == files.size(), QStringLiteral("titles and files differ in number"));
    if (!read.ok()) {
        FUZZ_CHECK(titles.isEmpty(), QStringLiteral("a list that is not read gave pages"));
        return 0;
    }
    for (const QString &file : std::as_const(files))
        FUZZ_CHECK(ListFile::unsafeFileNameReason(file).isEmpty(), FuzzSupport::shown(file));

    QStringList writtenTitles;
    QStringList writtenFiles;
    const QByteArray written = ListFile::compose(titles, files);
    FUZZ_CHECK(ListFile::parseChecked(written, writtenTitles, writtenFiles).ok(),
               QStringLiteral("what was written cannot be read"));
    FUZZ_CHECK(writtenTitles == titles && writtenFiles == files,
               QStringLiteral("read %1, written and read back %2")
                   .arg(described(titles, files), described(writtenTitles, writtenFiles)));

    // Appending works on the file as it is, not on what was read of it. A
    // list as long as an archive allows takes no more pages.
    if (titles.size() >= qsizetype(ZipLimits::kMaxEntries))
        return 0;
    const QString title = QStringLiteral("Добавлена=страница");
    const QString file = QStringLiteral("добавлена.htm");
    QStringList appendedTitles;
    QStringList appendedFiles;
    const QByteArray appended = ListFile::appendEntry(bytes, title, file);
    FUZZ_CHECK(ListFile::parseChecked(appended, appendedTitles, appendedFiles).ok(),
               QStringLiteral("the list cannot be read after a page was appended"));
    // A list none of whose lines after the header ends in CR is read as
    // having no pages; appending gives its lines CR LF, and they are read.
    const bool linesRead = bytes.contains("]\r");
    FUZZ_CHECK(!appendedTitles.isEmpty() && appendedTitles.last() == u"Добавлена-страница" &&
                   appendedFiles.last() == file &&
                   (!linesRead || (appendedTitles.mid(0, titles.size()) == titles &&
                                   appendedFiles.mid(0, files.size()) == files &&
                                   appendedTitles.size() == titles.size() + 1)),
               QStringLiteral("read %1, after a page was appended %2")
                   .arg(described(titles, files), described(appendedTitles, appendedFiles)));
    return 0;
}
