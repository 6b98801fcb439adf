#pragma once

#include <QString>

// What the program asks of the browser view. The widget implementation lives in
// the browser target; tests record the calls.
class PageView {
public:
    virtual ~PageView() = default;

    // A local file path, "about:blank", or an empty location (shows nothing).
    virtual void navigate(const QString &location) = 0;
    virtual bool offline() const = 0;
    virtual void setOffline(bool offline) = 0;
    virtual void print() = 0;
    virtual void printPreview() = 0;
    virtual void find() = 0;
    // Highlights every match of text on the page shown last, once it has
    // loaded, with the find bar open on it.
    virtual void findText(const QString &text) = 0;
};
