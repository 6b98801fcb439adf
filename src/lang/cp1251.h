#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Windows-1251, the Cyrillic code page of older settings files, page lists and
// zip entry names. Written by hand: Qt's own converters do not carry it.
namespace Cp1251 {

QString decode(const QByteArray &bytes);

// The bytes of text, or nothing when a character has no place in the code page.
std::optional<QByteArray> encode(const QString &text);

bool canEncode(const QString &text);

} // namespace Cp1251

// True when bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool isValidUtf8(const QByteArray &bytes);
