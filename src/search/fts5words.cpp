#include "search/fts5words.h"

#include "search/wordtokenizer.h"

#include <cstring>
#include <sqlite3.h>

namespace {

thread_local const Fts5Words::Replay *t_replay = nullptr;

int createTokenizer(void *, const char **, int, Fts5Tokenizer **out)
{
    *out = reinterpret_cast<Fts5Tokenizer *>(new (std::nothrow) WordTokenizer);
    return *out ? SQLITE_OK : SQLITE_NOMEM;
}

void deleteTokenizer(Fts5Tokenizer *tokenizer)
{
    delete reinterpret_cast<WordTokenizer *>(tokenizer);
}

using Emit = int (*)(void *, int, const char *, int, int, int);

// Every word folded, and its stem where it differs, at the same place.
template <typename Sink>
int documentTokens(WordTokenizer &words, std::string_view text, Sink &&sink)
{
    words.reset(text);
    while (words.next()) {
        const int start = int(words.start());
        const int end = int(words.end());
        const std::string_view folded = words.folded();
        int rc = sink(0, folded, start, end);
        if (rc != SQLITE_OK)
            return rc;
        const std::string_view stem = words.stem();
        if (stem != folded) {
            rc = sink(FTS5_TOKEN_COLOCATED, stem, start, end);
            if (rc != SQLITE_OK)
                return rc;
        }
    }
    return SQLITE_OK;
}

int tokenize(Fts5Tokenizer *tokenizer, void *context, int flags, const char *text, int size,
             Emit emit)
{
    auto *words = reinterpret_cast<WordTokenizer *>(tokenizer);
    const std::string_view input(text, std::size_t(size < 0 ? 0 : size));
    const bool query = (flags & FTS5_TOKENIZE_QUERY) != 0;
    const bool prefix = (flags & FTS5_TOKENIZE_PREFIX) != 0;
    const bool document = (flags & FTS5_TOKENIZE_DOCUMENT) != 0;

    if (document) {
        const Fts5Words::Replay *replay = t_replay;
        if (replay && replay->text().size() == qsizetype(input.size()) &&
            std::memcmp(replay->text().constData(), input.data(), input.size()) == 0) {
            const std::string &bytes = replay->tokens().bytes;
            for (const Fts5Words::DocumentTokens::Token &t : replay->tokens().tokens) {
                const int rc =
                    emit(context, t.flags, bytes.data() + t.offset, int(t.length), t.start, t.end);
                if (rc != SQLITE_OK)
                    return rc;
            }
            return SQLITE_OK;
        }
        return documentTokens(
            *words, input, [&](int tflags, std::string_view token, int start, int end) {
                return emit(context, tflags, token.data(), int(token.size()), start, end);
            });
    }
    words->reset(input);
    while (words->next()) {
        // A plain query term is its stem; a prefix term, or one for the
        // auxiliary functions, its folded form.
        const std::string_view token = query && !prefix ? words->stem() : words->folded();
        const int rc = emit(context, 0, token.data(), int(token.size()), int(words->start()),
                            int(words->end()));
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

void titleFirst(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *result, int,
                sqlite3_value **)
{
    // A phrase's hits come column by column, the title (column 0) first.
    int inTitle = 0;
    const int phrases = api->xPhraseCount(fts);
    for (int i = 0; i < phrases; ++i) {
        Fts5PhraseIter iter;
        int column = -1;
        if (api->xPhraseFirstColumn(fts, i, &iter, &column) == SQLITE_OK && column == 0)
            ++inTitle;
    }
    sqlite3_result_int(result, -inTitle);
}

fts5_api *fts5Of(sqlite3 *db)
{
    fts5_api *api = nullptr;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK)
        return nullptr;
    sqlite3_bind_pointer(statement, 1, reinterpret_cast<void *>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    return api;
}

} // namespace

namespace Fts5Words {

bool registerOn(sqlite3 *db, QString *error)
{
    fts5_api *api = fts5Of(db);
    if (!api || api->iVersion < 2) {
        if (error)
            *error = QStringLiteral("SQLite has no full-text search (FTS5)");
        return false;
    }
    fts5_tokenizer methods{&createTokenizer, &deleteTokenizer, &tokenize};
    int rc = api->xCreateTokenizer(api, kName, nullptr, &methods, nullptr);
    if (rc == SQLITE_OK)
        rc = api->xCreateFunction(api, "titlefirst", nullptr, &titleFirst, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errstr(rc));
        return false;
    }
    return true;
}

DocumentTokens tokenizeDocument(std::string_view text, WordTokenizer &words)
{
    DocumentTokens result;
    result.bytes.reserve(text.size() + text.size() / 2);
    result.tokens.reserve(text.size() / 4);
    documentTokens(words, text, [&](int flags, std::string_view token, int start, int end) {
        result.tokens.push_back(
            {std::uint32_t(result.bytes.size()), std::uint32_t(token.size()), start, end, flags});
        result.bytes.append(token);
        return SQLITE_OK;
    });
    return result;
}

Replay::Replay(const QByteArray &text, const DocumentTokens &tokens)
    : m_previous(t_replay), m_text(text), m_tokens(tokens)
{
    t_replay = this;
}

Replay::~Replay()
{
    t_replay = m_previous;
}

} // namespace Fts5Words
