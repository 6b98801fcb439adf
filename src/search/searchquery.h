#pragma once

#include <QString>
#include <string>
#include <vector>

class WordTokenizer;

// What the user typed into the search field, made into words to look for.
// Words are separated by blanks; text in double quotes is a phrase (its words
// next to each other, in that order). A word is found by any of its forms
// (its stem) and by its beginning ("прав" finds "правление"); every word and
// phrase must be on the page. Nothing typed reaches the full-text engine's
// own query language: the expression is built from folded words only.
class SearchQuery {
public:
    // Beginnings shorter than this would match most of the index at once.
    static constexpr int kMinPrefixChars = 3;

    struct Term {
        std::string folded;
        std::string stem;
    };
    struct Item {
        std::vector<Term> terms;
        bool phrase = false;
        bool prefix = false; // the last term also matches as a beginning
    };

    static SearchQuery parse(const QString &text, WordTokenizer &words);

    bool isEmpty() const { return m_items.empty(); }
    const std::vector<Item> &items() const { return m_items; }
    // The FTS5 MATCH expression.
    QString expression() const;
    // The expression that finds one item by its stems alone.
    QString stemExpression(std::size_t item) const;
    // Stops matching an item by its beginning: for a word so common that it
    // is on most pages anyway, the words that merely begin like it add
    // nothing but work.
    void dropPrefix(std::size_t item) { m_items[item].prefix = false; }

private:
    std::vector<Item> m_items;
};
