#include "lang/messages.h"

#include "lang/messagetable.h"

namespace {

bool g_russian = false;

const MessageTexts &entry(MessageId id)
{
    return kMessageTable[static_cast<int>(id)];
}

} // namespace

void Messages::useEnglish()
{
    g_russian = false;
}
void Messages::useRussian()
{
    g_russian = true;
}
bool Messages::russianActive()
{
    return g_russian;
}

QString Messages::text(MessageId id)
{
    return g_russian ? russian(id) : english(id);
}

QString Messages::english(MessageId id)
{
    return QString::fromUtf16(entry(id).english);
}

QString Messages::russian(MessageId id)
{
    return QString::fromUtf16(entry(id).russian);
}

QString Messages::idName(MessageId id)
{
    return QString::fromLatin1(entry(id).name);
}
