#pragma once

#include "search/fts5words.h"
#include "zip/zipreader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class IndexDatabase;
class WordTokenizer;

// The writing side of the index: archives and pages in, out and renamed, with
// their words kept in step. Every change of a page's words goes through here,
// so the text the full-text table was given for a page is always the text
// kept for it (a contentless table can only take words out again when it is
// given the same text).
class IndexStore {
public:
    struct Archive {
        qint64 id = 0;
        QString zipPath;
        QString name;
        QString section;
        std::optional<ZipReader::FileStamp> stamp; // when it was last indexed
        QString note;
    };
    struct Page {
        qint64 id = 0;
        QString file;
        QString title;
        QByteArray pageTitle;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
    };
    struct Text {
        QByteArray pageTitle;
        QByteArray packedBody;
    };
    // A page's text ready to go in: packed and tokenized, which can be done
    // on any thread (see Fts5Words::DocumentTokens).
    struct PreparedText {
        QByteArray text; // UTF-8
        QByteArray packed;
        Fts5Words::DocumentTokens tokens;
    };
    static PreparedText prepare(const QByteArray &utf8, WordTokenizer &words);

    explicit IndexStore(IndexDatabase &db);
    ~IndexStore();

    // Changes are gathered in one transaction and committed every few
    // seconds: each commit makes FTS5 write its pending words as a new
    // segment, and many small segments cost merging later.
    static constexpr qint64 kCommitEveryMs = 2000;
    bool begin();
    bool commit();
    // Commits when the transaction is older than kCommitEveryMs, and goes on in a new one.
    bool commitIfDue();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

    std::optional<QList<Archive>> archives();
    std::optional<Archive> archive(const QString &zipPath);
    std::optional<qint64> addArchive(const QString &zipPath, const QString &name,
                                     const QString &section);
    bool setArchiveNames(qint64 id, const QString &name, const QString &section);
    bool setArchiveState(qint64 id, const std::optional<ZipReader::FileStamp> &stamp,
                         const QString &note);
    // Takes the archive and all its pages out.
    bool removeArchive(qint64 id);

    std::optional<QList<Page>> pages(qint64 archiveId);
    // Returns the page's id.
    std::optional<qint64> addPage(qint64 archiveId, const Page &page, const PreparedText &text);
    // The same, with the text of another page (one that was moved here).
    std::optional<qint64> addPage(qint64 archiveId, const Page &page, const Text &text);
    bool removePage(qint64 id);
    bool renamePage(qint64 id, const QString &file);
    bool retitlePage(qint64 id, const QString &title);
    // The text of some page with this content, so that a page that was moved
    // or renamed is not read and parsed again.
    std::optional<Text> textOf(std::uint32_t crc, std::uint64_t size);

    // What the title column of the full-text table holds for a page.
    static QByteArray titleWords(const QString &title, const QByteArray &pageTitle);

    // How often words were put into or taken out of the full-text table.
    qint64 wordWrites() const { return m_wordWrites; }

private:
    bool run(QSqlQuery &query);
    bool addWords(qint64 id, const QByteArray &title, const QByteArray &body);
    bool removeWords(qint64 id, const QByteArray &title, const QByteArray &body);

    IndexDatabase &m_db;
    std::unique_ptr<WordTokenizer> m_words;
    bool m_inTransaction = false;
    QElapsedTimer m_transactionAge;
    qint64 m_wordWrites = 0;
    qint64 m_lastInsertId = 0;
    QSqlQuery m_insertPage;
    QSqlQuery m_insertWords;
    QSqlQuery m_deleteWords;
    QSqlQuery m_pageText;
    QSqlQuery m_deletePage;
    QSqlQuery m_pagesOf;
    QSqlQuery m_textByContent;
};
