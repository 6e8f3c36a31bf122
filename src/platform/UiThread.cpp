#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QThread>

bool IsUiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

bool RunOnUiThread(std::function<void()> work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !work) {
        return false;
    }
    return QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void ProcessPendingEvents()
{
    if (QCoreApplication::instance() && IsUiThread()) {
        QCoreApplication::processEvents();
    }
}
