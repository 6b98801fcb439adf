#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One thing wrong with a collection, as the check of all archives finds it.
struct CheckProblem {
    enum class Kind {
        ZipMissing,        // the catalogue entry's zip is not there
        ZipShared,         // the zip is also the zip of another entry
        ZipDamaged,        // it cannot be read whole, or the safety scan refuses it
        ListMissing,       // no page list in the zip
        ListUnreadable,    // a page list the program cannot read
        ListRefusedLine,   // a line of the list names a file the program refuses
        PageMissing,       // a listed page whose file is not in the zip
        PageUnlisted,      // a page file no list entry names
        FolderWithoutPage, // a companion folder whose page is not there
        PastLimits,        // more than a write-back can take
        RecoveredCopy,     // a recovered working copy in the data folder
        LeftoverCopy,      // a working copy left by a program that did not end normally
    };

    Kind kind = Kind::ZipMissing;
    // The catalogue entry; for working copies the archive their record names
    // (all empty when it names none).
    QString section;
    QString archive;
    QString zipPath;
    // What exactly: a page's file name, a folder, why a zip is damaged; plain
    // words in English where they explain (they come from the zip reader).
    QString detail;
    // For working copies: their folder and when they were set aside.
    QString folder = {};
    QDateTime keptAt = {};

    // The word scripts read on the command line, the same in every language.
    static QString code(Kind kind);
    // The problems of a working copy belong to no zip of the catalogue.
    bool isWorkingCopy() const { return kind == Kind::RecoveredCopy || kind == Kind::LeftoverCopy; }
    bool operator==(const CheckProblem &) const = default;
};

// What the check of a collection found.
struct CheckReport {
    QList<CheckProblem> problems;
    int archivesChecked = 0;
    qint64 pagesListed = 0;
    bool cancelled = false;
};
