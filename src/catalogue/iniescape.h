#pragma once

#include <QString>
#include <QStringView>

// Keys and values the INI layout cannot hold as they are: a key with "=", a
// key starting with ";" or "[" (read as a comment or a section) or with
// U+FEFF (read as a byte-order mark and dropped), an empty key,
// blanks at either end (trimmed when read), line breaks and other control
// characters. Such text is written as "%%" followed by the text with "%",
// "=", control characters and the blanks at its two ends as %XX (the UTF-8
// bytes in upper-case hex): "x=y" is written "%%x%3Dy", " padded " is
// "%%%20padded%20". Text starting with "%%" is written escaped as well, so the
// escaped form maps back one to one. Everything else is written as it is.
//
// Reading takes a stored text as escaped only when it is exactly what writing
// would have made of some text; anything else (a name from an older file that
// happens to start with "%%") reads as it stands.
namespace IniEscape {

enum class Field { Key, Value };

// What is written for text in a key or a value. reserved: a key with a meaning
// of its own in its section, which an entry of the same name must not take.
QString encode(const QString &text, Field field, QStringView reserved = {});

// The text a stored key or value stands for.
QString decode(const QString &stored, Field field, QStringView reserved = {});

} // namespace IniEscape
