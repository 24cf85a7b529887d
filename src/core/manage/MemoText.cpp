#include "core/manage/MemoText.h"

namespace tolvek {

QString cleanMemoText(QString text)
{
    return text.replace(QStringLiteral("<vek>"), QStringLiteral("[vek]"));
}

bool memoLengthAccepted(const QString& cleaned)
{
    return cleaned.size() <= MaxEditedMemoLength;
}

} // namespace tolvek
