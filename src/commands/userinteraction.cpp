#include "commands/userinteraction.h"

#include "lang/messages.h"

#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

namespace {

class PromiseProgress : public WorkProgress {
public:
    explicit PromiseProgress(QPromise<void> &promise) : m_promise(promise) {}
    void setTotal(int steps) override
    {
        m_promise.setProgressRange(0, steps);
        m_done = 0;
    }
    void advance(int steps) override
    {
        m_done += steps;
        m_promise.setProgressValue(m_done);
    }

private:
    QPromise<void> &m_promise;
    int m_done = 0;
};

} // namespace

void UserInteraction::runWork(MessageId label, const std::function<void(WorkProgress &)> &work)
{
    QFuture<void> future = QtConcurrent::run([&work](QPromise<void> &promise) {
        PromiseProgress progress(promise);
        work(progress);
    });
    waitForWork(future, msg(label));
    // The work refers to the caller's data: it must be over before we return,
    // whatever the waiting side did.
    future.waitForFinished();
}
