#include "search/indexstore.h"

#include "search/indexdatabase.h"
#include "search/storedtext.h"
#include "search/wordtokenizer.h"

#include <QSqlError>
#include <QVariant>

namespace {

// Qt binds a null string as NULL; the columns hold empty strings instead.
QString orEmpty(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

QByteArray orEmpty(const QByteArray &value)
{
    return value.isNull() ? QByteArray("") : value;
}

} // namespace

IndexStore::IndexStore(IndexDatabase &db)
    : m_db(db), m_words(std::make_unique<WordTokenizer>()), m_insertPage(db.database()),
      m_insertWords(db.database()), m_deleteWords(db.database()), m_pageText(db.database()),
      m_deletePage(db.database()), m_pagesOf(db.database()), m_textByContent(db.database())
{
    m_insertPage.prepare(
        QStringLiteral("INSERT INTO pages(archive_id, file, title, page_title, crc, size, body) "
                       "VALUES(?, ?, ?, ?, ?, ?, ?)"));
    // The text goes in as UTF-8 bytes, the form the tokenizer reads, with no
    // detour through UTF-16.
    m_insertWords.prepare(
        QStringLiteral("INSERT INTO page_words(rowid, title, body) VALUES(?, ?, ?)"));
    m_deleteWords.prepare(QStringLiteral(
        "INSERT INTO page_words(page_words, rowid, title, body) VALUES('delete', ?, ?, ?)"));
    m_pageText.prepare(QStringLiteral("SELECT title, page_title, body FROM pages WHERE id = ?"));
    m_deletePage.prepare(QStringLiteral("DELETE FROM pages WHERE id = ?"));
    m_pagesOf.prepare(QStringLiteral(
        "SELECT id, file, title, page_title, crc, size FROM pages WHERE archive_id = ?"));
    m_textByContent.prepare(
        QStringLiteral("SELECT page_title, body FROM pages WHERE crc = ? AND size = ? LIMIT 1"));
}

IndexStore::~IndexStore() = default;

IndexStore::PreparedText IndexStore::prepare(const QByteArray &utf8, WordTokenizer &words)
{
    PreparedText prepared;
    prepared.text = utf8;
    prepared.packed = StoredText::pack(utf8);
    prepared.tokens = Fts5Words::tokenizeDocument(
        std::string_view(utf8.constData(), std::size_t(utf8.size())), words);
    return prepared;
}

bool IndexStore::run(QSqlQuery &query)
{
    const bool ok = m_db.exec(query);
    if (query.isSelect())
        return ok;
    m_lastInsertId = query.lastInsertId().toLongLong();
    query.finish();
    return ok;
}

bool IndexStore::begin()
{
    if (m_inTransaction)
        return true;
    m_inTransaction = m_db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    m_transactionAge.start();
    return m_inTransaction;
}

bool IndexStore::commitIfDue()
{
    if (m_inTransaction && m_transactionAge.elapsed() < kCommitEveryMs)
        return true;
    return commit() && begin();
}

bool IndexStore::commit()
{
    if (!m_inTransaction)
        return true;
    m_inTransaction = false;
    if (m_db.exec(QStringLiteral("COMMIT")))
        return true;
    m_db.exec(QStringLiteral("ROLLBACK"));
    return false;
}

void IndexStore::rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    m_db.exec(QStringLiteral("ROLLBACK"));
}

QByteArray IndexStore::titleWords(const QString &title, const QByteArray &pageTitle)
{
    const QString own = QString::fromUtf8(pageTitle).simplified();
    if (own.isEmpty() || own.compare(title.simplified(), Qt::CaseInsensitive) == 0)
        return title.toUtf8();
    return (title + u' ' + own).toUtf8();
}

namespace {

const char kArchiveColumns[] =
    "SELECT id, zip_path, name, section, zip_size, zip_mtime, zip_inode, note FROM archives";

IndexStore::Archive archiveAt(const QSqlQuery &query)
{
    IndexStore::Archive archive;
    archive.id = query.value(0).toLongLong();
    archive.zipPath = query.value(1).toString();
    archive.name = query.value(2).toString();
    archive.section = query.value(3).toString();
    const qint64 size = query.value(4).toLongLong();
    if (size >= 0) {
        ZipReader::FileStamp stamp;
        stamp.size = std::uint64_t(size);
        stamp.modifiedNs = query.value(5).toLongLong();
        stamp.inode = std::uint64_t(query.value(6).toLongLong());
        archive.stamp = stamp;
    }
    archive.note = query.value(7).toString();
    return archive;
}

} // namespace

std::optional<QList<IndexStore::Archive>> IndexStore::archives()
{
    QSqlQuery query(m_db.database());
    query.prepare(QLatin1String(kArchiveColumns));
    if (!run(query))
        return std::nullopt;
    QList<Archive> result;
    while (query.next())
        result << archiveAt(query);
    return result;
}

std::optional<IndexStore::Archive> IndexStore::archive(const QString &zipPath)
{
    QSqlQuery query(m_db.database());
    query.prepare(QLatin1String(kArchiveColumns) + QLatin1String(" WHERE zip_path = ?"));
    query.addBindValue(orEmpty(zipPath));
    if (!run(query) || !query.next())
        return std::nullopt;
    return archiveAt(query);
}

std::optional<qint64> IndexStore::addArchive(const QString &zipPath, const QString &name,
                                             const QString &section)
{
    QSqlQuery query(m_db.database());
    query.prepare(QStringLiteral("INSERT INTO archives(zip_path, name, section) VALUES(?, ?, ?)"));
    query.addBindValue(orEmpty(zipPath));
    query.addBindValue(orEmpty(name));
    query.addBindValue(orEmpty(section));
    if (!run(query))
        return std::nullopt;
    return m_lastInsertId;
}

bool IndexStore::setArchiveNames(qint64 id, const QString &name, const QString &section)
{
    QSqlQuery query(m_db.database());
    query.prepare(QStringLiteral("UPDATE archives SET name = ?, section = ? WHERE id = ?"));
    query.addBindValue(orEmpty(name));
    query.addBindValue(orEmpty(section));
    query.addBindValue(id);
    return run(query);
}

bool IndexStore::setArchiveState(qint64 id, const std::optional<ZipReader::FileStamp> &stamp,
                                 const QString &note)
{
    QSqlQuery query(m_db.database());
    query.prepare(QStringLiteral("UPDATE archives SET zip_size = ?, zip_mtime = ?, zip_inode = ?, "
                                 "note = ? WHERE id = ?"));
    query.addBindValue(stamp ? qint64(stamp->size) : qint64(-1));
    query.addBindValue(stamp ? qint64(stamp->modifiedNs) : qint64(-1));
    query.addBindValue(stamp ? qint64(stamp->inode) : qint64(-1));
    query.addBindValue(orEmpty(note));
    query.addBindValue(id);
    return run(query);
}

bool IndexStore::removeArchive(qint64 id)
{
    const auto list = pages(id);
    if (!list)
        return false;
    for (const Page &page : *list) {
        if (!removePage(page.id))
            return false;
    }
    QSqlQuery query(m_db.database());
    query.prepare(QStringLiteral("DELETE FROM archives WHERE id = ?"));
    query.addBindValue(id);
    return run(query);
}

std::optional<QList<IndexStore::Page>> IndexStore::pages(qint64 archiveId)
{
    m_pagesOf.addBindValue(archiveId);
    if (!run(m_pagesOf))
        return std::nullopt;
    QList<Page> result;
    while (m_pagesOf.next()) {
        Page page;
        page.id = m_pagesOf.value(0).toLongLong();
        page.file = m_pagesOf.value(1).toString();
        page.title = m_pagesOf.value(2).toString();
        page.pageTitle = m_pagesOf.value(3).toByteArray();
        page.crc = std::uint32_t(m_pagesOf.value(4).toLongLong());
        page.size = std::uint64_t(m_pagesOf.value(5).toLongLong());
        result << page;
    }
    m_pagesOf.finish();
    return result;
}

bool IndexStore::addWords(qint64 id, const QByteArray &title, const QByteArray &body)
{
    m_insertWords.addBindValue(id);
    m_insertWords.addBindValue(orEmpty(title));
    m_insertWords.addBindValue(orEmpty(body));
    ++m_wordWrites;
    return run(m_insertWords);
}

bool IndexStore::removeWords(qint64 id, const QByteArray &title, const QByteArray &body)
{
    m_deleteWords.addBindValue(id);
    m_deleteWords.addBindValue(orEmpty(title));
    m_deleteWords.addBindValue(orEmpty(body));
    ++m_wordWrites;
    return run(m_deleteWords);
}

std::optional<qint64> IndexStore::addPage(qint64 archiveId, const Page &page,
                                          const PreparedText &text)
{
    if (text.packed.isEmpty())
        return std::nullopt;
    m_insertPage.addBindValue(archiveId);
    m_insertPage.addBindValue(orEmpty(page.file));
    m_insertPage.addBindValue(orEmpty(page.title));
    m_insertPage.addBindValue(orEmpty(page.pageTitle));
    m_insertPage.addBindValue(qint64(page.crc));
    m_insertPage.addBindValue(qint64(page.size));
    m_insertPage.addBindValue(text.packed);
    if (!run(m_insertPage))
        return std::nullopt;
    const qint64 id = m_lastInsertId;
    const Fts5Words::Replay replay(text.text, text.tokens);
    if (!addWords(id, titleWords(page.title, page.pageTitle), text.text))
        return std::nullopt;
    return id;
}

std::optional<qint64> IndexStore::addPage(qint64 archiveId, const Page &page, const Text &text)
{
    const auto body = StoredText::unpack(text.packedBody);
    if (!body)
        return std::nullopt;
    Page copy = page;
    copy.pageTitle = text.pageTitle;
    return addPage(archiveId, copy, prepare(*body, *m_words));
}

bool IndexStore::removePage(qint64 id)
{
    m_pageText.addBindValue(id);
    if (!run(m_pageText))
        return false;
    if (m_pageText.next()) {
        const QString title = m_pageText.value(0).toString();
        const QByteArray pageTitle = m_pageText.value(1).toByteArray();
        const auto body = StoredText::unpack(m_pageText.value(2).toByteArray());
        m_pageText.finish();
        if (!body)
            return false;
        if (!removeWords(id, titleWords(title, pageTitle), *body))
            return false;
    } else {
        m_pageText.finish();
    }
    m_deletePage.addBindValue(id);
    return run(m_deletePage);
}

bool IndexStore::renamePage(qint64 id, const QString &file)
{
    QSqlQuery query(m_db.database());
    query.prepare(QStringLiteral("UPDATE pages SET file = ? WHERE id = ?"));
    query.addBindValue(orEmpty(file));
    query.addBindValue(id);
    return run(query);
}

bool IndexStore::retitlePage(qint64 id, const QString &title)
{
    m_pageText.addBindValue(id);
    if (!run(m_pageText) || !m_pageText.next()) {
        m_pageText.finish();
        return false;
    }
    const QString oldTitle = m_pageText.value(0).toString();
    const QByteArray pageTitle = m_pageText.value(1).toByteArray();
    const auto body = StoredText::unpack(m_pageText.value(2).toByteArray());
    m_pageText.finish();
    if (!body || !removeWords(id, titleWords(oldTitle, pageTitle), *body))
        return false;
    QSqlQuery query(m_db.database());
    query.prepare(QStringLiteral("UPDATE pages SET title = ? WHERE id = ?"));
    query.addBindValue(orEmpty(title));
    query.addBindValue(id);
    return run(query) && addWords(id, titleWords(title, pageTitle), *body);
}

std::optional<IndexStore::Text> IndexStore::textOf(std::uint32_t crc, std::uint64_t size)
{
    m_textByContent.addBindValue(qint64(crc));
    m_textByContent.addBindValue(qint64(size));
    if (!run(m_textByContent) || !m_textByContent.next()) {
        m_textByContent.finish();
        return std::nullopt;
    }
    Text text{m_textByContent.value(0).toByteArray(), m_textByContent.value(1).toByteArray()};
    m_textByContent.finish();
    return text;
}
