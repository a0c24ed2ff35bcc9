#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <functional>

// Runs `work` on a thread of its own and hands its result to `done` on the interface thread,
// unless `context` is gone by then: for work that may wait long (a big file, a service over
// D-Bus) while the window goes on.
template <typename Result>
void offThread(QObject *context, std::function<Result()> work, std::function<void(const Result &)> done)
{
    const QPointer<QObject> guard(context);
    QThread *worker = QThread::create([guard, work = std::move(work), done = std::move(done)] {
        const Result result = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, result] {
                if (guard)
                    done(result);
            },
            Qt::QueuedConnection);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}
