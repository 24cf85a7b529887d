#include "core/capture/IdHistory.h"

#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"

#include <algorithm>
#include <limits>

namespace tolvek {

namespace {

bool isScanSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// A "%d" scan of text: leading white space, an optional sign, then decimal digits.
bool scanInt(const QString& text, int& value)
{
    int i = 0;
    while (i < text.size() && isScanSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long v = 0;
    int digits = 0;
    // An entry is at most 8 characters, so this never overflows; the cap keeps it so for
    // any caller.
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && digits < 18) {
        v = v * 10 + (text[i].unicode() - u'0');
        ++i;
        ++digits;
    }
    if (digits == 0)
        return false;
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(v);
    return true;
}

bool isEightDigits(const QString& text)
{
    if (text.size() != IdDigitCount)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// Position of idText as a whole entry (bounded by the ends or by commas), or -1. A plain
// substring search could hit the inside of a longer, hand-edited entry and cut it apart.
qsizetype findEntry(const QString& history, const QString& idText)
{
    qsizetype from = 0;
    while (true) {
        const qsizetype at = history.indexOf(idText, from);
        if (at < 0)
            return -1;
        const qsizetype end = at + idText.size();
        const bool startOk = at == 0 || history[at - 1] == u',';
        const bool endOk = end == history.size() || history[end] == u',';
        if (startOk && endOk)
            return at;
        from = at + 1;
    }
}

} // namespace

int readHistoryEntry(const QString& history, int n)
{
    if (n < 1 || n > IdHistoryEntryCount)
        return 0;
    const qsizetype start = 9 * (n - 1);
    if (start >= history.size())
        return 0;
    int value = 0;
    if (!scanInt(history.mid(start, IdDigitCount), value) || value < 0)
        return 0;
    return value;
}

QString addToIdHistory(const QString& history, const QString& idText)
{
    if (!isEightDigits(idText) || idText == QLatin1String("00000000"))
        return history;
    QString old = history;
    const qsizetype at = findEntry(old, idText);
    if (at >= 0) {
        old.remove(at, idText.size());
        if (at < old.size() && old[at] == u',')
            old.remove(at, 1);
        else if (at > 0 && old[at - 1] == u',')
            old.remove(at - 1, 1);
    }
    // An empty history gets no trailing comma.
    const QString joined = old.isEmpty() ? idText : idText + u',' + old;
    return joined.left(IdHistoryMaxLength);
}

void addToIdHistory(Settings& settings, int patientId)
{
    if (patientId < 0 || patientId > MaxEnteredId)
        return;
    settings.setValue(IdHistory, addToIdHistory(settings.value(IdHistory), formatPatientId(patientId)));
}

int keypadAppendDigit(int enteredId, int digit)
{
    if (digit < 0 || digit > 9 || enteredId < 0 || enteredId > MaxEnteredId / 10)
        return enteredId;
    if (digit == 0 && enteredId == 0)
        return enteredId;
    return enteredId * 10 + digit;
}

int keypadRemoveDigit(int enteredId)
{
    return enteredId / 10;
}

int keypadEdit(int enteredId, KeypadKeyKind kind, int digit)
{
    switch (kind) {
    case KeypadKeyKind::Digit:
        return keypadAppendDigit(enteredId, digit);
    case KeypadKeyKind::RemoveDigit:
        return keypadRemoveDigit(enteredId);
    case KeypadKeyKind::ClearAll:
        return 0;
    default:
        return enteredId;
    }
}

HistoryStep keypadHistoryUp(int historyIndex, int enteredId, const QString& history)
{
    HistoryStep step;
    step.historyIndex = std::max(historyIndex - 1, 0);
    step.enteredId = step.historyIndex >= 1 && step.historyIndex <= IdHistoryEntryCount
                         ? readHistoryEntry(history, step.historyIndex)
                         : enteredId;
    return step;
}

HistoryStep keypadHistoryDown(int historyIndex, const QString& history)
{
    HistoryStep step;
    step.historyIndex = std::clamp(historyIndex + 1, 1, IdHistoryEntryCount);
    step.enteredId = readHistoryEntry(history, step.historyIndex);
    return step;
}

namespace {

QString blankLeadingZeros(const QString& digits, bool keepLast)
{
    QString cells = digits;
    const qsizetype last = keepLast ? cells.size() - 1 : cells.size();
    for (qsizetype i = 0; i < last && cells[i] == u'0'; ++i)
        cells[i] = u' ';
    return cells;
}

} // namespace

QString idDisplayGlyphs(int value)
{
    const int v = value < 0 ? 0 : value % (MaxEnteredId + 1);
    return blankLeadingZeros(formatPatientId(v), false);
}

QString historyDisplayGlyphs(int value)
{
    const int v = value < 0 || value > MaxEnteredId ? 0 : value;
    return blankLeadingZeros(formatPatientId(v), true);
}

} // namespace tolvek

namespace tolvek {
int firstHistoryId(const QString& history)
{
    qsizetype i = 0;
    while (i < history.size() && history[i].isSpace())
        ++i;
    bool negative = false;
    if (i < history.size() && (history[i] == u'+' || history[i] == u'-'))
        negative = history[i++] == u'-';
    long long v = 0;
    const qsizetype start = i;
    while (i < history.size() && history[i].isDigit() && v <= 99999999)
        v = v * 10 + (history[i++].unicode() - u'0');
    if (i == start || negative || v > 99999999)
        return 0;
    return static_cast<int>(v);
}
} // namespace tolvek
