#include "core/settings/VideoFileName.h"

#include <QFileInfo>

namespace tolvek {

QString formatPatientId(int patientId)
{
    return QStringLiteral("%1").arg(patientId, 8, 10, QLatin1Char('0'));
}

QString makeVideoFileName(int patientId, const QDateTime& t)
{
    const QDate d = t.date();
    const QTime tm = t.time();
    return QString::asprintf("%08d%04d%02d%02d%02d%02d%02d.wmv", patientId, d.year(), d.month(), d.day(),
                             tm.hour(), tm.minute(), tm.second());
}

namespace {
bool allDigits(const QString& s, int from, int count)
{
    if (s.size() < from + count)
        return false;
    for (int i = from; i < from + count; ++i)
        if (s[i] < u'0' || s[i] > u'9')
            return false;
    return true;
}
int number(const QString& s, int from, int count)
{
    return s.mid(from, count).toInt();
}
} // namespace

bool isVideoFileName(const QString& name)
{
    return name.size() > 25 && name.endsWith(QStringLiteral(".wmv"), Qt::CaseInsensitive) &&
           allDigits(name, 0, 22);
}

VideoNameFields parseVideoFileName(const QString& name)
{
    VideoNameFields f;
    if (!allDigits(name, 0, 22))
        return f;
    f.ok = true;
    f.patientId = number(name, 0, 8);
    f.year = number(name, 8, 4);
    f.month = number(name, 12, 2);
    f.day = number(name, 14, 2);
    f.hour = number(name, 16, 2);
    f.minute = number(name, 18, 2);
    f.second = number(name, 20, 2);
    return f;
}

bool VideoNameFields::timeValid() const
{
    return ok && year >= 1970 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 &&
           hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

QDateTime VideoNameFields::localTime() const
{
    if (!timeValid())
        return {};
    // Day 31 of a short month rolls over like mktime does.
    const QDate first(year, month, 1);
    return QDateTime(first.addDays(day - 1), QTime(hour, minute, second));
}

QString splitVideoFileName(const QString& name)
{
    if (name.size() < 20)
        return name;
    return name.left(8) + u' ' + videoDateText(name);
}

QString videoDateText(const QString& name)
{
    if (name.size() < 20)
        return {};
    return name.mid(8, 4) + u'-' + name.mid(12, 2) + u'-' + name.mid(14, 2) + u' ' + name.mid(16, 2) + u':' +
           name.mid(18, 2);
}

QString videoIdText(const QString& name)
{
    return name.left(8);
}

bool isReferenceVideoName(const QString& name)
{
    return name.contains(QLatin1String(ReferenceIdText));
}

QString makeSavePath(const QString& folder, const QString& name)
{
    return folder + u'/' + name;
}

QString headDataFileName(const QString& videoName)
{
    const qsizetype dot = videoName.lastIndexOf(u'.');
    return (dot > 0 ? videoName.left(dot) : videoName) + QStringLiteral(".head.csv");
}

QString freeVideoFileName(const QString& folder, int patientId, QDateTime localTime)
{
    QString name = makeVideoFileName(patientId, localTime);
    // Bounded: a day of seconds is far more than any folder can collide on.
    const auto taken = [&folder](const QString& n) {
        return QFileInfo::exists(makeSavePath(folder, n)) ||
               QFileInfo::exists(makeSavePath(folder, headDataFileName(n)));
    };
    for (int i = 0; i < 86400 && taken(name); ++i) {
        localTime = localTime.addSecs(1);
        name = makeVideoFileName(patientId, localTime);
    }
    return name;
}

} // namespace tolvek
