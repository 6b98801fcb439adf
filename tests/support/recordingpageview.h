#pragma once

#include "browse/pageview.h"

#include <QStringList>

// A page view that only records what it was asked to do.
class RecordingPageView : public PageView {
public:
    void navigate(const QString &location) override
    {
        calls << QStringLiteral("navigate ") + location;
        m_hasPage = !location.isEmpty() && location != u"about:blank";
    }
    bool hasPage() const override { return m_hasPage; }
    bool offline() const override { return m_offline; }
    void setOffline(bool offline) override
    {
        m_offline = offline;
        calls << (offline ? QStringLiteral("offline 1") : QStringLiteral("offline 0"));
    }
    void print() override { calls << QStringLiteral("print"); }
    void printPreview() override { calls << QStringLiteral("preview"); }
    void find() override { calls << QStringLiteral("find"); }
    void findText(const QString &text) override { calls << QStringLiteral("find ") + text; }
    void showFoundWords(const QStringList &words) override
    {
        calls << QStringLiteral("find words ") + words.join(QStringLiteral(", "));
    }

    QStringList calls;
    bool m_offline = false;
    bool m_hasPage = false;
};
