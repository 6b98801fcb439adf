#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Splits UTF-8 text into the words the search index holds, and folds each one
// so that spelling differences users do not care about vanish: letter case,
// "ё" against "е", accents on Latin letters, stress marks, soft hyphens. Each
// word also gets its stem (Snowball: Russian for Cyrillic words, English for
// Latin ones), so that one form of a word finds the others. The script of the
// word picks the stemmer, not the page's language: Russian pages quote English
// names and the other way round.
//
// The index, the query and the snippets all go through this one class, so a
// word is folded the same way wherever it is compared.
class WordTokenizer {
public:
    // Words longer than this (in UTF-8 bytes, folded) are not words people
    // search for (encoded data, hashes) and are left out.
    static constexpr int kMaxWordBytes = 96;

    WordTokenizer();
    ~WordTokenizer();
    WordTokenizer(const WordTokenizer &) = delete;
    WordTokenizer &operator=(const WordTokenizer &) = delete;

    // Starts on new text; the text must outlive the calls to next().
    void reset(std::string_view utf8);
    // Moves to the next word; false at the end of the text.
    bool next();

    // Where the current word lies in the text, in bytes (end exclusive).
    qsizetype start() const { return m_start; }
    qsizetype end() const { return m_end; }
    std::string_view folded() const { return m_folded; }
    // The stem; the folded word itself when no stemmer applies.
    std::string_view stem();

    // Folds and stems one word typed by the user; empty when it holds no word.
    std::string foldWord(std::string_view utf8);
    std::string stemOf(std::string_view folded);

    // Changes whenever folding or stemming would turn some word into other
    // tokens than before: an index built with other tokens must be rebuilt.
    QByteArray fingerprint();

private:
    enum class Script { None, Latin, Cyrillic, Mixed };

    std::string_view m_text;
    qsizetype m_pos = 0;
    qsizetype m_start = 0;
    qsizetype m_end = 0;
    std::string m_folded;
    std::string m_stem;
    bool m_stemDone = false;
    Script m_script = Script::None;
    bool m_hasDigit = false;

    struct Stemmers;
    std::unique_ptr<Stemmers> m_stemmers;
};
