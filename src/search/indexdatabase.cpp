#include "search/indexdatabase.h"

#include "search/fts5words.h"
#include "search/wordtokenizer.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

QAtomicInteger<quint64> g_connections;

std::uint64_t inodeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return std::uint64_t(st.st_ino);
}

QByteArray wordRules()
{
    static const QByteArray fingerprint = WordTokenizer().fingerprint();
    return fingerprint;
}

} // namespace

QString IndexDatabase::fileName()
{
    return QStringLiteral("search-index.sqlite");
}

IndexDatabase::IndexDatabase(const QString &folder)
    : m_folder(folder), m_path(QDir(folder).filePath(fileName())),
      m_connection(QStringLiteral("tomekeeper-search-%1").arg(g_connections.fetchAndAddRelaxed(1)))
{
}

IndexDatabase::~IndexDatabase()
{
    close();
}

bool IndexDatabase::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool IndexDatabase::isOpen() const
{
    return m_db.isOpen();
}

sqlite3 *IndexDatabase::handle() const
{
    if (!m_db.isOpen())
        return nullptr;
    const QVariant handle = m_db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

void IndexDatabase::close()
{
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_inode = 0;
}

bool IndexDatabase::isDamage(const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_FORMAT;
}

bool IndexDatabase::exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    if (isDamage(query.lastError()))
        m_sawDamage = true;
    return fail(query.lastError().text());
}

bool IndexDatabase::exec(const QString &statement)
{
    QSqlQuery query(m_db);
    if (!query.prepare(statement)) {
        if (isDamage(query.lastError()))
            m_sawDamage = true;
        return fail(query.lastError().text());
    }
    return exec(query);
}

bool IndexDatabase::connect()
{
    close();
    m_sawDamage = false;
    if (!QDir().mkpath(m_folder))
        return fail(QStringLiteral("the folder \"%1\" cannot be created").arg(m_folder));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!m_db.isValid())
        return fail(QStringLiteral("Qt's SQLite driver is missing"));
    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!m_db.open())
        return fail(m_db.lastError().text());
    // Qt's plugin and this program must use one SQLite library (on Debian both
    // link the system's): the tokenizer is registered through the plugin's handle.
    QSqlQuery version(m_db);
    if (!version.exec(QStringLiteral("SELECT sqlite_version()")) || !version.next() ||
        version.value(0).toString() != QLatin1String(sqlite3_libversion()))
        return fail(QStringLiteral("Qt's SQLite driver uses another SQLite library than %1")
                        .arg(QLatin1String(sqlite3_libversion())));
    version.finish();
    sqlite3 *db = handle();
    if (!db)
        return fail(QStringLiteral("the SQLite driver gives no handle"));
    QString why;
    if (!Fts5Words::registerOn(db, &why))
        return fail(why);
    m_inode = inodeOf(m_path);
    return true;
}

IndexDatabase::Check IndexDatabase::check()
{
    QSqlQuery query(m_db);
    // The first read of a garbled file fails here with "not a database".
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
        return isDamage(query.lastError()) ? Check::Unusable : Check::Failed;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return isDamage(query.lastError()) ? Check::Unusable : Check::Failed;
    const int version = query.value(0).toInt();
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next())
        return isDamage(query.lastError()) ? Check::Unusable : Check::Failed;
    const int objects = query.value(0).toInt();
    if (version == 0 && objects == 0)
        return Check::Empty;
    if (version != kFormatVersion)
        return Check::Unusable;
    if (!query.exec(QStringLiteral("SELECT value FROM meta WHERE key = 'words'")) || !query.next())
        return Check::Unusable;
    if (query.value(0).toByteArray() != wordRules())
        return Check::Unusable; // built with other folding or stems: its tokens would not match
    if (!query.exec(QStringLiteral("SELECT count(*) FROM archives")) ||
        !query.exec(QStringLiteral("SELECT count(*) FROM pages")) ||
        !query.exec(QStringLiteral("SELECT count(*) FROM page_words_config")))
        return Check::Unusable;
    return Check::Usable;
}

bool IndexDatabase::createTables()
{
    const char *const statements[] = {
        "PRAGMA journal_mode=WAL",
        "BEGIN IMMEDIATE",
        "CREATE TABLE meta(key TEXT PRIMARY KEY, value BLOB) WITHOUT ROWID",
        "CREATE TABLE archives("
        " id INTEGER PRIMARY KEY,"
        " zip_path TEXT NOT NULL UNIQUE,"
        " name TEXT NOT NULL DEFAULT '',"
        " section TEXT NOT NULL DEFAULT '',"
        " zip_size INTEGER NOT NULL DEFAULT -1,"
        " zip_mtime INTEGER NOT NULL DEFAULT -1,"
        " zip_inode INTEGER NOT NULL DEFAULT -1,"
        " note TEXT NOT NULL DEFAULT '')",
        "CREATE TABLE pages("
        " id INTEGER PRIMARY KEY,"
        " archive_id INTEGER NOT NULL,"
        " file TEXT NOT NULL,"
        " title TEXT NOT NULL,"
        " page_title BLOB NOT NULL,"
        " crc INTEGER NOT NULL,"
        " size INTEGER NOT NULL,"
        " body BLOB NOT NULL,"
        " UNIQUE(archive_id, file))",
        "CREATE INDEX pages_by_content ON pages(crc, size)",
        ("CREATE VIRTUAL TABLE page_words USING fts5(title, body, content='', "
         "tokenize='tomekeeper_words')"),
        // Words in a title count ten times as much as words in the text.
        "INSERT INTO page_words(page_words, rank) VALUES('rank', 'bm25(10.0, 1.0)')",
        // Words wait in memory up to a commit (see IndexStore::kCommitEveryMs)
        // rather than being written out every megabyte: fewer, larger
        // segments, which halves the cost of merging them.
        "INSERT INTO page_words(page_words, rank) VALUES('hashsize', 33554432)",
    };
    for (const char *statement : statements) {
        if (!exec(QString::fromLatin1(statement))) {
            exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    QSqlQuery meta(m_db);
    meta.prepare(QStringLiteral("INSERT INTO meta(key, value) VALUES('words', ?)"));
    meta.addBindValue(wordRules());
    if (!exec(meta) || !exec(QStringLiteral("PRAGMA user_version = %1").arg(kFormatVersion)) ||
        !exec(QStringLiteral("COMMIT"))) {
        exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

void IndexDatabase::removeFiles()
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(m_path + QLatin1String(suffix));
}

bool IndexDatabase::open(bool rebuildIfUnusable)
{
    m_error.clear();
    if (!connect())
        return false;
    switch (check()) {
    case Check::Usable:
        break;
    case Check::Empty:
        if (!rebuildIfUnusable) {
            close();
            return fail(QStringLiteral("the index has not been built"));
        }
        if (!createTables())
            return false;
        m_rebuilt = true;
        break;
    case Check::Unusable:
        if (!rebuildIfUnusable) {
            close();
            return fail(QStringLiteral("the index is damaged or of another version"));
        }
        return rebuild();
    case Check::Failed:
        close();
        return fail(QStringLiteral("the index cannot be read"));
    }
    tune();
    return true;
}

// A lost commit after a power cut costs only a re-read of some pages, so
// commits are not synced one by one; reads go through a larger cache and a
// memory map, which saves a system call for every page of the index read.
void IndexDatabase::tune()
{
    exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    exec(QStringLiteral("PRAGMA cache_size=-16384"));
    exec(QStringLiteral("PRAGMA mmap_size=268435456"));
}

bool IndexDatabase::rebuild()
{
    close();
    removeFiles();
    if (!connect() || !createTables()) {
        close();
        return false;
    }
    tune();
    m_rebuilt = true;
    return true;
}

bool IndexDatabase::takeRebuilt()
{
    const bool rebuilt = m_rebuilt;
    m_rebuilt = false;
    return rebuilt;
}

bool IndexDatabase::isStale() const
{
    return !m_db.isOpen() || inodeOf(m_path) != m_inode;
}
