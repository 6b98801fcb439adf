#pragma once

#include <QString>
#include <QStringList>

// What the program asks of the browser view. The widget implementation lives in
// the browser target; tests record the calls.
class PageView {
public:
    virtual ~PageView() = default;

    // A local file path, "about:blank", or an empty location (shows nothing).
    virtual void navigate(const QString &location) = 0;
    // Whether a page is on screen: not while the view shows "about:blank" or
    // nothing. Print, preview and find have nothing to work on without one.
    virtual bool hasPage() const = 0;
    virtual bool offline() const = 0;
    virtual void setOffline(bool offline) = 0;
    // The print dialog, then the shown page on the printer chosen; failures of
    // printing are not reported.
    virtual void print() = 0;
    // The print preview of the shown page, from which it can be printed too.
    virtual void printPreview() = 0;
    // The find bar over the shown page, ready for typing.
    virtual void find() = 0;
    // Highlights every match of text on the page shown last, once it has
    // loaded, with the find bar open on it.
    virtual void findText(const QString &text) = 0;
    // The words a search found on the page shown last, as the page writes
    // them (several forms of one word, say): every one is highlighted once
    // the page has loaded, and the find bar opens on the first of them the
    // page holds.
    virtual void showFoundWords(const QStringList &words) { findText(words.value(0)); }
};
