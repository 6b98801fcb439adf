#pragma once

#include <QMutex>
#include <QSet>
#include <QThread>

// The priority of the threads that index, and a way to raise them all at
// once. Indexing runs at idle priority so that it never competes with the
// user's work; but a thread at idle priority on a busy machine can take
// seconds to reach the point where it sees a stop, and closing the program
// waits for that. A stop therefore raises every thread still at work.
class WorkPriority {
public:
    explicit WorkPriority(QThread::Priority priority) : m_priority(priority) {}

    // Runs the calling thread at the work's priority while it lives.
    class Scope {
    public:
        explicit Scope(WorkPriority &work);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        WorkPriority &m_work;
        QThread *m_thread;
    };

    // Every thread in a Scope, and every one that enters one later, runs at
    // normal priority from now on.
    void raise();

private:
    QMutex m_mutex;
    QThread::Priority m_priority;
    QSet<QThread *> m_threads;
};
