#pragma once

#include <QString>
#include <QStringList>

// Why a storage operation failed or refused what it was given: what, on which
// path, and the system's error when it gave one. Storage says nothing to the
// user itself (it may run on a worker thread, and has no words of its own):
// the commands put it into the user's words (commands/failuretext.h).
struct StorageFailure {
    enum class Kind {
        ArchiveDamaged,  // the zip cannot be unpacked, or its list file is damaged
        NotSaved,        // the zip was not written: files names what could not go in
        NothingToSave,   // there was nothing to write into the zip at path
        NotDeleted,      // the file or folder at path could not be deleted
        NotCreated,      // the file or folder at path could not be created
        NotRead,         // the file at path could not be opened or read
        CopyHeld,        // the working folder at path holds a copy left by a crash
        ZipChanged,      // the zip at path changed since it was unpacked
        NoPageList,      // the archive of the zip at path has no page list to add to
        // A page (or file) at path refused as it comes in:
        InProgramFolder, // it lies in one of the program's own folders
        NameNotStorable, // a zip could not keep its name, or a name in its folder
        NotRenamable,    // its references to its folder cannot be rewritten with certainty
        FileTooBig,      // the file at path is over what an entry may hold
        TooManyFiles,    // the archive would hold too many files
        ArchiveTooBig,   // the archive would grow past what a zip may hold
    };
    Kind kind = Kind::NotSaved;
    QString path = {};
    int systemError = 0; // errno, when the system said why
    QStringList files = {}; // NotSaved: relative to the folder written
    QString detail = {};    // in a developer's words, for the log and the tests
};
