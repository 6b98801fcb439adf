#pragma once

#include <QString>
#include <functional>

// How far long file work has come; called from the thread doing the work.
class WorkProgress {
public:
    virtual ~WorkProgress() = default;
    // The number of steps in all; 0 when it is not known.
    virtual void setTotal(int steps) = 0;
    virtual void advance(int steps = 1) = 0;
};

// Runs long file work (unpacking, writing back) and returns when it is done.
// The program runs it on a worker thread while the user sees its progress, so
// the work must touch nothing but files and its own local data: no model, no
// widget, no member of the object that started it.
class LongWork {
public:
    virtual ~LongWork() = default;
    virtual void run(const QString &label, const std::function<void(WorkProgress &)> &work) = 0;
};

// Runs the work at once on the calling thread: for tools and storage tests.
class InlineWork : public LongWork {
public:
    void run(const QString &label, const std::function<void(WorkProgress &)> &work) override;
};
