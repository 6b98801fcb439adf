#pragma once

// Helpers shared by the window tests.

#include <QApplication>
#include <QDir>
#include <QList>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

// Looks a control up by its object name; a missing one fails the test at once.
#define FIND(var, Type, parent, name)                                                              \
    Type *var = (parent).findChild<Type *>(QStringLiteral(name));                                  \
    QVERIFY2(var, "no control " name)

// Runs actions on modal windows as soon as they are open (a dialog's exec()
// blocks the test). A window that never came fails the test in verify(),
// which cleanup() runs.
class ModalWatch {
public:
    ~ModalWatch() { stop(); }

    template <class T> void whenModal(std::function<void(T *)> action)
    {
        auto *timer = new QTimer(qApp);
        m_pending << timer;
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, action] {
            auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!window)
                return;
            timer->stop();
            m_pending.removeAll(timer);
            timer->deleteLater();
            action(window);
        });
        timer->start(20);
    }

    // Fails the running test when a watched window never came.
    void verify()
    {
        const qsizetype left = m_pending.size();
        stop();
        if (left > 0)
            QTest::qFail("a modal window that was waited for never opened", __FILE__, __LINE__);
    }

private:
    void stop()
    {
        for (const QPointer<QTimer> &timer : std::as_const(m_pending)) {
            if (timer)
                timer->deleteLater();
        }
        m_pending.clear();
    }

    QList<QPointer<QTimer>> m_pending;
};

// Points the desktop's folders (configuration, data, cache) into base, so
// nothing the tests do reaches the real home folder.
inline void isolateHome(const QString &base)
{
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString folder = base + u'/' + QString::fromLatin1(name).toLower();
        QDir().mkpath(folder);
        qputenv(name, QFile::encodeName(folder));
    }
}
