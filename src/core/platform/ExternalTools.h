#pragma once
// The external programs this program starts, in one place: ffmpeg, for MP4 exports and for the
// repair of recordings cut off by a crash. The composition root makes one and hands it to what
// starts a program; tests hand in their own. A job copies the path when it starts, so a change
// concerns later jobs only. Not thread-safe: set and read it on the thread that owns it (the UI
// thread). A program that cannot be started is reported by the job that starts it.

#include <QString>

namespace tolvek::platform {

class ExternalTools
{
  public:
    // Looked up in PATH when it is started.
    static constexpr char DefaultFfmpeg[] = "ffmpeg";

    QString ffmpeg() const { return m_ffmpeg; }
    // A name looked up in PATH, or a full path; an empty text restores DefaultFfmpeg.
    void setFfmpeg(const QString& program)
    {
        m_ffmpeg = program.isEmpty() ? QString::fromLatin1(DefaultFfmpeg) : program;
    }

  private:
    QString m_ffmpeg = QString::fromLatin1(DefaultFfmpeg);
};

} // namespace tolvek::platform
