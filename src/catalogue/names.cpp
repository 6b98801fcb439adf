#include "catalogue/names.h"

#include "lang/messages.h"

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0);
}

Names::Problem problem(Names::Rule rule, const QString &name, QChar character = {})
{
    return {rule, character, name};
}

// The rules a section name and an archive name share.
Names::Problem checkCatalogueName(const QString &name)
{
    using Names::Rule;
    if (name.isEmpty())
        return problem(Rule::Empty, name);
    for (QChar c : name) {
        if (isControl(c))
            return problem(Rule::ControlCharacter, name, c);
    }
    return {};
}

} // namespace

namespace Names {

Problem checkSectionName(const QString &name)
{
    return checkCatalogueName(name);
}

Problem checkArchiveName(const QString &name)
{
    if (Problem p = checkCatalogueName(name))
        return p;
    if (name.compare(QLatin1String("Section"), Qt::CaseInsensitive) == 0)
        return problem(Rule::Reserved, name);
    return {};
}

Problem checkPageTitle(const QString &title)
{
    for (QChar c : title) {
        if (c == u'\r' || c == u'\n')
            return problem(Rule::ControlCharacter, title, c);
        if (c == u'=')
            return problem(Rule::CharacterNotAllowed, title, c);
    }
    return {};
}

QCollator nameCollator()
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    return collator;
}

QString message(const Problem &p)
{
    switch (p.rule) {
    case Rule::None:
        return {};
    case Rule::Empty:
        return msg(MessageId::NameEmpty);
    case Rule::CharacterNotAllowed:
        return msg(MessageId::NameCharacterNotAllowed).arg(p.character);
    case Rule::ControlCharacter:
        // A control character cannot be shown; its code can.
        return msg(MessageId::NameControlCharacter)
            .arg(QStringLiteral("U+%1")
                     .arg(p.character.unicode(), 4, 16, QLatin1Char('0'))
                     .toUpper());
    case Rule::Reserved:
        return msg(MessageId::ArchiveNameReserved).arg(p.name);
    }
    return {};
}

} // namespace Names
