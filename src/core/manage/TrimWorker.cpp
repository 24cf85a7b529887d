#include "core/manage/TrimWorker.h"

#include "core/capture/FrameStamps.h"
#include "core/media/HeadTrack.h"
#include "core/media/VideoHeaderReader.h"
#include "core/media/VideoTags.h"
#include "core/media/WmvWriter.h"
#include "core/platform/DurableFiles.h"
#include "core/platform/WorkerThread.h"
#include "core/playback/SliderMath.h"
#include "core/settings/VideoFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace tolvek {

int TrimWorkerState::expectedFrames() const
{
    const int total = framesTotal.load();
    if (reIdMode())
        return total;
    return markedFrames(rangeStart, rangeEnd, sliderLength, total).count();
}

bool copyIsComplete(int framesDone, int framesExpected)
{
    const int margin = std::max(2, framesExpected / 100);
    return framesDone >= framesExpected - margin;
}

std::optional<QString> makeTrimmedFileName(const QString& sourcePath, int rangeStart, int frameCount,
                                           int sliderLength, int fps)
{
    const QFileInfo source(sourcePath);
    const VideoNameFields fields = parseVideoFileName(source.fileName());
    if (!fields.timeValid() || !source.fileName().endsWith(QLatin1String(".wmv")))
        return std::nullopt;
    const QDateTime start = fields.localTime();
    if (!start.isValid())
        return std::nullopt;

    std::int64_t offset = 0;
    if (fps > 0)
        offset = markedFrames(rangeStart, rangeStart, sliderLength, frameCount).first / fps;
    // Always at least one second, so the new name differs from the source's even for a range
    // that starts at the first frame.
    if (offset <= 0)
        offset = 1;
    const QString folder = source.path();
    return makeSavePath(folder, freeVideoFileName(folder, fields.patientId, start.addSecs(offset)));
}

namespace {

// The frames a worker reads, and what it does to each.
struct CopyPlan
{
    bool wholeFile = false; // every frame, else the frames of the marked range
    int burnId = -1;        // ID label to burn into every frame, -1 for none
};

// A frame rate a camera recording can have; the demuxer reports its time base (1000) for a video
// too short to measure one.
bool plausibleFps(double fps)
{
    return std::isfinite(fps) && fps > 0 && fps <= 240;
}

// The frame rate the timestamps of a video's first two frames give; 0 when fewer than two frames
// can be read.
double measuredFps(const QString& path)
{
    cv::VideoCapture probe(path.toStdString(), cv::CAP_FFMPEG);
    cv::Mat frame;
    if (!probe.isOpened() || !probe.read(frame))
        return 0;
    const double first = probe.get(cv::CAP_PROP_POS_MSEC);
    if (!probe.read(frame))
        return 0;
    const double interval = probe.get(cv::CAP_PROP_POS_MSEC) - first;
    return interval > 0 ? 1000.0 / interval : 0;
}

// The number of frames the source announces. The demuxer's count is its play length times its
// frame rate; a file cut short loses that length (the count comes out negative or absurd), and a
// video of a few frames has no rate the demuxer trusts. Then the play length in the file's own ASF
// header stands in, times the rate the demuxer gives or the one its first frames' timestamps show,
// so that a copy that stops early is still measured against the whole video.
int announcedFrameCount(cv::VideoCapture& reader, const QString& path)
{
    const double fps = reader.get(cv::CAP_PROP_FPS);
    const double count = reader.get(cv::CAP_PROP_FRAME_COUNT);
    if (plausibleFps(fps) && std::isfinite(count) && count > 0 && count < 1e9)
        return int(std::lround(count));
    const double seconds = VideoHeaderReader().readDurationAndTitle(path).seconds;
    if (!(seconds > 0))
        return 0;
    const double rate = plausibleFps(fps) ? fps : measuredFps(path);
    if (!plausibleFps(rate))
        return 1; // one readable frame, and nothing that tells of more
    const double frames = seconds * rate;
    return frames < 1e9 ? std::max(1, int(std::lround(frames))) : 0;
}

// Reads the frames of an open source on a thread of its own, a few ahead of the encoder, so that
// decoding and encoding run side by side on two cores. next() gives them in order and false at the
// end, at the first frame that cannot be read, or once `limit` frames were given. The destructor
// stops the thread and waits for it up to StopWaitMs; the capture is touched by that thread alone
// meanwhile and shared with it, so a read that hangs longer is left to end by itself. Without a
// thread, next() reads the frames itself.
class ReadAhead
{
  public:
    static constexpr std::size_t Depth = 4;
    static constexpr int StopWaitMs = 5000;

    ReadAhead(std::shared_ptr<cv::VideoCapture> reader, int limit)
        : m_shared(std::make_shared<Shared>()),
          m_thread(QStringLiteral("TrimReadAhead"), std::chrono::milliseconds(StopWaitMs))
    {
        m_shared->reader = std::move(reader);
        m_shared->limit = limit;
        m_threaded = m_thread.start([shared = m_shared](platform::WorkerRun&) { run(*shared); });
    }
    ~ReadAhead()
    {
        {
            std::lock_guard<std::mutex> held(m_shared->lock);
            m_shared->stop = true;
        }
        m_shared->changed.notify_all();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    bool next(cv::Mat& frame)
    {
        Shared& s = *m_shared;
        if (!m_threaded) {
            if (s.limit >= 0 && s.read >= s.limit)
                return false;
            ++s.read;
            return s.reader->read(frame) && !frame.empty();
        }
        std::unique_lock<std::mutex> held(s.lock);
        s.changed.wait(held, [&s] { return !s.frames.empty() || s.done; });
        if (s.frames.empty())
            return false;
        frame = std::move(s.frames.front());
        s.frames.pop_front();
        s.changed.notify_all();
        return true;
    }

  private:
    struct Shared
    {
        std::shared_ptr<cv::VideoCapture> reader;
        int limit = -1;
        int read = 0;
        std::mutex lock;
        std::condition_variable changed;
        std::deque<cv::Mat> frames;
        bool stop = false;
        bool done = false;
    };

    static void run(Shared& s)
    {
        for (; s.limit < 0 || s.read < s.limit; ++s.read) {
            cv::Mat frame;
            if (!s.reader->read(frame) || frame.empty())
                break;
            std::unique_lock<std::mutex> held(s.lock);
            s.changed.wait(held, [&s] { return s.frames.size() < Depth || s.stop; });
            if (s.stop)
                break;
            s.frames.push_back(std::move(frame));
            s.changed.notify_all();
        }
        std::lock_guard<std::mutex> held(s.lock);
        s.done = true;
        s.changed.notify_all();
    }

    std::shared_ptr<Shared> m_shared;
    bool m_threaded = false;
    platform::WorkerThread m_thread; // last: stopped before the members above go
};

// The head data of the frames the copy holds, under the copy's name. The video is complete
// without it, so a failure is only recorded.
void copyHeadData(TrimWorkerState& s, const CopyPlan& plan, int first)
{
    const media::HeadTrackCopy copy =
        plan.wholeFile ? media::copyHeadTrack(s.sourcePath, s.targetPath)
                       : media::copyHeadTrackRange(s.sourcePath, s.targetPath, first, s.framesDone.load());
    s.headDataProblem = copy.problem;
    if (!copy.problem.isEmpty())
        qWarning("Head data of %s: %s", qPrintable(s.targetPath), qPrintable(copy.problem));
}

TrimResult copyFrames(TrimWorkerState& s, const CopyPlan& plan)
{
    if (QFileInfo::exists(s.targetPath))
        return TrimResult::TargetExists;

    // Shared with the read-ahead thread, which may outlive this call when a read hangs.
    auto reader = std::make_shared<cv::VideoCapture>(s.sourcePath.toStdString(), cv::CAP_FFMPEG);
    if (!reader->isOpened())
        return TrimResult::SourceUnreadable;
    s.framesTotal = announcedFrameCount(*reader, s.sourcePath);

    int first = 0;
    int wanted = -1; // all frames up to the end of the file
    if (!plan.wholeFile) {
        // The range is known only now that the worker's own frame count is.
        // The frames the markers enclose, both marked frames included, as the player shows them.
        const MarkedFrames range = markedFrames(s.rangeStart, s.rangeEnd, s.sliderLength, s.framesTotal);
        first = range.first;
        wanted = range.count();
        if (wanted <= 0)
            return TrimResult::RangeEmpty;
    }
    if (first > 0)
        reader->set(cv::CAP_PROP_POS_FRAMES, first);

    cv::Mat frame;
    if (!reader->read(frame) || frame.empty())
        return TrimResult::SourceUnreadable;

    // The source's own size and rate: every frame stays writable and the duration unchanged even
    // when the configured capture size or rate changed since it was recorded.
    const cv::Size size = frame.size();
    double fps = reader->get(cv::CAP_PROP_FPS);
    if (!std::isfinite(fps) || fps <= 0 || fps > 1000)
        fps = s.fps > 0 ? s.fps : 30.0;

    // A leading dot and no leading digits: a library scan never lists a half-written file. Created
    // new before the writer opens it, so a link planted at the name is never written through.
    const QFileInfo targetInfo(s.targetPath);
    platform::WorkingFile working = platform::WorkingFile::create(
        targetInfo.dir().filePath(QStringLiteral(".part-") + targetInfo.fileName()));
    if (!working.created())
        return TrimResult::TargetUnwritable;
    media::WmvWriterSettings file;
    file.width = size.width;
    file.height = size.height;
    file.fps = fps;
    // The memo and the product mark are in the header from the start: no copy of the file for them.
    if (s.memo)
        file.title = *s.memo;
    media::WmvWriter writer;
    if (!writer.openDescriptor(working.handle(), file)) {
        return TrimResult::TargetUnwritable;
    }

    bool cancelled = false;
    {
        ReadAhead ahead(reader, wanted < 0 ? -1 : wanted - 1);
        cv::Mat sized;
        do {
            if (!s.running) {
                cancelled = true;
                break;
            }
            if (frame.channels() == 1)
                cv::cvtColor(frame, frame, cv::COLOR_GRAY2BGR);
            cv::Mat& out = frame.size() == size ? frame : (cv::resize(frame, sized, size), sized);
            if (plan.burnId >= 0)
                stampIdLabel(out, plan.burnId);
            if (!writer.write(out))
                break;
            ++s.framesDone;
        } while ((wanted < 0 || s.framesDone < wanted) && ahead.next(frame));
    }
    const bool written = writer.close();
    reader.reset(); // released here, or by a read-ahead thread left behind when it ends

    if (cancelled || !s.running) {
        return TrimResult::Cancelled;
    }
    // A full disk or an I/O error stopped the copy, not the source.
    if (!written) {
        return TrimResult::TargetUnwritable;
    }
    // Reading stops at the first frame that cannot be decoded, which for a damaged source is not
    // its end: such a copy is no replacement for the original.
    if (!copyIsComplete(s.framesDone, wanted < 0 ? s.framesTotal.load() : wanted)) {
        return TrimResult::SourceCutShort;
    }
    // Only the file created above may take the target's name.
    if (!working.stillOurs() || QFileInfo(working.path()).size() <= 0) {
        return TrimResult::TargetUnwritable;
    }
    // A memo too long for the writer's header field goes in through the tag writer, which
    // replaces the working file by a rename of its own.
    const bool retagged = s.memo && !writer.titleWritten();
    if (retagged && (writeVideoTags(working.path(), *s.memo) != TagWriteResult::Written ||
                     !working.acceptReplacement())) {
        return TrimResult::TargetUnwritable;
    }
    // On the disk before it takes its final name (the writer flushed it as it closed; the tag
    // writer flushes its own), so that a power cut never leaves a partial video under that name;
    // and a file that appeared meanwhile is never replaced.
    QString error;
    switch (platform::renameNoReplace(working.path(), s.targetPath, error)) {
    case platform::RenameResult::Renamed:
        platform::syncFolderOf(s.targetPath);
        copyHeadData(s, plan, first);
        return TrimResult::Done;
    case platform::RenameResult::TargetExists:
        return TrimResult::TargetExists;
    case platform::RenameResult::Failed:
        break;
    }
    return TrimResult::TargetUnwritable;
}

int finish(TrimWorkerState& s, TrimResult result)
{
    // The result first: a watcher that sees running cleared reads the final result.
    s.result = result;
    s.ended = true;
    s.running = false;
    return 0;
}

} // namespace

int TrimWorker(std::shared_ptr<TrimWorkerState> state)
{
    TrimWorkerState& s = *state;
    s.framesDone = 0;
    return finish(s, copyFrames(s, CopyPlan{false, -1}));
}

int ReburnIdWorker(std::shared_ptr<TrimWorkerState> state)
{
    TrimWorkerState& s = *state;
    s.framesDone = 0;
    return finish(s, copyFrames(s, CopyPlan{true, s.newId}));
}

} // namespace tolvek
