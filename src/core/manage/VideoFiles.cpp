#include "core/manage/VideoFiles.h"

#include "core/i18n/UiTexts.h"
#include "core/platform/Trash.h"
#include "core/settings/VideoFileName.h"

#include <QFile>
#include <QFileInfo>

namespace tolvek {

QString replaceVideoId(const QString& name, int id)
{
    return formatPatientId(id) + name.mid(8);
}

QString referenceFileName(const QString& name)
{
    return replaceVideoId(name, ReferenceId);
}

DeleteResult deleteVideoFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return DeleteResult::NotFound;
    return platform::moveToTrash(path) ? DeleteResult::Deleted : DeleteResult::Failed;
}

QString deleteFailureMessage(DeleteResult result, const QString& path)
{
    switch (result) {
    case DeleteResult::NotFound:
        return uiText(TxtCannotFind).arg(path);
    case DeleteResult::Failed:
        return uiText(TxtCannotDelete).arg(path);
    case DeleteResult::Deleted:
        break;
    }
    return {};
}

CopyResult copyVideoFile(const QString& source, const QString& target)
{
    if (QFileInfo::exists(target))
        return CopyResult::TargetExists;
    if (!QFileInfo(source).isFile())
        return CopyResult::SourceMissing;
    // QFile::copy writes a temporary file and renames it, so a failed copy leaves nothing behind.
    return QFile::copy(source, target) ? CopyResult::Copied : CopyResult::Failed;
}

} // namespace tolvek
