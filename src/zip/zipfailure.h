#pragma once

#include <QString>

// Why reading or unpacking a zip failed: what failed, where, and the
// system's error when it gave one. detail says it in a developer's words
// (for the log and the tests); what the user reads is the caller's to say.
struct ZipFailure {
    enum class Kind {
        Unreadable,   // the zip cannot be opened or read
        Refused,      // damaged, or unsafe to unpack: nothing of it is taken
        EntryDamaged, // an entry's data fails its size or CRC check
        TooLarge,     // the entry is larger than the caller reads
        NotWritten,   // a file or folder of the destination cannot be made or written
        Cancelled,    // the unpacking was stopped before it was done
    };
    Kind kind = Kind::Refused;
    QString path = {};   // the zip, the entry, or the folder it concerns
    int systemError = 0; // errno, when the system said why
    QString detail = {};
};
