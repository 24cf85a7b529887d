#include "core/sensor/GyroLinkThread.h"

#include "core/sensor/SensorLog.h"

#include <QThread>

#include <algorithm>
#include <chrono>

namespace tolvek {

const char* sensorLinkEndName(SensorLinkEnd reason)
{
    switch (reason) {
    case SensorLinkEnd::Stopped:
        return "stopped";
    case SensorLinkEnd::ModeChanged:
        return "sensor mode changed";
    case SensorLinkEnd::NoPort:
        return "no port set";
    case SensorLinkEnd::OpenFailed:
        return "port cannot be opened";
    case SensorLinkEnd::BoardSilent:
        return "board silent";
    case SensorLinkEnd::PortLost:
        return "port lost";
    case SensorLinkEnd::SocketFailed:
        return "socket creation failed";
    case SensorLinkEnd::BindFailed:
        return "port in use";
    }
    return "unknown";
}

GyroLinkThread::GyroLinkThread(std::shared_ptr<HeadState> head, media::HeadSource source, QObject* parent)
    : QObject(parent), m_head(std::move(head)), m_source(source),
      m_thread(QStringLiteral("GyroLink"), std::chrono::milliseconds(StopWaitMs))
{
}

GyroLinkThread::~GyroLinkThread() = default;

bool GyroLinkThread::start()
{
    return m_thread.start([this](platform::WorkerRun& run) {
        m_stop = run.stopToken();
        this->run();
        Q_EMIT finished();
    });
}

GyroLinkStats GyroLinkThread::stats() const
{
    GyroLinkStats s;
    s.samples = m_samples.load(std::memory_order_relaxed);
    s.misalignedReads = m_misalignedReads.load(std::memory_order_relaxed);
    s.longestMisalignedRun = m_longestMisalignedRun.load(std::memory_order_relaxed);
    s.droppedBytes = m_droppedBytes.load(std::memory_order_relaxed);
    s.datagrams = m_datagrams.load(std::memory_order_relaxed);
    s.ignoredDatagrams = m_ignoredDatagrams.load(std::memory_order_relaxed);
    return s;
}

void GyroLinkThread::deliver(const Quaternion& sample)
{
    // A link that was told to stop (and perhaps forgotten) must not overwrite a pose chosen
    // after the stop, such as a manual preset.
    if (!running() || !m_head)
        return;
    m_head->applySensorSample(sample, m_source);
    m_samples.fetch_add(1, std::memory_order_relaxed);
}

void GyroLinkThread::finish(int exitCode, SensorLinkEnd reason)
{
    m_listening.store(false);
    m_exitCode.store(exitCode);
    m_endReason.store(reason);
    qCDebug(lcSensor) << "link ended:" << sensorLinkEndName(reason) << "exit code" << exitCode;
    Q_EMIT linkEnded(exitCode, reason);
}

bool GyroLinkThread::sleepWhileRunning(int ms) const
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (running()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return true;
        QThread::msleep(static_cast<unsigned long>(std::min<long long>(left, 20)));
    }
    return false;
}

} // namespace tolvek
