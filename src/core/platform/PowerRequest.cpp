#include "core/platform/PowerRequest.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace tolvek::platform {

namespace {
constexpr int DBusTimeoutMs = 500; // never hold the UI for a slow or absent screensaver
}

PowerRequest::~PowerRequest()
{
    release();
}

void PowerRequest::acquire(const QString& reason)
{
    if (m_active)
        return;
    m_active = true;
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusInterface saver(QStringLiteral("org.freedesktop.ScreenSaver"),
                         QStringLiteral("/org/freedesktop/ScreenSaver"),
                         QStringLiteral("org.freedesktop.ScreenSaver"), bus);
    if (!saver.isValid())
        return;
    saver.setTimeout(DBusTimeoutMs);
    QDBusReply<unsigned> reply = saver.call(QStringLiteral("Inhibit"), QStringLiteral("Tolvek"), reason);
    if (reply.isValid())
        m_cookie = reply.value();
}

void PowerRequest::release()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_cookie == 0)
        return;
    auto bus = QDBusConnection::sessionBus();
    QDBusInterface saver(QStringLiteral("org.freedesktop.ScreenSaver"),
                         QStringLiteral("/org/freedesktop/ScreenSaver"),
                         QStringLiteral("org.freedesktop.ScreenSaver"), bus);
    saver.setTimeout(DBusTimeoutMs);
    saver.call(QStringLiteral("UnInhibit"), m_cookie);
    m_cookie = 0;
}

} // namespace tolvek::platform
