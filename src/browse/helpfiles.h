#pragma once

#include <QString>

// What the help command opens.
struct HelpChoice {
    // The file to open with the desktop; empty when there is none.
    QString path;
    // The help file the "file is absent" message names when path is empty.
    QString missingName;

    bool found() const { return !path.isEmpty(); }
};

// Finds the help of the interface language active at the moment of the call.
//
// A help file "HelpEng.chm" / "HelpRus.chm" in the program folder (the folder
// current at start-up) comes first: users who keep one there get what they
// always got. Otherwise the manual shipped with the program: the HTML page of
// that language in share/tomekeeper/manual beside the folder of the
// executable. That one rule serves both an installed program
// (<prefix>/bin/tomekeeper finds <prefix>/share/tomekeeper/manual) and the
// build tree, where the build copies the manual to <build>/share/tomekeeper/manual
// for <build>/src/tomekeeper. The manual is not put under share/doc: minimal
// systems leave that folder out when they install packages, and help must not
// vanish with it.
class HelpFiles {
public:
    static HelpChoice locate(const QString &programFolder, const QString &executableFolder);

    // The manual's folder for an executable in executableFolder; it holds
    // en.html and ru.html.
    static QString manualFolder(const QString &executableFolder);
    // The text shown when there is no help: the absent file's name between the
    // two halves of the message, in the active language.
    static QString missingMessage(const QString &fileName);
};
