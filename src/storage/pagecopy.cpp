#include "storage/pagecopy.h"

#include "lang/cp1251.h"
#include "storage/archivebudget.h"
#include "storage/pagenames.h"
#include "storage/pagesearch.h"
#include "zip/entryname.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <optional>

namespace {

constexpr qint64 kChunk = 1 << 20;

StorageFailure refusal(StorageFailure::Kind kind, const QString &path)
{
    return {kind, path, 0, {}, QStringLiteral("the page is not taken in")};
}

StorageFailure notRead(const QString &path)
{
    return {StorageFailure::Kind::NotRead, path, errno, {},
            QStringLiteral("\"%1\" cannot be read").arg(path)};
}

StorageFailure notCreated(const QString &path)
{
    return {StorageFailure::Kind::NotCreated, path, errno, {},
            QStringLiteral("\"%1\" cannot be created").arg(path)};
}

QFileInfoList entriesOf(const QString &folder)
{
    return QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

bool isRealFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

bool isAscii(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Bytes that may be part of a file name in a reference; a folder name found
// right after one of them is only the tail of a longer name.
bool continuesName(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == '~' || c == '%';
}

// Whether a folder reference goes on into the folder at pos.
bool entersFolder(const QByteArray &html, qsizetype pos)
{
    if (pos >= html.size())
        return false;
    if (html.at(pos) == '/' || html.at(pos) == '\\')
        return true;
    const QByteArray three = html.mid(pos, 3).toUpper();
    return three == "%2F" || three == "%5C";
}

// Positions of name used as a folder in a reference.
QList<qsizetype> referencesTo(const QByteArray &html, const QByteArray &name)
{
    QList<qsizetype> found;
    for (qsizetype at = html.indexOf(name); at >= 0; at = html.indexOf(name, at + 1)) {
        if ((at == 0 || !continuesName(html.at(at - 1))) && entersFolder(html, at + name.size()))
            found << at;
    }
    return found;
}

enum class PageEncoding { Utf8, Windows1251, Unknown };

PageEncoding encodingOf(const QByteArray &html)
{
    if (html.startsWith("\xEF\xBB\xBF"))
        return PageEncoding::Utf8;
    static const QRegularExpression charset(
        QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_:.-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = charset.match(QString::fromLatin1(html.left(8192)));
    if (match.hasMatch()) {
        const QString name = match.captured(1).toLower();
        if (name == u"utf-8" || name == u"utf8")
            return PageEncoding::Utf8;
        if (name == u"windows-1251" || name == u"cp1251" || name == u"x-cp1251")
            return PageEncoding::Windows1251;
        return PageEncoding::Unknown;
    }
    return isValidUtf8(html) ? PageEncoding::Utf8 : PageEncoding::Unknown;
}

void addPercentForms(QList<std::pair<QByteArray, QByteArray>> &forms, const QByteArray &oldBytes,
                     const QByteArray &newBytes)
{
    // Browsers differ in what they leave unescaped; the sub-delimiters are
    // the usual difference.
    for (const QByteArray &keep : {QByteArray(), QByteArray("!$&'()*+,;=@")}) {
        const QByteArray o = oldBytes.toPercentEncoding(keep);
        const QByteArray n = newBytes.toPercentEncoding(keep);
        forms.append({o, n});
        forms.append({o.toLower(), n.toLower()});
    }
}

QByteArray hashOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

// What a page brings: its file, its companion folder and the files in it.
struct PageCopier::Incoming {
    QString path;
    QString name;          // its file name
    QString companion;     // its companion folder; empty when it has none
    QString folderName;    // the companion folder's name
    QString suffix;        // what the folder's name adds to the page's base name
    QStringList companionFiles;
    struct {
        std::uint64_t files = 0, bytes = 0, nameBytes = 0;
    } charge; // what it takes of the archive's budget

    explicit Incoming(const QString &sourcePath)
        : path(sourcePath), name(QFileInfo(sourcePath).fileName()),
          companion(companionFolderOf(QFileInfo(sourcePath).absolutePath(), name)),
          folderName(QFileInfo(companion).fileName()),
          suffix(companion.isEmpty() ? QString()
                                     : folderName.mid(PageNames::baseName(name).size())),
          companionFiles(filesBelow(companion))
    {
    }

    QString folderNameFor(const QString &pageName) const
    {
        return PageNames::baseName(pageName) + suffix;
    }

    static QStringList filesBelow(const QString &companion)
    {
        QStringList files;
        QList<QString> stack;
        if (!companion.isEmpty())
            stack << companion;
        while (!stack.isEmpty()) {
            for (const QFileInfo &entry : entriesOf(stack.takeLast())) {
                if (entry.isSymLink())
                    continue;
                if (entry.isDir())
                    stack << entry.filePath();
                else if (entry.isFile())
                    files << entry.filePath();
            }
        }
        return files;
    }
};

PageCopier::PageCopier(const QString &targetFolder) : m_target(targetFolder) {}

PageCopier::Result PageCopier::fail(const StorageFailure &failure)
{
    m_failure = failure;
    undo();
    return Result::Failed;
}

PageCopier::Result PageCopier::refuse(StorageFailure::Kind kind, const QString &path)
{
    m_failure = refusal(kind, path);
    m_fileName.clear();
    return Result::Refused;
}

void PageCopier::undo()
{
    // Only what this copy made itself: every name was free before it.
    for (auto it = m_created.crbegin(); it != m_created.crend(); ++it) {
        if (isRealFolder(*it))
            QDir().rmdir(*it);
        else
            QFile::remove(*it);
    }
    m_created.clear();
    m_taken.clear();
    m_takenFolders.clear();
    m_fileName.clear();
}

QString PageCopier::companionFolderOf(const QString &folder, const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString base = PageNames::baseName(fileName);
    for (const QString &suffix : {QStringLiteral(".files"), QStringLiteral("_files")}) {
        const QString path = folder + u'/' + base + suffix;
        if (isRealFolder(path))
            return path;
    }
    return {};
}

// Why the page may not come in at all: a name in its folder a zip could not
// keep (the page refers to those files by their names, so they could not be
// renamed; the folder's own name goes with the page's), or what the archive
// cannot hold. Counts what it would take.
std::optional<StorageFailure> PageCopier::refusalOf(Incoming &page)
{
    for (const QString &file : page.companionFiles) {
        const QString inFolder = QStringLiteral("f") + file.mid(page.companion.size());
        if (!EntryName::storingProblem(inFolder).isEmpty())
            return refusal(StorageFailure::Kind::NameNotStorable, file);
    }
    if (!m_budget)
        return std::nullopt;
    const QString folder = QFileInfo(page.path).absolutePath();
    std::uint64_t bytes = std::uint64_t(QFileInfo(page.path).size());
    std::uint64_t nameBytes = std::uint64_t(page.name.toUtf8().size());
    QString largest = page.path;
    std::uint64_t largestBytes = bytes;
    for (const QString &file : page.companionFiles) {
        const std::uint64_t size = std::uint64_t(qMax<qint64>(0, QFileInfo(file).size()));
        bytes += size;
        nameBytes += std::uint64_t(file.mid(folder.size() + 1).toUtf8().size());
        if (size > largestBytes) {
            largestBytes = size;
            largest = file;
        }
    }
    const std::uint64_t files = 1 + std::uint64_t(page.companionFiles.size());
    const ArchiveBudget::Verdict verdict = m_budget->check(files, bytes, largestBytes, nameBytes);
    if (verdict != ArchiveBudget::Verdict::Fits)
        return ArchiveBudget::refusal(
            verdict, verdict == ArchiveBudget::Verdict::FileTooBig ? largest : page.path);
    page.charge = {files, bytes, nameBytes};
    return std::nullopt;
}

PageCopier::Result PageCopier::copyPage(const QString &sourcePath)
{
    m_fileName.clear();
    m_failure = {};
    m_unstorableName.clear();
    m_taken.clear();
    m_takenFolders.clear();
    m_created.clear();

    if (!QFileInfo(sourcePath).isFile())
        return Result::NotAFile;
    if (!PageSearch::protectedFolderOf(sourcePath, m_protected).isEmpty())
        return refuse(StorageFailure::Kind::InProgramFolder, sourcePath);
    Incoming page(sourcePath);
    if (const std::optional<StorageFailure> refused = refusalOf(page)) {
        m_failure = *refused;
        return Result::Refused;
    }

    // A free name for the page and its folder together.
    QString name = PageNames::storable(page.name);
    const bool unstorable = !EntryName::storingProblem(name).isEmpty();
    if (unstorable) {
        name = EntryName::storableName(name);
        if (name.isEmpty())
            return refuse(StorageFailure::Kind::NameNotStorable, sourcePath);
    }
    name = PageNames::firstFree(name, [this, &page](const QString &candidate) {
        return PageNames::isTaken(m_target, candidate) ||
               (!page.companion.isEmpty() &&
                PageNames::isTaken(m_target, page.folderNameFor(candidate)));
    });
    const QString folderName = page.companion.isEmpty() ? QString() : page.folderNameFor(name);

    if (!isRealFolder(m_target) && !QDir().mkpath(m_target))
        return fail(notCreated(m_target));
    const Result copied = copyPageFile(page, m_target + u'/' + name, folderName);
    if (copied != Result::Copied)
        return copied;
    if (!page.companion.isEmpty()) {
        const QString folderCopy = m_target + u'/' + folderName;
        if (!QDir().mkdir(folderCopy))
            return fail(notCreated(folderCopy));
        m_created << folderCopy;
        if (!copyTree(page.companion, folderCopy))
            return fail(m_failure);
    }
    m_fileName = name;
    if (unstorable)
        m_unstorableName = page.name;
    m_created.clear();
    if (m_budget)
        m_budget->take(page.charge.files, page.charge.bytes, page.charge.nameBytes);
    return Result::Copied;
}

// The page file itself; its references to its folder follow the folder's new name.
PageCopier::Result PageCopier::copyPageFile(const Incoming &page, const QString &pageCopy,
                                            const QString &folderName)
{
    TakenFile taken{page.path, pageCopy, {}, {}};
    if (!page.companion.isEmpty() && folderName != page.folderName) {
        QFile in(page.path);
        if (!in.open(QIODevice::ReadOnly))
            return fail(notRead(page.path));
        QByteArray html = in.readAll();
        if (in.error() != QFileDevice::NoError)
            return fail(notRead(page.path));
        taken.sourceHash = hashOf(html);
        if (!rewriteFolderReferences(html, page.name, page.folderName, folderName))
            return refuse(StorageFailure::Kind::NotRenamable, page.path);
        QSaveFile out(pageCopy);
        m_created << pageCopy;
        if (!out.open(QIODevice::WriteOnly) || out.write(html) != html.size() || !out.commit())
            return fail(notCreated(pageCopy));
        taken.copyHash = hashOf(html);
    } else {
        m_created << pageCopy;
        const auto hash = copyFile(page.path, pageCopy);
        if (!hash)
            return fail(hash.failure());
        taken.sourceHash = taken.copyHash = *hash;
    }
    m_taken << taken;
    return Result::Copied;
}

bool PageCopier::copyTree(const QString &from, const QString &to)
{
    for (const QFileInfo &entry : entriesOf(from)) {
        if (entry.isSymLink())
            continue; // never followed: what it points to is not the page's
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir()) {
            if (!QDir().mkdir(target)) {
                m_failure = notCreated(target);
                return false;
            }
            m_created << target;
            if (!copyTree(entry.filePath(), target))
                return false;
        } else if (entry.isFile()) {
            m_created << target;
            const auto hash = copyFile(entry.filePath(), target);
            if (!hash) {
                m_failure = hash.failure();
                return false;
            }
            m_taken << TakenFile{entry.filePath(), target, *hash, *hash};
        }
    }
    m_takenFolders << from;
    return true;
}

Expected<QByteArray, StorageFailure> PageCopier::copyFile(const QString &source,
                                                          const QString &destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return notRead(source);
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return notCreated(destination);
    QCryptographicHash sum(QCryptographicHash::Sha256);
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0) {
            out.cancelWriting();
            return notRead(source);
        }
        if (got == 0)
            break;
        sum.addData(QByteArrayView(buffer.constData(), got));
        if (out.write(buffer.constData(), got) != got) {
            out.cancelWriting();
            return notCreated(destination);
        }
    }
    if (!out.commit())
        return notCreated(destination);
    return sum.result();
}

bool PageCopier::rewriteFolderReferences(QByteArray &html, const QString &pageFileName,
                                         const QString &oldName, const QString &newName)
{
    // A web archive keeps its parts MIME-encoded; a two-byte encoding hides
    // every name from a byte search.
    if (pageFileName.endsWith(QStringLiteral(".mht")) || html.startsWith("\xFF\xFE") ||
        html.startsWith("\xFE\xFF"))
        return false;

    QList<std::pair<QByteArray, QByteArray>> forms;
    if (isAscii(oldName) && isAscii(newName)) {
        // The same bytes in every encoding a saved page uses.
        forms.append({oldName.toLatin1(), newName.toLatin1()});
        addPercentForms(forms, oldName.toLatin1(), newName.toLatin1());
    } else {
        const PageEncoding encoding = encodingOf(html);
        if (encoding == PageEncoding::Unknown)
            return false;
        if (encoding == PageEncoding::Windows1251) {
            const std::optional<QByteArray> o = Cp1251::encode(oldName);
            const std::optional<QByteArray> n = Cp1251::encode(newName);
            if (!o || !n)
                return false;
            forms.append({*o, *n});
            addPercentForms(forms, *o, *n);
        } else {
            forms.append({oldName.toUtf8(), newName.toUtf8()});
        }
        addPercentForms(forms, oldName.toUtf8(), newName.toUtf8());
    }
    // Sorted longest first, so a shorter form never cuts into a longer one.
    std::sort(forms.begin(), forms.end(),
              [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    forms.erase(std::unique(forms.begin(), forms.end()), forms.end());

    // References to the new name already there would be taken for ours.
    for (const auto &form : std::as_const(forms)) {
        if (!referencesTo(html, form.second).isEmpty())
            return false;
    }
    QByteArray result = html;
    int rewritten = 0;
    for (const auto &form : std::as_const(forms)) {
        const QList<qsizetype> at = referencesTo(result, form.first);
        for (auto it = at.crbegin(); it != at.crend(); ++it) {
            result.replace(*it, form.first.size(), form.second);
            ++rewritten;
        }
    }
    if (rewritten == 0)
        return false; // the page names its folder in a way we do not know
    html = result;
    return true;
}
