#pragma once

#include <QByteArray>

// Prepares a page for the HTML parser, following the HTML5 tokenizer's rules
// for where tags, comments and raw text end:
// - the contents of <script> and <style> elements are taken out: the parser
//   would read them one byte at a time only to throw them away, and on saved
//   pages they are often most of the file;
// - of the attributes only "hidden" and "style" are kept: nothing else in a
//   tag decides whether its text is shown, and links, classes and data
//   attributes are most of the rest of the markup;
// - start tags nested deeper than kMaxDepth are left out (their text stays):
//   the parser's time grows with the square of the nesting, so a page of
//   a hundred thousand nested elements would hold the indexer for minutes.
//   Browsers flatten such trees too.
namespace MarkupTrimmer {

inline constexpr int kMaxDepth = 1000;

// Returns html itself when there is nothing to take out. flattened is set
// when start tags were left out for their depth.
QByteArray forParser(const QByteArray &html, bool *flattened = nullptr);

} // namespace MarkupTrimmer
