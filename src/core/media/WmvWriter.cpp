#include "core/media/WmvWriter.h"

#include "core/media/FfmpegOwners.h"
#include "core/media/HeaderTags.h"
#include "core/platform/DurableFiles.h"
#include "core/platform/WorkerThread.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <QFile>

#include <opencv2/core.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvek::media {

namespace {

constexpr int IoBufferBytes = 64 * 1024;
// Room kept allocated on the disk ahead of the file's end. When the disk cannot give more, the
// writer reports the full disk at once and still has this room to finish the file: the encoder's
// last packets, the index and the finished header. Taken a chunk at a time.
constexpr off_t ReserveChunk = 2 * 1024 * 1024;
constexpr off_t ReserveLowWater = 1024 * 1024;
// How long a close waits for the sync thread's flush in progress.
constexpr int SyncStopWaitMs = 5000;

QString systemReason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString ffmpegReason(int ret)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(ret, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

} // namespace

FrameRate frameRateOf(double fps)
{
    if (!std::isfinite(fps) || fps <= 0)
        return {};
    FrameRate r{int(fps + 0.5), 1};
    while (std::fabs(double(r.num) / r.den - fps) > 0.001 && r.den < 1000000) {
        r.den *= 10;
        r.num = int(fps * r.den + 0.5);
    }
    return r;
}

struct WmvWriter::State
{
    int fd = -1;
    OutputPtr format;
    CodecPtr codec;
    FramePtr picture;
    PacketPtr packet;
    ScalerPtr scaler;
    IoPtr io;
    AVStream* stream = nullptr;
    int width = 0;
    int height = 0;
    long long frames = 0;
    bool titleWritten = false;
    QString error;
    // errno of the first failed write or seek, so the user reads the system's words.
    int ioErrno = 0;
    // Where the next write lands, the end of the room allocated ahead, and why the disk refused
    // more room (ENOSPC, EFBIG); 0 while it gives it. File systems without preallocation write
    // without a reserve.
    off_t position = 0;
    off_t reservedEnd = 0;
    bool reserving = true;
    int reserveErrno = 0;

    // What the sync thread shares with the writer: a descriptor of its own on the file, on which
    // it only calls fdatasync; shared so that a sync thread given up on never reaches freed memory.
    struct SyncShared
    {
        int fd = -1;
        std::mutex lock;
        std::condition_variable wake;
        bool stopping = false; // guarded by lock
        std::atomic<bool> dirty{false};
        std::atomic<int> syncErrno{0};

        ~SyncShared()
        {
            if (fd >= 0)
                ::close(fd);
        }
    };
    std::shared_ptr<SyncShared> sync;
    std::unique_ptr<platform::WorkerThread> syncer;

    // Keeps ReserveLowWater or more allocated beyond the end this write reaches.
    void reserveFor(off_t end)
    {
        if (!reserving || reserveErrno != 0 || end + ReserveLowWater <= reservedEnd)
            return;
        const off_t from = std::max(reservedEnd, position);
        switch (platform::reserveSpace(fd, from, end + ReserveChunk - from)) {
        case platform::ReserveResult::Reserved:
            reservedEnd = end + ReserveChunk;
            break;
        case platform::ReserveResult::DiskFull:
            reserveErrno = errno;
            break;
        case platform::ReserveResult::NotSupported:
            reserving = false; // no reserve here: the writes themselves meet a full disk
            break;
        }
    }

    // Gives back the room allocated beyond the file's end.
    void releaseReserve()
    {
        platform::releaseSpaceBeyondEnd(fd, reservedEnd);
        reservedEnd = 0;
    }

    static int writePacket(void* opaque, uint8_t* buf, int size)
    {
        auto* s = static_cast<State*>(opaque);
        s->reserveFor(s->position + size);
        int left = size;
        while (left > 0) {
            const ssize_t n = ::write(s->fd, buf, size_t(left));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                s->ioErrno = errno;
                return AVERROR(errno);
            }
            buf += n;
            left -= int(n);
            s->position += n;
        }
        if (s->sync)
            s->sync->dirty = true;
        return size;
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* s = static_cast<State*>(opaque);
        if (whence & AVSEEK_SIZE) {
            struct stat st
            {
            };
            if (::fstat(s->fd, &st) != 0)
                return AVERROR(errno);
            return st.st_size;
        }
        const off_t at = ::lseek(s->fd, off_t(offset), whence & ~AVSEEK_FORCE);
        if (at < 0) {
            s->ioErrno = errno;
            return AVERROR(errno);
        }
        s->position = at;
        return at;
    }

    static void syncLoop(SyncShared& shared)
    {
        std::unique_lock<std::mutex> held(shared.lock);
        while (!shared.stopping) {
            shared.wake.wait_for(held, std::chrono::seconds(1));
            if (shared.stopping || !shared.dirty.exchange(false))
                continue;
            held.unlock();
            if (!platform::syncDataToDisk(shared.fd) && shared.syncErrno == 0)
                shared.syncErrno = errno;
            held.lock();
        }
    }

    void startSyncer()
    {
        sync = std::make_shared<SyncShared>();
        sync->fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        syncer = std::make_unique<platform::WorkerThread>(QStringLiteral("WmvWriterSync"),
                                                          std::chrono::milliseconds(SyncStopWaitMs));
        if (sync->fd < 0 || !syncer->start([shared = sync](platform::WorkerRun&) { syncLoop(*shared); })) {
            // No thread, no syncing once a second; close() still flushes the file.
            syncer.reset();
            sync.reset();
        }
    }

    void stopSyncer()
    {
        if (!syncer)
            return;
        {
            std::lock_guard<std::mutex> held(sync->lock);
            sync->stopping = true;
        }
        sync->wake.notify_all();
        // A flush stuck on a failing disk is left to end by itself; it holds its own descriptor.
        if (!syncer->wait(std::chrono::milliseconds(SyncStopWaitMs)))
            syncer->abandon();
        syncer.reset();
    }

    int syncError() const { return sync ? sync->syncErrno.load() : 0; }

    bool fail(const QString& why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }

    // The reason of a failed FFmpeg call: the system's own when a write or seek met it.
    bool failCall(const char* what, int ret)
    {
        if (ioErrno != 0)
            return fail(systemReason(ioErrno));
        return fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(what), ffmpegReason(ret)));
    }

    bool outputFailed() const { return format && format->pb && format->pb->error < 0; }

    // Hands every packet the encoder has ready to the muxer.
    bool drainPackets()
    {
        for (;;) {
            const int got = avcodec_receive_packet(codec.get(), packet.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return true;
            if (got < 0)
                return failCall("encoder", got);
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_write_frame(format.get(), packet.get());
            av_packet_unref(packet.get());
            if (written < 0 || outputFailed())
                return failCall("writing the video", written < 0 ? written : format->pb->error);
        }
    }

    bool start(const WmvWriterSettings& settings);
    void release()
    {
        stopSyncer();
        scaler.reset();
        picture.reset();
        packet.reset();
        codec.reset();
        format.reset();
        io.reset();
        stream = nullptr;
        if (fd >= 0) {
            releaseReserve();
            ::close(fd);
        }
        fd = -1;
    }
};

bool WmvWriter::State::start(const WmvWriterSettings& settings)
{
    if (settings.width <= 0 || settings.height <= 0)
        return fail(QStringLiteral("a picture size of %1 x %2 cannot be encoded")
                        .arg(settings.width)
                        .arg(settings.height));
    const FrameRate rate = frameRateOf(settings.fps);
    if (!std::isfinite(settings.fps) || settings.fps <= 0)
        return fail(QStringLiteral("a frame rate of %1 cannot be encoded").arg(settings.fps));
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMV2);
    const AVOutputFormat* asf = av_guess_format("asf", nullptr, nullptr);
    if (!encoder || !asf)
        return fail(QStringLiteral("this FFmpeg has no WMV2 encoder or ASF muxer"));

    AVFormatContext* made = nullptr;
    if (avformat_alloc_output_context2(&made, asf, nullptr, nullptr) < 0 || !made)
        return fail(QStringLiteral("out of memory"));
    format.reset(made);
    stream = avformat_new_stream(format.get(), nullptr);
    codec.reset(avcodec_alloc_context3(encoder));
    picture.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    if (!stream || !codec || !picture || !packet)
        return fail(QStringLiteral("out of memory"));

    width = settings.width;
    height = settings.height;
    codec->width = width;
    codec->height = height;
    codec->time_base = AVRational{rate.den, rate.num};
    codec->framerate = AVRational{rate.num, rate.den};
    codec->gop_size = KeyFrameInterval;
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->bit_rate = std::int64_t(std::min(settings.fps * width * height, double(INT_MAX / 2)));
    codec->qmin = MinQuantiser;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int r = avcodec_open2(codec.get(), encoder, nullptr); r < 0)
        return failCall("the WMV2 encoder", r);
    if (const int r = avcodec_parameters_from_context(stream->codecpar, codec.get()); r < 0)
        return failCall("the WMV2 encoder", r);
    stream->time_base = codec->time_base;
    stream->avg_frame_rate = codec->framerate;

    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = width;
    picture->height = height;
    if (const int r = av_frame_get_buffer(picture.get(), 0); r < 0)
        return failCall("a picture buffer", r);

    auto* buffer = static_cast<unsigned char*>(av_malloc(IoBufferBytes));
    if (!buffer)
        return fail(QStringLiteral("out of memory"));
    io.reset(avio_alloc_context(buffer, IoBufferBytes, 1, this, nullptr, &State::writePacket, &State::seek));
    if (!io) {
        av_free(buffer);
        return fail(QStringLiteral("out of memory"));
    }
    format->pb = io.get();
    // Every finished ASF packet is handed to the file at once, not kept in a buffer.
    format->flags |= AVFMT_FLAG_FLUSH_PACKETS | AVFMT_FLAG_CUSTOM_IO;

    if (!settings.title.isNull()) {
        const QString memo = settings.title.left(
            settings.title.indexOf(QChar(0)) < 0 ? settings.title.size() : settings.title.indexOf(QChar(0)));
        titleWritten = (memo.size() + 1) * 2 <= MaxTitleBytes;
        if (titleWritten)
            av_dict_set(&format->metadata, "title", memo.toUtf8().constData(), 0);
    }
    if (settings.productMark)
        av_dict_set(&format->metadata, "copyright", ProductMark, 0);
    if (settings.headerReserve)
        av_dict_set(&format->metadata, HeaderReserveName, std::string(HeaderReserveUnits, ' ').c_str(), 0);

    if (const int r = avformat_write_header(format.get(), nullptr); r < 0 || outputFailed())
        return failCall("writing the header", r < 0 ? r : format->pb->error);
    avio_flush(format->pb);
    if (outputFailed())
        return failCall("writing the header", format->pb->error);

    if (settings.syncEverySecond)
        startSyncer();
    return true;
}

WmvWriter::WmvWriter() = default;

WmvWriter::~WmvWriter()
{
    close();
}

bool WmvWriter::open(const QString& path, const WmvWriterSettings& settings)
{
    close();
    m = std::make_unique<State>();
    m->fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m->fd < 0) {
        m->error = QStringLiteral("%1: %2").arg(path, systemReason(errno));
        return false;
    }
    if (!m->start(settings)) {
        m->release();
        return false;
    }
    return true;
}

bool WmvWriter::openDescriptor(int fd, const WmvWriterSettings& settings)
{
    close();
    m = std::make_unique<State>();
    m->fd = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (m->fd < 0 || ::lseek(m->fd, 0, SEEK_SET) != 0) {
        m->error = systemReason(fd >= 0 ? errno : EBADF);
        m->release();
        return false;
    }
    if (!m->start(settings)) {
        m->release();
        return false;
    }
    return true;
}

bool WmvWriter::isOpen() const
{
    return m && m->format;
}

long long WmvWriter::framesWritten() const
{
    return m ? m->frames : 0;
}

bool WmvWriter::titleWritten() const
{
    return m && m->titleWritten;
}

const QString& WmvWriter::error() const
{
    static const QString none;
    return m ? m->error : none;
}

bool WmvWriter::write(const cv::Mat& frame)
{
    if (!isOpen())
        return false;
    State& s = *m;
    if (!s.error.isEmpty())
        return false;
    if (const int err = s.syncError(); err != 0)
        return s.fail(systemReason(err));
    if (frame.empty() || frame.depth() != CV_8U || (frame.channels() != 3 && frame.channels() != 1))
        return s.fail(QStringLiteral("a picture the writer cannot take"));

    const AVPixelFormat source = frame.channels() == 3 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_GRAY8;
    s.scaler.reset(sws_getCachedContext(s.scaler.release(), frame.cols, frame.rows, source, s.width, s.height,
                                        AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!s.scaler)
        return s.fail(
            QStringLiteral("a picture of %1 x %2 cannot be converted").arg(frame.cols).arg(frame.rows));
    if (const int r = av_frame_make_writable(s.picture.get()); r < 0)
        return s.failCall("a picture buffer", r);
    const uint8_t* planes[1] = {frame.data};
    const int strides[1] = {int(frame.step[0])};
    sws_scale(s.scaler.get(), planes, strides, 0, frame.rows, s.picture->data, s.picture->linesize);
    s.picture->pts = s.frames;

    if (const int r = avcodec_send_frame(s.codec.get(), s.picture.get()); r < 0)
        return s.failCall("encoder", r);
    if (!s.drainPackets())
        return false;
    ++s.frames;
    // The disk has no room beyond the reserve: this frame is in, the file must be finished now.
    if (s.reserveErrno != 0)
        return s.fail(systemReason(s.reserveErrno));
    return true;
}

bool WmvWriter::close()
{
    if (!isOpen()) {
        if (m)
            m->release();
        return !m || m->error.isEmpty();
    }
    State& s = *m;
    // After a full disk was met at the reserve, the rest still fits: finish the file as usual.
    const bool finishable = s.error.isEmpty() || (s.reserveErrno != 0 && s.ioErrno == 0);
    bool ok = s.error.isEmpty();
    if (finishable && avcodec_send_frame(s.codec.get(), nullptr) >= 0)
        ok = s.drainPackets() && ok;
    // The index and the finished header: written even after a failed frame, so that what
    // reached the file plays.
    if (const int r = av_write_trailer(s.format.get()); r < 0 || s.outputFailed())
        ok = s.failCall("finishing the file", r < 0 ? r : s.format->pb->error) && false;
    s.stopSyncer();
    s.releaseReserve();
    if (!platform::syncDataToDisk(s.fd))
        ok = s.fail(systemReason(errno));
    if (const int err = s.syncError(); err != 0)
        ok = s.fail(systemReason(err));
    const int fd = s.fd;
    s.fd = -1;
    if (::close(fd) != 0)
        ok = s.fail(systemReason(errno));
    s.release();
    return ok && s.error.isEmpty();
}

} // namespace tolvek::media
