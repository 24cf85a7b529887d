#include "core/sensor/SensorLink.h"

#include "core/sensor/PhoneGyroThread.h"
#include "core/sensor/SensorLog.h"
#include "core/sensor/SerialGyroThread.h"
#include "core/settings/Settings.h"

namespace tolvek {

SensorKind sensorKindForMode(const QString& sensorModeText)
{
    if (sensorModeText.contains(u'1'))
        return SensorKind::Serial;
    if (sensorModeText.contains(u'2'))
        return SensorKind::Phone;
    return SensorKind::None;
}

SensorLink::SensorLink(std::shared_ptr<HeadState> head, SensorLinkOptions options, QObject* parent)
    : QObject(parent), m_head(std::move(head)),
      m_settings(options.settings ? options.settings : &appSettings()), m_phonePort(options.phonePort)
{
}

SensorLink::~SensorLink()
{
    stop(SensorStopWaitMs);
}

bool SensorLink::isAlive() const
{
    return m_thread && m_thread->isRunning();
}

SensorKind SensorLink::aliveKind() const
{
    return isAlive() ? m_kind : SensorKind::None;
}

void SensorLink::dropFinished()
{
    if (!m_thread)
        return;
    // Already finished: returns at once and makes the deletion safe.
    m_thread->wait(GyroLinkThread::StopWaitMs);
    delete m_thread;
    m_thread = nullptr;
    m_kind = SensorKind::None;
}

SensorLink::StartResult SensorLink::start()
{
    const SensorKind kind = sensorKindForMode(m_settings->value(SensorMode));
    if (kind == SensorKind::None)
        return StartResult::NotWanted;
    if (m_thread) {
        if (m_thread->isRunning())
            return StartResult::AlreadyRunning;
        dropFinished();
    }
    GyroLinkThread* thread = nullptr;
    if (kind == SensorKind::Serial)
        thread = new SerialGyroThread(m_head, *m_settings);
    else
        thread = new PhoneGyroThread(m_head, m_phonePort);
    // A forgotten link is disconnected, so only links still owned here are reported.
    connect(
        thread, &GyroLinkThread::linkEnded, this,
        [this, kind](int exitCode, SensorLinkEnd reason) { Q_EMIT linkEnded(kind, exitCode, reason); },
        Qt::QueuedConnection);
    if (!thread->start()) {
        qCDebug(lcSensor) << "sensor thread could not be started";
        delete thread;
        return StartResult::Failed;
    }
    m_thread = thread;
    m_kind = kind;
    return StartResult::Started;
}

bool SensorLink::stop(int waitMs)
{
    if (!m_thread)
        return true;
    m_thread->requestStop();
    if (m_thread->wait(std::max(waitMs, 0))) {
        dropFinished();
        return true;
    }
    // Not killed: a thread torn down mid-call could leave the port or HeadState broken. It ends
    // at its next turn and then deletes itself; until then it delivers nothing.
    qCDebug(lcSensor) << "sensor link did not end within" << waitMs << "ms; forgotten";
    GyroLinkThread* forgotten = m_thread;
    m_thread = nullptr;
    m_kind = SensorKind::None;
    forgotten->disconnect(this);
    connect(forgotten, &GyroLinkThread::finished, forgotten, &QObject::deleteLater);
    if (forgotten->isFinished())
        forgotten->deleteLater();
    return false;
}

SensorLink::StartResult SensorLink::restart(int waitMs)
{
    stop(waitMs);
    return start();
}

} // namespace tolvek
