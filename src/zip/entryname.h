#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

// How entry names are stored in and read from zip files.
//
// Writing: an ASCII name is stored as it is. A name of ASCII and the 64 Cyrillic
// letters А–я is stored in code page 866 (what older copies of this program read),
// with an Info-ZIP Unicode Path extra field so that other tools show the right
// name. Any other name is stored as UTF-8 with general-purpose bit 11 and the same
// extra field (Info-ZIP unzip honours bit 11 only with an extra field present).
// Reading undoes this and also accepts what other zip tools write.
namespace EntryName {

constexpr std::uint16_t kUtf8Flag = 0x0800;           // general-purpose bit 11
constexpr std::uint16_t kUnicodePathFieldId = 0x7075; // Info-ZIP Unicode Path
constexpr int kMaxStoredBytes = 0xFFFF;               // 16-bit length fields

struct Encoded {
    QByteArray name;     // the bytes stored as the entry's name
    QByteArray extra;    // extra field for both headers; empty for ASCII names
    std::uint16_t flags; // general-purpose flag bits to set
};

// Encodes a relative path ("/" or "\" between levels). Returns nothing and sets
// *error when the name cannot be stored safely or does not fit the format.
std::optional<Encoded> encode(const QString &relativePath, QString *error = nullptr);

// Decodes a stored name; "\" becomes "/". extra is the central header's extra
// field, versionMadeBy its "version made by" (the high byte names the host system).
QString decode(QByteArrayView raw, std::uint16_t flags, QByteArrayView extra,
               std::uint16_t versionMadeBy = 0);

// Windows-1251 letters to their code page 866 places and back; other bytes are kept
// (reading back shifts all of 80..AF and E0..EF, as older copies of this program did).
QByteArray shiftToCp866(QByteArrayView cp1251);
QByteArray shiftFromCp866(QByteArrayView cp866);

// Why a decoded name ("/" separators) must not be unpacked; empty when it is safe.
// A trailing "/" (a folder entry) is allowed.
QString unsafeReason(const QString &name);

// Why the file at relativePath below a folder being zipped ("/" between
// levels; every other character, "\" included, belongs to a name) cannot be
// stored under exactly that name; empty when it can. The writer refuses such
// files, and what comes into an archive is checked the same way first.
QString storingProblem(const QString &relativePath);
// name, for a file going into the folder at prefix ("" for the top, else a
// path ending in "/"), changed so that storingProblem takes it: "\" and
// control characters become "-", and so does the ":" of a drive letter at the
// start of the path. Empty when no such name can be stored (too long).
QString storableName(const QString &name, const QString &prefix = {});

// Part of a display: names of many kilobytes are cut for messages.
QString forMessage(const QString &name);

} // namespace EntryName
