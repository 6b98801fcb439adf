#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
class WordTokenizer;

// The index's own FTS5 tokenizer, registered on each connection under kName.
// Documents: every word folded, and its stem at the same place when it
// differs. Queries: a plain term is looked up by its stem (so any form finds
// the others), a prefix term ("прав"*) by its folded beginning (so the
// beginning of a word finds it even where the stem is shorter than what was
// typed).
namespace Fts5Words {

inline constexpr char kName[] = "tomekeeper_words";

// Also registers titlefirst(), a ranking for queries that match too many
// pages to rank them all by bm25: pages that have the query's words in their
// title come first (it reads only where each word's hits start).
// False, with error set, when the connection has no FTS5.
bool registerOn(sqlite3 *db, QString *error);

// A document's tokens, made ahead of its insert. Folding and stemming are
// the costliest part of an insert, and SQLite takes one writer: made on the
// threads that parse pages, they leave the writer only the index to update.
struct DocumentTokens {
    struct Token {
        std::uint32_t offset; // into bytes
        std::uint32_t length;
        std::int32_t start; // where the word stands in the text
        std::int32_t end;
        int flags;
    };
    std::string bytes;
    std::vector<Token> tokens;
};
DocumentTokens tokenizeDocument(std::string_view text, WordTokenizer &words);

// While a Replay lives, the tokenizer on this thread hands FTS5 the tokens
// made ahead for a document whose text is exactly text, instead of making
// them again. Any other text is tokenized as usual.
class Replay {
public:
    Replay(const QByteArray &text, const DocumentTokens &tokens);
    ~Replay();
    Replay(const Replay &) = delete;
    Replay &operator=(const Replay &) = delete;

    const QByteArray &text() const { return m_text; }
    const DocumentTokens &tokens() const { return m_tokens; }

private:
    const Replay *m_previous;
    const QByteArray &m_text;
    const DocumentTokens &m_tokens;
};

} // namespace Fts5Words
