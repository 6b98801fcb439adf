#pragma once

#include "lang/messageid.h"

#include <QString>

// The message catalogue: one active language for the whole program. Every text
// is read at the moment it is put on screen, so anything built after a switch
// is in the new language.
class Messages {
public:
    static void useEnglish();
    static void useRussian();
    static bool russianActive();

    static QString text(MessageId id);
    static QString english(MessageId id);
    static QString russian(MessageId id);
    static QString idName(MessageId id);
};

// Shorthand for the current text of an id.
inline QString msg(MessageId id)
{
    return Messages::text(id);
}
