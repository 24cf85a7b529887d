#include "core/platform/ProfileStore.h"

#include <QSettings>

namespace tolvek::platform {

int ProfileStore::readInt(const QString& section, const QString& entry, int defaultValue) const
{
    QSettings s(QStringLiteral("Tolvek"), QStringLiteral("Tolvek"));
    bool ok = false;
    const int v = s.value(section + u'/' + entry).toInt(&ok);
    return ok ? v : defaultValue;
}

void ProfileStore::writeInt(const QString& section, const QString& entry, int value)
{
    QSettings s(QStringLiteral("Tolvek"), QStringLiteral("Tolvek"));
    s.setValue(section + u'/' + entry, value);
}

} // namespace tolvek::platform
