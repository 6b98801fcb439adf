#pragma once

#include <QString>
#include <QStringList>

// The text of a message box. Most are one text; some are built around a list
// (zip paths, files, refused pages) that may run to thousands of lines. Such
// a list is kept apart, so that the box can show it in a scrolling area of
// its own and still fit the screen; as one string (text()) it reads as
// written: before, the items with the separator between them, after.
class BoxText {
public:
    BoxText() = default;
    // A text without a list: every plain text is a box text.
    BoxText(const QString &text) : m_before(text) {}
    BoxText(const char *text) : m_before(QString::fromUtf8(text)) {}

    static BoxText listed(const QString &before, const QStringList &items,
                          const QString &after = {},
                          const QString &separator = QStringLiteral("\r\n"));

    bool hasList() const { return !m_items.isEmpty(); }
    const QString &before() const { return m_before; }
    const QStringList &items() const { return m_items; }
    const QString &separator() const { return m_separator; }
    const QString &after() const { return m_after; }

    // The whole text as written.
    QString text() const;

    // More text at the end (after the list, when there is one) or at the start.
    BoxText &operator+=(const QString &more);
    friend BoxText operator+(BoxText text, const QString &more) { return text += more; }
    friend BoxText operator+(const QString &start, BoxText text)
    {
        text.m_before.prepend(start);
        return text;
    }

private:
    QString m_before;
    QStringList m_items;
    QString m_separator;
    QString m_after;
};
