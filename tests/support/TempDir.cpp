#include "support/TempDir.h"

#include <QFile>

namespace tolvek::test {

bool TempDir::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray TempDir::read(const QString& name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace tolvek::test
