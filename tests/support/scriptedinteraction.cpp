#include "scriptedinteraction.h"

#include <QTest>

namespace {

const char *kindName(ScriptedInteraction::Kind kind)
{
    using K = ScriptedInteraction::Kind;
    switch (kind) {
    case K::Message:
        return "message";
    case K::Error:
        return "error";
    case K::Warning:
        return "warning";
    case K::Refusal:
        return "refusal";
    case K::YesNo:
        return "yes/no";
    case K::Choice:
        return "choice";
    case K::Name:
        return "name";
    case K::OpenFiles:
        return "open files";
    case K::SaveFile:
        return "save file";
    case K::Folder:
        return "folder";
    case K::Settings:
        return "settings";
    case K::CreateArchive:
        return "create archive";
    case K::Attach:
        return "attach";
    case K::OpenWithDesktop:
        return "open with desktop";
    case K::About:
        return "about";
    }
    return "?";
}

QString describe(ScriptedInteraction::Kind kind, const QStringList &texts)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(kindName(kind)), texts.join(u" | "));
}

void fail(const QString &what)
{
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}

bool matches(const QStringList &expected, const QStringList &actual)
{
    if (expected.size() != actual.size())
        return false;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (!expected.at(i).isEmpty() && expected.at(i) != actual.at(i))
            return false;
    }
    return true;
}

} // namespace

ScriptedInteraction::~ScriptedInteraction()
{
    if (!m_verified)
        verify();
}

ScriptedInteraction &ScriptedInteraction::expect(Step step)
{
    m_steps.append(std::move(step));
    return *this;
}

ScriptedInteraction &ScriptedInteraction::expectMessage(const QString &text)
{
    return expect({Kind::Message, {text}});
}

ScriptedInteraction &ScriptedInteraction::expectError(const QString &text)
{
    return expect({Kind::Error, {text}});
}

ScriptedInteraction &ScriptedInteraction::expectWarning(const QString &text)
{
    return expect({Kind::Warning, {text}});
}

ScriptedInteraction &ScriptedInteraction::expectRefusal(const QString &text)
{
    return expect({Kind::Refusal, {text}});
}

ScriptedInteraction &ScriptedInteraction::expectYesNo(const QString &text, bool answer)
{
    Step step{Kind::YesNo, {text}};
    step.yes = answer;
    return expect(std::move(step));
}

ScriptedInteraction &ScriptedInteraction::expectChoice(const QString &text,
                                                       const QStringList &choices, int answer)
{
    Step step{Kind::Choice, QStringList{text} + choices};
    step.choice = answer;
    return expect(std::move(step));
}

ScriptedInteraction &ScriptedInteraction::expectName(const QString &caption, const QString &prompt,
                                                     const QString &initial, const QString &answer)
{
    Step step{Kind::Name, {caption, prompt, initial}};
    step.answer = {answer};
    return expect(std::move(step));
}

ScriptedInteraction &ScriptedInteraction::expectOpenFiles(const QString &caption,
                                                          const QString &filter, bool many,
                                                          const QStringList &answer)
{
    Step step{Kind::OpenFiles,
              {caption, filter, many ? QStringLiteral("many") : QStringLiteral("one")}};
    step.answer = answer;
    return expect(std::move(step));
}

ScriptedInteraction &ScriptedInteraction::expectSaveFile(const QString &filter,
                                                         const QString &answer)
{
    Step step{Kind::SaveFile, {filter}};
    step.answer = {answer};
    return expect(std::move(step));
}

ScriptedInteraction &ScriptedInteraction::expectFolder(const QString &caption,
                                                       const QString &startFolder,
                                                       const QString &answer)
{
    Step step{Kind::Folder, {caption, startFolder}};
    step.answer = {answer};
    return expect(std::move(step));
}

ScriptedInteraction &ScriptedInteraction::expectOpenWithDesktop(const QString &target, bool answer)
{
    Step step{Kind::OpenWithDesktop, {target}};
    step.yes = answer;
    return expect(std::move(step));
}

ScriptedInteraction &ScriptedInteraction::expectAbout()
{
    return expect({Kind::About, {}});
}

ScriptedInteraction &
ScriptedInteraction::expectSettings(std::function<bool(SettingsDialogValues &)> answer)
{
    Step step{Kind::Settings, {}};
    step.settings = std::move(answer);
    return expect(std::move(step));
}

ScriptedInteraction &
ScriptedInteraction::expectCreateArchive(std::function<bool(CreateArchiveValues &)> answer)
{
    Step step{Kind::CreateArchive, {}};
    step.createArchive = std::move(answer);
    return expect(std::move(step));
}

ScriptedInteraction &ScriptedInteraction::expectAttach(std::function<bool(AttachValues &)> answer)
{
    Step step{Kind::Attach, {}};
    step.attach = std::move(answer);
    return expect(std::move(step));
}

bool ScriptedInteraction::verify()
{
    m_verified = true;
    if (m_steps.isEmpty())
        return true;
    QStringList left;
    for (const Step &s : std::as_const(m_steps))
        left << describe(s.kind, s.texts);
    m_steps.clear();
    fail(QStringLiteral("expected user interaction did not happen:\n") + left.join(u'\n'));
    return false;
}

ScriptedInteraction::Step ScriptedInteraction::take(Kind kind, const QStringList &texts)
{
    m_log << describe(kind, texts);
    if (m_steps.isEmpty()) {
        fail(QStringLiteral("unexpected ") + describe(kind, texts));
        return {kind, texts};
    }
    Step step = m_steps.takeFirst();
    if (step.kind != kind || !matches(step.texts, texts)) {
        fail(QStringLiteral("expected %1\n got %2")
                 .arg(describe(step.kind, step.texts), describe(kind, texts)));
        return {kind, texts};
    }
    return step;
}

QString ScriptedInteraction::boxText(const BoxText &text)
{
    if (text.hasList())
        m_lists << text.items();
    return text.text();
}

void ScriptedInteraction::showMessage(const BoxText &text)
{
    take(Kind::Message, {boxText(text)});
}

void ScriptedInteraction::showError(const BoxText &text)
{
    take(Kind::Error, {boxText(text)});
}

void ScriptedInteraction::showWarning(const BoxText &text)
{
    take(Kind::Warning, {boxText(text)});
}

void ScriptedInteraction::showRefusal(const BoxText &text)
{
    take(Kind::Refusal, {boxText(text)});
}

bool ScriptedInteraction::askYesNo(const BoxText &text)
{
    return take(Kind::YesNo, {boxText(text)}).yes;
}

int ScriptedInteraction::askChoice(const BoxText &text, const QStringList &choices)
{
    const Step step = take(Kind::Choice, QStringList{boxText(text)} + choices);
    if (step.choice >= choices.size())
        fail(QStringLiteral("the scripted choice is not one of the choices offered"));
    return step.choice;
}

QString ScriptedInteraction::askName(const QString &caption, const QString &prompt,
                                     const QString &initial)
{
    return take(Kind::Name, {caption, prompt, initial}).answer.value(0);
}

QStringList ScriptedInteraction::askOpenFiles(const QString &caption, const QString &filter,
                                              bool many)
{
    const Step step = take(
        Kind::OpenFiles, {caption, filter, many ? QStringLiteral("many") : QStringLiteral("one")});
    if (!many && step.answer.size() > 1)
        fail(QStringLiteral("a dialog for one file answered with several"));
    return step.answer;
}

QString ScriptedInteraction::askSaveFile(const QString &filter)
{
    return take(Kind::SaveFile, {filter}).answer.value(0);
}

QString ScriptedInteraction::askFolder(const QString &caption, const QString &startFolder)
{
    return take(Kind::Folder, {caption, startFolder}).answer.value(0);
}

bool ScriptedInteraction::editSettings(SettingsDialogValues &values)
{
    const Step step = take(Kind::Settings, {});
    return step.settings ? step.settings(values) : false;
}

bool ScriptedInteraction::editCreateArchive(CreateArchiveValues &values)
{
    const Step step = take(Kind::CreateArchive, {});
    return step.createArchive ? step.createArchive(values) : false;
}

bool ScriptedInteraction::editAttach(AttachValues &values)
{
    const Step step = take(Kind::Attach, {});
    return step.attach ? step.attach(values) : false;
}

bool ScriptedInteraction::openWithDesktop(const QString &fileOrAddress)
{
    return take(Kind::OpenWithDesktop, {fileOrAddress}).yes;
}

void ScriptedInteraction::showAbout()
{
    take(Kind::About, {});
}

void ScriptedInteraction::waitForWork(QFuture<void> work, const QString &label)
{
    ++m_workCount;
    m_log << QStringLiteral("work: ") + label;
    work.waitForFinished();
}
