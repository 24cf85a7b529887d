#include "support/KilledRecorder.h"

#include <QElapsedTimer>
#include <QProcess>

namespace tolvek::test {

KilledRecording recordAndKill(const QString& folder, int killAtMs, int width, int height, unsigned seed)
{
    KilledRecording result;
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(TOLVEK_BINARY_DIR "/tests/record_until_killed"),
            {folder, QString::number(width), QString::number(height), QString::number(seed)});
    if (!p.waitForStarted(10000))
        return result;
    QElapsedTimer bound; // only keeps a broken recorder from hanging the test
    bound.start();
    QString path;
    int elapsed = -1;
    int drawn = 0;
    bool reached = false;
    while (!reached && bound.elapsed() < 120000 && p.state() == QProcess::Running) {
        if (!p.canReadLine() && !p.waitForReadyRead(1000))
            continue;
        while (p.canReadLine()) {
            const QString line = QString::fromLocal8Bit(p.readLine()).trimmed();
            if (line.startsWith(QLatin1String("opened ")))
                path = line.mid(7);
            else if (line.startsWith(QLatin1String("elapsed "))) {
                const QStringList parts = line.split(u' ');
                elapsed = parts.value(1).toInt();
                drawn = parts.value(2).toInt();
            }
            if (!path.isEmpty() && (killAtMs < 0 || elapsed >= killAtMs)) {
                reached = true;
                break;
            }
        }
    }
    p.kill(); // SIGKILL
    p.waitForFinished(10000);
    if (reached) {
        result.path = path;
        result.elapsedMs = std::max(elapsed, 0);
        result.framesDrawn = drawn;
    }
    return result;
}

} // namespace tolvek::test
