#pragma once

#include "catalogue/settings.h"

#include <QString>
#include <QStringList>
#include <optional>

class CatalogueModel;

// tomekeeper.ini: the settings in "Parameters" and the catalogue in numbered
// "Archive files N" sections. Reading and writing only; what to do with what
// was read (the language, the window, the missing-archives warning) is the
// caller's.
namespace SettingsFile {

struct ReadResult {
    bool found = false;                     // a file was there and could be read
    // Why a file that is there could not be read (empty when there is none,
    // or it was read). Such a file must never be written over.
    QString unreadable;
    bool hasParameters = false;             // it had a "Parameters" section
    std::optional<WindowGeometry> geometry; // when "memorysize" was on
    QStringList missingArchives;            // with the check on: zip paths not found (kept, marked)
};

// Reads the file at path into settings and appends its catalogue to catalogue.
// Settings missing from the file keep their values; programFolder stands in
// for a default archive folder that no longer exists.
ReadResult read(const QString &path, const QString &programFolder, Settings &settings,
                CatalogueModel &catalogue);

// Writes the settings, the window (or the fixed values when it is not
// remembered) and the catalogue to path, replacing the old file only once the
// new one is complete. False, with *error saying why, when it could not.
bool write(const QString &path, const Settings &settings, const WindowGeometry &window,
           const CatalogueModel &catalogue, QString *error = nullptr);

} // namespace SettingsFile
