#pragma once
// A temporary folder for one test, removed with its contents when the fixture ends.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace tolvek::test {

class TempDir
{
  public:
    TempDir() { m_dir.setAutoRemove(true); }
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.path() + u'/' + name; }
    bool write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

  private:
    QTemporaryDir m_dir;
};

} // namespace tolvek::test
