#pragma once

#include <QChar>
#include <QCollator>
#include <QString>

// The names the catalogue file and the page lists can store, checked where a
// name comes in: a naming command refuses what the user typed and shows
// message(problem). Section and archive names may hold any character the
// settings file can escape ("=", blanks at either end, a leading "[" or ";",
// a name of blanks alone), so they are refused only when empty, when they
// hold a line break or another control character (a tree row is one line),
// and for an archive named "Section" in any letter case (the key of its
// section's own name). Page titles: no "=" (the list file splits there) and
// no line break.
namespace Names {

enum class Rule {
    None,                // the name can be stored
    Empty,               // the name is empty
    CharacterNotAllowed, // it holds character ("=" in a page title)
    ControlCharacter,    // it holds character, a line break or another control character
    Reserved,            // the whole name is taken by the file itself
};

struct Problem {
    Rule rule = Rule::None;
    QChar character; // the character that broke the rule, where one did
    QString name;    // the name that was checked

    explicit operator bool() const { return rule != Rule::None; }
};

Problem checkSectionName(const QString &name);
Problem checkArchiveName(const QString &name);
Problem checkPageTitle(const QString &title);

// Two catalogue names are the same name when this collation finds them equal:
// the user's locale, letter case significant ("News" and "news" are two names).
QCollator nameCollator();

// What to tell the user, in the current language; empty when nothing is wrong.
QString message(const Problem &problem);

} // namespace Names
