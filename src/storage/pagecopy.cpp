#include "storage/pagecopy.h"

#include "lang/cp1251.h"
#include "lang/messages.h"
#include "storage/archivebudget.h"
#include "storage/archivestorage.h"
#include "storage/pagesearch.h"
#include "zip/entryname.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <optional>

namespace {

constexpr qint64 kChunk = 1 << 20;
const QString kCrLf = QStringLiteral("\r\n");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool nameInUse(const QString &folder, const QString &name)
{
    const QFileInfo info(folder + u'/' + name);
    return info.exists() || info.isSymLink();
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

PageCopier::PageCopier(const QString &targetFolder) : m_target(targetFolder) {}

PageCopier::Result PageCopier::fail(const QString &message)
{
    m_message = message;
    undo();
    return Result::Failed;
}

PageCopier::Result PageCopier::refuse(const QString &message)
{
    m_message = message;
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
    const QString base = ArchiveStorage::pageBaseName(fileName);
    for (const QString &suffix : {QStringLiteral(".files"), QStringLiteral("_files")}) {
        const QString path = folder + u'/' + base + suffix;
        if (isRealFolder(path))
            return path;
    }
    return {};
}

PageCopier::Result PageCopier::copyPage(const QString &sourcePath)
{
    m_fileName.clear();
    m_message.clear();
    m_notice.clear();
    m_taken.clear();
    m_takenFolders.clear();
    m_created.clear();

    const QFileInfo source(sourcePath);
    if (!source.isFile())
        return Result::NotAFile;
    if (!PageSearch::protectedFolderOf(sourcePath, m_protected).isEmpty())
        return refuse(msg(MessageId::AddRefusedProgramFolder) + kCrLf + native(sourcePath));

    const QString originalName = source.fileName();
    const QString companion = companionFolderOf(source.absolutePath(), originalName);
    const QString originalFolderName = QFileInfo(companion).fileName();
    const QString suffix =
        companion.isEmpty()
            ? QString()
            : originalFolderName.mid(ArchiveStorage::pageBaseName(originalName).size());

    // What the page brings, for the archive's limits.
    QStringList companionFiles;
    if (!companion.isEmpty()) {
        QList<QString> stack{companion};
        while (!stack.isEmpty()) {
            const QString folder = stack.takeLast();
            const QFileInfoList entries = QDir(folder).entryInfoList(
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                QDir::Unsorted);
            for (const QFileInfo &entry : entries) {
                if (entry.isSymLink())
                    continue;
                if (entry.isDir())
                    stack << entry.filePath();
                else if (entry.isFile())
                    companionFiles << entry.filePath();
            }
        }
    }
    // The page refers to the files of its folder by their names: one that a
    // zip could not keep as it is could not be renamed, so the page stays out.
    // (The folder's own name goes with the page's.)
    for (const QString &file : std::as_const(companionFiles)) {
        const QString inFolder = QStringLiteral("f") + file.mid(companion.size());
        if (!EntryName::storingProblem(inFolder).isEmpty())
            return refuse(msg(MessageId::NameNotStorable) + kCrLf + native(file));
    }

    struct {
        std::uint64_t files = 0, bytes = 0, nameBytes = 0;
    } charge;
    if (m_budget) {
        std::uint64_t bytes = std::uint64_t(source.size());
        std::uint64_t nameBytes = std::uint64_t(originalName.toUtf8().size());
        QString largest = sourcePath;
        std::uint64_t largestBytes = bytes;
        for (const QString &file : std::as_const(companionFiles)) {
            const std::uint64_t size = std::uint64_t(qMax<qint64>(0, QFileInfo(file).size()));
            bytes += size;
            nameBytes += std::uint64_t(file.mid(source.absolutePath().size() + 1).toUtf8().size());
            if (size > largestBytes) {
                largestBytes = size;
                largest = file;
            }
        }
        const std::uint64_t files = 1 + std::uint64_t(companionFiles.size());
        const ArchiveBudget::Verdict verdict =
            m_budget->check(files, bytes, largestBytes, nameBytes);
        if (verdict != ArchiveBudget::Verdict::Fits) {
            return refuse(ArchiveBudget::refusal(
                verdict, verdict == ArchiveBudget::Verdict::FileTooBig ? largest : sourcePath));
        }
        charge = {files, bytes, nameBytes};
    }

    // A free name for the page and its folder together.
    const auto folderNameFor = [&suffix](const QString &name) {
        return ArchiveStorage::pageBaseName(name) + suffix;
    };
    QString name = ArchiveStorage::storablePageFileName(originalName);
    const bool unstorable = !EntryName::storingProblem(name).isEmpty();
    if (unstorable) {
        name = EntryName::storableName(name);
        if (name.isEmpty())
            return refuse(msg(MessageId::NameNotStorable) + kCrLf + native(sourcePath));
    }
    while (nameInUse(m_target, name) ||
           (!companion.isEmpty() && nameInUse(m_target, folderNameFor(name))))
        name = ArchiveStorage::nextPageFileName(name);
    const QString folderName = companion.isEmpty() ? QString() : folderNameFor(name);

    if (!isRealFolder(m_target) && !QDir().mkpath(m_target))
        return fail(cannotCreateFailure(native(m_target)).text);

    const QString pageCopy = m_target + u'/' + name;
    TakenFile page{sourcePath, pageCopy, {}, {}};
    if (!companion.isEmpty() && folderName != originalFolderName) {
        QFile in(sourcePath);
        if (!in.open(QIODevice::ReadOnly))
            return fail(cannotOpenText(native(sourcePath)));
        QByteArray html = in.readAll();
        if (in.error() != QFileDevice::NoError)
            return fail(cannotOpenText(native(sourcePath)));
        page.sourceHash = hashOf(html);
        if (!rewriteFolderReferences(html, originalName, originalFolderName, folderName)) {
            return refuse(msg(MessageId::AddRefusedCannotRename) + kCrLf + native(sourcePath));
        }
        QSaveFile out(pageCopy);
        m_created << pageCopy;
        if (!out.open(QIODevice::WriteOnly) || out.write(html) != html.size() || !out.commit())
            return fail(cannotCreateFailure(native(pageCopy)).text);
        page.copyHash = hashOf(html);
    } else {
        m_created << pageCopy;
        if (!copyFile(sourcePath, pageCopy, &page.sourceHash))
            return fail(m_message);
        page.copyHash = page.sourceHash;
    }
    m_taken << page;

    if (!companion.isEmpty()) {
        const QString folderCopy = m_target + u'/' + folderName;
        if (!QDir().mkdir(folderCopy))
            return fail(cannotCreateFailure(native(folderCopy)).text);
        m_created << folderCopy;
        if (!copyTree(companion, folderCopy))
            return fail(m_message);
    }
    m_fileName = name;
    if (unstorable)
        m_notice = msg(MessageId::NameMadeStorable).arg(originalName, name);
    m_created.clear();
    if (m_budget)
        m_budget->take(charge.files, charge.bytes, charge.nameBytes);
    return Result::Copied;
}

bool PageCopier::copyTree(const QString &from, const QString &to)
{
    const QFileInfoList entries = QDir(from).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink())
            continue; // never followed: what it points to is not the page's
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir()) {
            if (!QDir().mkdir(target)) {
                m_message = cannotCreateFailure(native(target)).text;
                return false;
            }
            m_created << target;
            if (!copyTree(entry.filePath(), target))
                return false;
        } else if (entry.isFile()) {
            m_created << target;
            TakenFile file{entry.filePath(), target, {}, {}};
            if (!copyFile(entry.filePath(), target, &file.sourceHash))
                return false;
            file.copyHash = file.sourceHash;
            m_taken << file;
        }
    }
    m_takenFolders << from;
    return true;
}

bool PageCopier::copyFile(const QString &source, const QString &destination, QByteArray *hash)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        m_message = cannotOpenText(native(source));
        return false;
    }
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly)) {
        m_message = cannotCreateFailure(native(destination)).text;
        return false;
    }
    QCryptographicHash sum(QCryptographicHash::Sha256);
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0) {
            out.cancelWriting();
            m_message = cannotOpenText(native(source));
            return false;
        }
        if (got == 0)
            break;
        sum.addData(QByteArrayView(buffer.constData(), got));
        if (out.write(buffer.constData(), got) != got) {
            out.cancelWriting();
            m_message = cannotCreateFailure(native(destination)).text;
            return false;
        }
    }
    if (!out.commit()) {
        m_message = cannotCreateFailure(native(destination)).text;
        return false;
    }
    if (hash)
        *hash = sum.result();
    return true;
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
