// file_operation: runs one of the program's file operations on real files, as the window runs it,
// for fault tests that kill it part-way. Prints "ready" on its own line right before the operation
// starts and "done" after it; the exit code is 0 when the operation succeeded.
//   file_operation memo PATH MEMO                    the memo written into the video's header
//   file_operation trim SOURCE TARGET START END LENGTH MEMO
//                                                    the range copied, then the original trashed
//   file_operation backup SAVE_FOLDER BACKUP_FOLDER NAME...
//   file_operation export SOURCE TARGET              MP4 export through the ffmpeg program
// Working files are noted in the journal of the data folder ($TOLVEK_DATA_DIR).

#include "core/backup/BackupRunner.h"
#include "core/manage/Mp4Export.h"
#include "core/manage/TrimWorker.h"
#include "core/manage/VideoFiles.h"
#include "core/media/VideoTags.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>

using namespace tolvek;

namespace {

void say(const char* line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool trim(const QStringList& a)
{
    auto state = std::make_shared<TrimWorkerState>();
    state->sourcePath = a[0];
    state->targetPath = a[1];
    state->rangeStart = a[2].toInt();
    state->rangeEnd = a[3].toInt();
    state->sliderLength = a[4].toInt();
    state->memo = a[5];
    state->fps = 30;
    state->running = true;
    say("ready");
    TrimWorker(state);
    // As the window does once the copy is done and the original is not kept.
    return state->result == TrimResult::Done && deleteVideoFile(a[0]) == DeleteResult::Deleted;
}

bool backup(const QStringList& a)
{
    BackupRunner runner(a[0], a[1], a.mid(2), QString());
    say("ready");
    while (runner.step()) {
    }
    return runner.copied() == runner.count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString what = args.value(0);
    const QStringList a = args.mid(1);
    bool ok = false;
    if (what == QLatin1String("memo") && a.size() == 2) {
        say("ready");
        ok = writeVideoTags(a[0], a[1]) == TagWriteResult::Written;
    } else if (what == QLatin1String("trim") && a.size() == 6) {
        ok = trim(a);
    } else if (what == QLatin1String("backup") && a.size() >= 3) {
        ok = backup(a);
    } else if (what == QLatin1String("export") && a.size() == 2) {
        Mp4ExportJob job;
        job.sourcePath = a[0];
        job.targetPath = a[1];
        say("ready");
        ok = runMp4Export(job).status == Mp4ExportStatus::Completed;
    } else {
        return 100;
    }
    if (ok)
        say("done");
    return ok ? 0 : 1;
}
