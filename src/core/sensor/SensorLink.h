#pragma once
// SensorLink: the one head-sensor link of the main window. Starts the serial or the phone link
// that the SensorMode text asks for when none is alive (StartSensorLink), stops it with a bounded
// wait, and forgets (never kills) a link that does not end in time; a forgotten link deletes
// itself when it ends and delivers nothing after its stop. UI thread only; the links report their
// end through the queued linkEnded signal.

#include "core/sensor/GyroLinkThread.h"
#include "core/sensor/PhoneDatagram.h"

#include <QObject>
#include <QString>

#include <memory>

namespace tolvek {

class Settings;

enum class SensorKind { None, Serial, Phone };

// The link a SensorMode text asks for: "1" anywhere means the serial board, otherwise "2" the
// phone, otherwise none.
SensorKind sensorKindForMode(const QString& sensorModeText);

inline constexpr int SensorStopWaitMs = 2000;  // at the stop of a recording and at the end
inline constexpr int SensorSwitchWaitMs = 500; // when a menu command changes the sensor

struct SensorLinkOptions
{
    Settings* settings = nullptr; // nullptr: the process-wide settings
    quint16 phonePort = PhoneGyroPort;
};

class SensorLink : public QObject
{
    Q_OBJECT
  public:
    enum class StartResult {
        NotWanted,      // SensorMode asks for no sensor
        AlreadyRunning, // a link is alive; nothing was started
        Started,
        Failed, // no thread could be started: show "Failed to start sensor thread."
    };

    explicit SensorLink(std::shared_ptr<HeadState> head, SensorLinkOptions options = {},
                        QObject* parent = nullptr);
    // Stops the link with the usual bounded wait.
    ~SensorLink() override;

    // StartSensorLink.
    StartResult start();
    // Clears the run flag and waits up to waitMs for the link to end. A link that has not ended
    // by then is forgotten. Returns true when no link is left running.
    bool stop(int waitMs = SensorStopWaitMs);
    // A menu command's switch: stop (bounded by waitMs), then start what SensorMode asks for.
    StartResult restart(int waitMs = SensorSwitchWaitMs);

    bool isAlive() const;
    SensorKind aliveKind() const;
    // The current link thread, or nullptr (for diagnostics and tests).
    GyroLinkThread* current() const { return m_thread; }

  Q_SIGNALS:
    // A link ended by itself or after a stop (not emitted for forgotten links).
    void linkEnded(tolvek::SensorKind kind, int exitCode, tolvek::SensorLinkEnd reason);

  private:
    void dropFinished();

    std::shared_ptr<HeadState> m_head;
    Settings* m_settings;
    quint16 m_phonePort;
    GyroLinkThread* m_thread = nullptr; // owned until forgotten
    SensorKind m_kind = SensorKind::None;
};

} // namespace tolvek
