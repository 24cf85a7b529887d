#include "core/manage/VideoFiles.h"

#include "core/i18n/UiTexts.h"
#include "core/media/HeadTrack.h"
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
    if (!platform::moveToTrash(path))
        return DeleteResult::Failed;
    QString error;
    if (!media::trashHeadTrack(path, &error))
        qWarning("Head data of %s not moved to the trash: %s", qPrintable(path), qPrintable(error));
    return DeleteResult::Deleted;
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

CopyResult copyVideoFile(const QString& source, const QString& target, QString* headDataProblem)
{
    if (QFileInfo::exists(target))
        return CopyResult::TargetExists;
    if (!QFileInfo(source).isFile())
        return CopyResult::SourceMissing;
    // QFile::copy writes a temporary file and renames it, so a failed copy leaves nothing behind.
    if (!QFile::copy(source, target))
        return CopyResult::Failed;
    const media::HeadTrackCopy head = media::copyHeadTrack(source, target);
    if (!head.problem.isEmpty())
        qWarning("Head data of %s: %s", qPrintable(target), qPrintable(head.problem));
    if (headDataProblem)
        *headDataProblem = head.problem;
    return CopyResult::Copied;
}

} // namespace tolvek
