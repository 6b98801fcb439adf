#pragma once

#include "lang/messageid.h"

struct MessageTexts {
    MessageId id;
    const char *name;
    const char16_t *english;
    const char16_t *russian;
};

extern const MessageTexts kMessageTable[MessageIdCount];
