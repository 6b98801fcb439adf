#include "search/workpriority.h"

WorkPriority::Scope::Scope(WorkPriority &work) : m_work(work), m_thread(QThread::currentThread())
{
    QMutexLocker lock(&m_work.m_mutex);
    m_thread->setPriority(m_work.m_priority);
    m_work.m_threads.insert(m_thread);
}

WorkPriority::Scope::~Scope()
{
    QMutexLocker lock(&m_work.m_mutex);
    m_work.m_threads.remove(m_thread);
}

void WorkPriority::raise()
{
    QMutexLocker lock(&m_mutex);
    if (m_priority == QThread::NormalPriority || m_priority > QThread::NormalPriority)
        return;
    m_priority = QThread::NormalPriority;
    for (QThread *thread : std::as_const(m_threads))
        thread->setPriority(m_priority);
}
