#include "scriptedinteraction.h"

#include <QTest>

namespace {

const char *kindName(ScriptedInteraction::Kind kind)
{
    switch (kind) {
    case ScriptedInteraction::Kind::Message:
        return "message";
    case ScriptedInteraction::Kind::Error:
        return "error";
    case ScriptedInteraction::Kind::Refusal:
        return "refusal";
    case ScriptedInteraction::Kind::YesNo:
        return "yes/no";
    case ScriptedInteraction::Kind::Settings:
        return "settings";
    }
    return "?";
}

void fail(const QString &what)
{
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}

} // namespace

ScriptedInteraction::~ScriptedInteraction()
{
    if (!m_verified)
        verify();
}

ScriptedInteraction &ScriptedInteraction::expectMessage(const QString &text)
{
    m_steps.append({Kind::Message, text, false, {}});
    return *this;
}

ScriptedInteraction &ScriptedInteraction::expectError(const QString &text)
{
    m_steps.append({Kind::Error, text, false, {}});
    return *this;
}

ScriptedInteraction &ScriptedInteraction::expectRefusal(const QString &text)
{
    m_steps.append({Kind::Refusal, text, false, {}});
    return *this;
}

ScriptedInteraction &ScriptedInteraction::expectYesNo(const QString &text, bool answer)
{
    m_steps.append({Kind::YesNo, text, answer, {}});
    return *this;
}

ScriptedInteraction &
ScriptedInteraction::expectSettings(std::function<bool(SettingsDialogValues &)> answer)
{
    m_steps.append({Kind::Settings, {}, false, std::move(answer)});
    return *this;
}

bool ScriptedInteraction::verify()
{
    m_verified = true;
    if (m_steps.isEmpty())
        return true;
    QStringList left;
    for (const Step &s : std::as_const(m_steps))
        left << QStringLiteral("%1: %2").arg(QLatin1String(kindName(s.kind)), s.text);
    m_steps.clear();
    fail(QStringLiteral("expected user interaction did not happen:\n") + left.join(u'\n'));
    return false;
}

ScriptedInteraction::Step ScriptedInteraction::take(Kind kind, const QString &text)
{
    m_log << QStringLiteral("%1: %2").arg(QLatin1String(kindName(kind)), text);
    if (m_steps.isEmpty()) {
        fail(QStringLiteral("unexpected %1 box: %2").arg(QLatin1String(kindName(kind)), text));
        return {kind, text, false, {}};
    }
    Step step = m_steps.takeFirst();
    if (step.kind != kind || (!step.text.isEmpty() && step.text != text)) {
        fail(QStringLiteral("expected %1 \"%2\", got %3 \"%4\"")
                 .arg(QLatin1String(kindName(step.kind)), step.text, QLatin1String(kindName(kind)),
                      text));
    }
    return step;
}

void ScriptedInteraction::showMessage(const QString &text)
{
    take(Kind::Message, text);
}
void ScriptedInteraction::showError(const QString &text)
{
    take(Kind::Error, text);
}
void ScriptedInteraction::showRefusal(const QString &text)
{
    take(Kind::Refusal, text);
}

bool ScriptedInteraction::askYesNo(const QString &text)
{
    return take(Kind::YesNo, text).answer;
}

bool ScriptedInteraction::editSettings(SettingsDialogValues &values)
{
    Step step = take(Kind::Settings, {});
    return step.settings ? step.settings(values) : false;
}

void ScriptedInteraction::beginBusy()
{
    ++m_busyDepth;
    ++m_busyCount;
}

void ScriptedInteraction::endBusy()
{
    if (m_busyDepth == 0)
        fail(QStringLiteral("busy pointer ended more often than begun"));
    else
        --m_busyDepth;
}
