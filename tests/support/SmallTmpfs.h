#pragma once
// A small file system of its own (a tmpfs of the given size, mounted on a fresh folder), for tests
// of a full disk. Needs the right to mount; mounted() is false where that is not given, and tests
// skip. Unmounted when the object ends.

#include "support/TempDir.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tolvek::test {

class SmallTmpfs
{
  public:
    explicit SmallTmpfs(const QString& size)
    {
        QDir().mkpath(path());
        m_mounted =
            run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=") + size, QStringLiteral("tmpfs"), path()});
    }
    ~SmallTmpfs()
    {
        if (m_mounted)
            run(QStringLiteral("umount"), {path()});
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.file(QStringLiteral("small")); }
    QString file(const QString& name) const { return path() + u'/' + name; }

  private:
    static bool run(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    TempDir m_dir;
    bool m_mounted = false;
};

} // namespace tolvek::test
