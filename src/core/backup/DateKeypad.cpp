#include "core/backup/DateKeypad.h"

#include "core/capture/IdHistory.h"

#include <Qt>

namespace tolvek {

int dateValueOf(QDate date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return 0;
    return date.year() * 10000 + date.month() * 100 + date.day();
}

int dateKeypadAppendDigit(int dateValue, int digit)
{
    // The same eight-digit rule as the patient-ID keypad.
    return keypadAppendDigit(dateValue, digit);
}

int dateKeypadRemoveDigit(int dateValue)
{
    return keypadRemoveDigit(dateValue);
}

int dateKeypadShownValue(int dateValue, QDate today)
{
    return dateValue == 0 ? dateValueOf(today) : dateValue;
}

int dateKeypadEdit(int shownValue, bool showingToday, KeypadKeyKind kind, int digit)
{
    // The patient-ID keypad's edits, with today's digits standing in for an empty entry for all
    // but a typed digit.
    const int entry = showingToday && kind == KeypadKeyKind::Digit ? 0 : shownValue;
    return keypadEdit(entry, kind, digit);
}

QString dateDisplayGlyphs(int dateValue)
{
    return (QString::number(dateValue) + QStringLiteral("????????")).left(DateDigitCount);
}

QString quickDateGlyphs(int dateValue)
{
    return QStringLiteral("%1").arg(dateValue, DateDigitCount, 10, QLatin1Char('0')).left(DateDigitCount);
}

std::array<int, QuickDateCount> quickDates(QDate today)
{
    std::array<int, QuickDateCount> dates{};
    for (int k = 0; k < QuickDateCount; ++k)
        dates[k] = dateValueOf(today.addDays(-k));
    return dates;
}

DateKeyAction dateKeyAction(int qtKey)
{
    const KeypadKeyAction id = keypadKeyAction(qtKey);
    switch (id.kind) {
    case KeypadKeyKind::Digit:
        return {DateKeyKind::Digit, id.digit};
    case KeypadKeyKind::RemoveDigit:
        return {DateKeyKind::RemoveDigit};
    case KeypadKeyKind::ClearAll:
        return {DateKeyKind::ClearAll};
    case KeypadKeyKind::Accept:
        return {DateKeyKind::Accept};
    // The ID keypad's history keys and Space mean nothing here.
    default:
        return {};
    }
}

} // namespace tolvek
