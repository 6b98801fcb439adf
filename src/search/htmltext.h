#pragma once

#include <QByteArray>

// The text a reader sees on an HTML page, without its markup: parsed with a
// real HTML5 parser (gumbo), entities decoded, white space collapsed. Scripts,
// styles, templates, <noscript> (the page view runs scripts), frames' fallback
// text and elements hidden by the hidden attribute or an inline
// "display: none" / "visibility: hidden" are left out. The page's <title> is
// returned on its own.
namespace HtmlText {

struct Result {
    QByteArray title; // UTF-8
    QByteArray text;  // UTF-8, words separated by single blanks
};

// html must be UTF-8 (invalid sequences read as U+FFFD).
Result extract(const QByteArray &html);

} // namespace HtmlText
