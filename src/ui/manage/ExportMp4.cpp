#include "ui/manage/ExportMp4.h"

#include "core/i18n/UiTexts.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "ui/shared/UserPrompts.h"
#include "ui/shared/WindowState.h"

#include <QFileInfo>
#include <QTimer>

namespace tolvek {

// ---- export -------------------------------------------------------------------------------------

ExportMp4::ExportMp4(QWidget* owner, UserPrompts* prompts, Mp4ExportJob job)
    : QObject(owner), m_owner(owner), m_prompts(prompts), m_job(job),
      m_worker(new Mp4ExportWorker(std::move(job), this))
{
    connect(m_worker, &Mp4ExportWorker::finished, this, &ExportMp4::onWorkerFinished);
}

QList<ExportMp4*> ExportMp4::runningExports(const QObject* owner)
{
    QList<ExportMp4*> running;
    if (owner)
        for (ExportMp4* e : owner->findChildren<ExportMp4*>(Qt::FindDirectChildrenOnly))
            if (e->running())
                running << e;
    return running;
}

void ExportMp4::stop()
{
    // The worker's destructor ends ffmpeg, which removes the working file, and waits for its thread.
    delete m_worker;
    m_worker = nullptr;
    if (m_progress)
        m_progress->close();
    deleteLater();
}

ExportMp4* ExportMp4::start(QWidget* owner, UserPrompts* prompts, const platform::ExternalTools& tools,
                            const QString& saveFolder, const QString& fileName)
{
    const qsizetype cut = std::max(fileName.lastIndexOf(u'\\'), fileName.lastIndexOf(u'/'));
    const QString name = cut >= 0 ? fileName.mid(cut + 1) : fileName;
    if (!prompts || !isExportableVideoName(name))
        return nullptr;
    QString target = prompts->pickSaveFile(owner, QString(), proposedMp4Name(name), uiText(TxtMp4Filter));
    if (target.isEmpty())
        return nullptr;
    // The dialog's default extension: a name typed without one gets ".mp4". From here on every
    // check and question is about the name that is actually written.
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".mp4");
    const QString source = makeSavePath(saveFolder, name);
    if (const QString problem = exportTargetProblem(source, target, saveFolder); !problem.isEmpty()) {
        prompts->message(owner, problem, UserPrompts::Icon::Warning);
        return nullptr;
    }
    const QFileInfo targetInfo(target);
    for (const ExportMp4* running : runningExports(owner))
        if (QFileInfo(running->job().targetPath).absoluteFilePath() == targetInfo.absoluteFilePath()) {
            prompts->message(owner, uiText(TxtExportBusy).arg(target), UserPrompts::Icon::Warning);
            return nullptr;
        }
    bool replace = false;
    if (targetInfo.exists() || targetInfo.isSymLink()) {
        replace =
            prompts->question(owner, uiText(TxtReplaceQuestion).arg(target), uiText(TxtConfirmSaveAs), true);
        if (!replace)
            return nullptr;
    }

    Mp4ExportJob job;
    job.sourcePath = source;
    job.targetPath = target;
    job.program = tools.ffmpeg();
    job.replaceExisting = replace;
    auto* exporter = new ExportMp4(owner, prompts, std::move(job));

    auto* progress = new CProgressDlg(uiText(TxtConvertingVideo), uiText(TxtConvertingToMp4), owner);
    progress->adjustSize();
    if (owner) {
        const QRect frame = owner->frameGeometry();
        QSize size = progress->frameGeometry().size();
        if (size.isEmpty())
            size = progress->size();
        progress->move(frame.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    progress->show();
    exporter->m_progress = progress;

    exporter->m_worker->start();
    return exporter;
}

void ExportMp4::onWorkerFinished(const Mp4ExportResult& result)
{
    m_worker->deleteLater();
    m_worker = nullptr;
    switch (result.status) {
    case Mp4ExportStatus::Completed:
        if (m_progress) {
            m_progress->setBlinking(false);
            m_progress->setMessage(uiText(TxtMp4Complete));
            QTimer::singleShot(ProgressCloseDelayMs, m_progress.data(), &QWidget::close);
        }
        break;
    case Mp4ExportStatus::StartFailed:
        // The progress window keeps blinking until the user closes it.
        if (m_prompts)
            m_prompts->message(m_owner, uiText(TxtFfmpegStartFailed), UserPrompts::Icon::Error);
        break;
    case Mp4ExportStatus::Failed:
    case Mp4ExportStatus::Cancelled:
        if (m_progress) {
            m_progress->setBlinking(false);
            m_progress->setMessage(uiText(TxtMp4Failed));
            QTimer::singleShot(ProgressCloseDelayMs, m_progress.data(), &QWidget::close);
        }
        if (m_prompts)
            m_prompts->message(m_owner, uiText(TxtMp4FailedMessage).arg(result.targetPath, result.detail),
                               UserPrompts::Icon::Warning);
        break;
    }
    Q_EMIT finished(result);
    deleteLater();
}

ExportMp4* exportMp4(QWidget* window, const WindowState& state, const platform::ExternalTools& tools,
                     UserPrompts* prompts)
{
    const QString name =
        state.windowMode() == ModeListAll ? state.allListPendingName : state.playbackVideoName;
    return ExportMp4::start(window, prompts, tools, appSettings().value(SaveFolder), name);
}

} // namespace tolvek
