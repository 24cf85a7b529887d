#pragma once
// What the serial and the phone links share: their WorkerThread and its stop request, the end
// reason, the counters and the delivery of samples into HeadState. The stop request and the
// counters are thread-safe, so any thread may stop a link or read its counters; the link never
// touches a widget and reports its end through the queued linkEnded signal. A stop also stops
// further deliveries. A link object may be deleted only once its thread has ended.

#include "core/platform/WorkerThread.h"
#include "core/sensor/HeadPose.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>

namespace tolvek {

// Why a link ended.
enum class SensorLinkEnd {
    Stopped,      // the run flag was cleared
    ModeChanged,  // the SensorMode text no longer asks for this link
    NoPort,       // ComPort names no port
    OpenFailed,   // the port could not be opened or configured
    BoardSilent,  // the board did not answer the start byte within 2 s
    PortLost,     // the port failed while in use (unplugged)
    SocketFailed, // no UDP socket could be created
    BindFailed,   // the UDP port is in use
};

const char* sensorLinkEndName(SensorLinkEnd reason);

// A snapshot of a link's counters.
struct GyroLinkStats
{
    std::uint64_t samples = 0;          // orientations delivered to HeadState
    std::uint64_t misalignedReads = 0;  // serial: 14-byte attempts without the packet marks
    int longestMisalignedRun = 0;       // serial: most misaligned attempts in a row
    std::uint64_t droppedBytes = 0;     // serial: bytes that were not part of a packet
    std::uint64_t datagrams = 0;        // phone: datagrams received
    std::uint64_t ignoredDatagrams = 0; // phone: datagrams refused by the parser
};

class GyroLinkThread : public QObject
{
    Q_OBJECT
  public:
    // How long the destructor waits for a link that is still running.
    static constexpr int StopWaitMs = 2000;

    // source: what the samples of this link are recorded as (serial or phone).
    GyroLinkThread(std::shared_ptr<HeadState> head, media::HeadSource source, QObject* parent = nullptr);
    ~GyroLinkThread() override;

    // Starts the link's thread; false when it runs already or no thread could be created.
    bool start();
    // Asks the link to stop; it ends at its next turn (serial: within 50 ms; phone: within the
    // receive time-out). Safe from any thread, also before the thread has started.
    void requestStop() { m_thread.requestStop(); }
    bool runFlag() const { return !m_thread.stopRequested(); }
    // Waits up to ms for the thread to end; true when it has (or never started).
    bool wait(int ms) { return m_thread.wait(std::chrono::milliseconds(ms)); }
    bool isRunning() const { return m_thread.isRunning(); }
    bool isFinished() const { return m_thread.isFinished(); }

    // True while the port is streaming or the socket is bound and waiting.
    bool listening() const noexcept { return m_listening.load(); }

    // Valid once the thread has finished: 0 after a normal end, the phone link's −2 or −3.
    int exitCode() const noexcept { return m_exitCode.load(); }
    SensorLinkEnd endReason() const noexcept { return m_endReason.load(); }

    GyroLinkStats stats() const;

  Q_SIGNALS:
    // Emitted from the link's own thread as its last act; connect it queued to UI objects.
    void linkEnded(int exitCode, tolvek::SensorLinkEnd reason);
    // Emitted from the link's own thread once run() has returned.
    void finished();

  protected:
    // The link itself, on its own thread.
    virtual void run() = 0;
    // False once a stop was asked for. Link thread only.
    bool running() const { return !m_stop.stop_requested(); }
    // Passes a decoded orientation on, unless the link has been told to stop.
    void deliver(const Quaternion& sample);
    // Records the end and emits linkEnded; called once at the end of run().
    void finish(int exitCode, SensorLinkEnd reason);
    // Sleeps up to ms in short steps; false as soon as a stop is asked for.
    bool sleepWhileRunning(int ms) const;

    std::shared_ptr<HeadState> m_head;
    const media::HeadSource m_source;
    std::stop_token m_stop; // the run's; set on the link thread before run()
    std::atomic<bool> m_listening{false};
    std::atomic<int> m_exitCode{0};
    std::atomic<SensorLinkEnd> m_endReason{SensorLinkEnd::Stopped};

    std::atomic<std::uint64_t> m_samples{0};
    std::atomic<std::uint64_t> m_misalignedReads{0};
    std::atomic<int> m_longestMisalignedRun{0};
    std::atomic<std::uint64_t> m_droppedBytes{0};
    std::atomic<std::uint64_t> m_datagrams{0};
    std::atomic<std::uint64_t> m_ignoredDatagrams{0};

  private:
    platform::WorkerThread m_thread; // last: stopped before the members above go
};

} // namespace tolvek
