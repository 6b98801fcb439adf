#pragma once

#include <QSqlDatabase>
#include <QString>
#include <cstdint>

class QSqlError;
class QSqlQuery;
struct sqlite3;

// One connection to the search index file, an SQLite database in a folder of
// its own (the cache folder: everything in it can be rebuilt from the
// archives). A connection belongs to the thread that opened it; the indexer
// and the search each have their own, and SQLite's write-ahead log lets the
// search read while the indexer writes.
//
// Tables: archives (zip path, display name, section, the zip's stamp when it
// was indexed, a note on what could not be indexed), pages (archive, file name,
// titles, the page entry's CRC and size, its text compressed) and page_words,
// the full-text index over the titles and the text. page_words keeps no copy
// of the text (contentless): the text is kept once, compressed, in pages.
class IndexDatabase {
public:
    // Raised whenever the tables change shape; an index of another version is rebuilt.
    static constexpr int kFormatVersion = 1;
    static QString fileName();

    explicit IndexDatabase(const QString &folder);
    ~IndexDatabase();
    IndexDatabase(const IndexDatabase &) = delete;
    IndexDatabase &operator=(const IndexDatabase &) = delete;

    // Opens the index. With rebuildIfUnusable, an index that is missing,
    // damaged, of another version or built with other word rules is replaced
    // by an empty one; without it, opening such an index fails. False only when
    // no usable index could be opened; error() says why.
    bool open(bool rebuildIfUnusable);
    void close();
    bool isOpen() const;
    // Replaces the index with an empty one.
    bool rebuild();
    // True once after open() or rebuild() replaced the file.
    bool takeRebuilt();
    // True when the file on disk is no longer the one this connection has open
    // (another connection rebuilt it).
    bool isStale() const;

    QSqlDatabase database() const { return m_db; }
    sqlite3 *handle() const;
    QString path() const { return m_path; }
    QString error() const { return m_error; }

    // Whether an error means the file is damaged or not a database at all.
    static bool isDamage(const QSqlError &error);
    // Runs a statement, recording its error; false on failure.
    bool exec(QSqlQuery &query);
    bool exec(const QString &statement);
    // True when an error since the last open was damage (see isDamage).
    bool sawDamage() const { return m_sawDamage; }

private:
    enum class Check { Usable, Empty, Unusable, Failed };

    bool connect();
    Check check();
    bool createTables();
    void tune();
    void removeFiles();
    bool fail(const QString &why);

    QString m_folder;
    QString m_path;
    QString m_connection;
    QSqlDatabase m_db;
    QString m_error;
    std::uint64_t m_inode = 0;
    bool m_rebuilt = false;
    bool m_sawDamage = false;
};
