#include "core/library/ListSort.h"

#include <climits>
#include <optional>

namespace tolvek {

namespace {

int sign(long long v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

int directed(int result, bool ascending)
{
    return ascending ? result : -result;
}

// A "%d" conversion: blanks skipped, an optional sign, at least one digit. Large values saturate
// instead of overflowing.
std::optional<long long> scanInt(const QString& s, qsizetype& pos)
{
    qsizetype i = pos;
    while (i < s.size() && s[i].isSpace())
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        negative = s[i++] == u'-';
    const qsizetype digitsFrom = i;
    long long v = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        v = std::min<long long>(v * 10 + (s[i].unicode() - u'0'), INT_MAX);
        ++i;
    }
    if (i == digitsFrom)
        return std::nullopt;
    pos = i;
    return negative ? -v : v;
}

} // namespace

int compareRowText(const QString& a, const QString& b, bool ascending)
{
    return directed(sign(QString::compare(a, b, Qt::CaseSensitive)), ascending);
}

long long lengthTextSeconds(const QString& text)
{
    qsizetype pos = 0;
    if (!text.contains(u'm'))
        return scanInt(text, pos).value_or(0);
    const auto minutes = scanInt(text, pos);
    if (!minutes)
        return 0;
    long long seconds = 0;
    if (pos < text.size() && text[pos] == u'm') {
        ++pos;
        seconds = scanInt(text, pos).value_or(0);
    }
    return *minutes * 60 + seconds;
}

int compareAllListCells(int column, const QString& a, const QString& b, bool ascending)
{
    if (column == AllListLengthColumn)
        return directed(sign(lengthTextSeconds(a) - lengthTextSeconds(b)), ascending);
    return directed(sign(QString::compare(a, b, Qt::CaseInsensitive)), ascending);
}

} // namespace tolvek
