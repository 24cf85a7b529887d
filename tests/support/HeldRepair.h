#pragma once
// A background repair of a recording cut off by a crash that ends when the test says so, for
// tests that need the lists rebuilt at a moment of their choosing (while a dialog is open, during
// a recording). The repair runs the real ffmpeg, started through a small shell script that waits
// at a gate until finish() opens it. Every wait is bounded, so a broken test still ends.
// Header-only: the support library has no widgets. UI thread only.

#include "core/library/RecordingRecovery.h"
#include "core/platform/ExternalTools.h"
#include "support/KilledRecorder.h"
#include "support/WaitUntil.h"
#include "ui/library/VideoLists.h"

#include <QFile>
#include <QObject>

#include <chrono>
#include <memory>

namespace tolvek::test {

class HeldRepair
{
  public:
    // workFolder holds the gate script and the cut recording; it is not the save folder.
    explicit HeldRepair(const QString& workFolder) : m_work(workFolder) {}

    // Copies a recording cut off by a crash into saveFolder as name and rescans through
    // lists.reload(); the repair of that file starts and waits at the gate. tools are the ones the
    // lists' window was given: the gate goes in as their ffmpeg. False when the recording could
    // not be made or the repair did not start.
    bool start(VideoLists& lists, platform::ExternalTools& tools, const QString& saveFolder,
               const QString& name)
    {
        if (m_cut.isEmpty()) {
            const KilledRecording killed = recordAndKill(m_work, 1000, 160, 120);
            if (!killed.ok())
                return false;
            m_cut = killed.path;
        }
        if (!writeScript() || !QFile::copy(m_cut, saveFolder + u'/' + name))
            return false;
        tools.setFfmpeg(m_work + QStringLiteral("/held-ffmpeg.sh"));
        m_finished = false;
        m_context = std::make_unique<QObject>();
        // Connected after the lists, so this runs once the lists have taken the report.
        QObject::connect(&lists.recovery(), &RecordingRecovery::finished, m_context.get(),
                         [this] { m_finished = true; });
        lists.reload();
        return lists.recovery().isRunning();
    }

    // Opens the gate and waits until the lists have taken the repair's report (rebuilt the lists
    // and told the user).
    bool finish()
    {
        QFile gate(gatePath());
        if (!gate.open(QIODevice::WriteOnly))
            return false;
        gate.close();
        const bool done = waitUntil([this] { return m_finished; }, std::chrono::seconds(120));
        m_context.reset();
        return done;
    }

  private:
    QString gatePath() const { return m_work + QStringLiteral("/held-ffmpeg.open"); }

    bool writeScript() const
    {
        QFile::remove(gatePath());
        QFile f(m_work + QStringLiteral("/held-ffmpeg.sh"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        // A test's temporary folder holds no single quote. At most 60 s at the gate.
        const QByteArray text = "#!/bin/sh\nn=0\nwhile [ ! -e '" + QFile::encodeName(gatePath()) +
                                "' ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n+1)); done\n"
                                "exec ffmpeg \"$@\"\n";
        const bool written = f.write(text) == text.size();
        f.close();
        return written && f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString m_work;
    QString m_cut;
    bool m_finished = false;
    std::unique_ptr<QObject> m_context;
};

} // namespace tolvek::test
