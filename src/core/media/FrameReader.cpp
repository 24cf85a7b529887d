#include "core/media/FrameReader.h"

#include "core/media/FfmpegOwners.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tolvek {

namespace {

struct FileStamp
{
    bool ok = false;
    std::uintmax_t size = 0;
    std::int64_t time = 0;
};

FileStamp stampOf(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path p(path);
    FileStamp s;
    s.size = std::filesystem::file_size(p, ec);
    if (ec)
        return {};
    const auto t = std::filesystem::last_write_time(p, ec);
    if (ec)
        return {};
    s.time = t.time_since_epoch().count();
    s.ok = true;
    return s;
}

using media::CodecFreer;
using media::FrameFreer;
using media::PacketFreer;
using media::ScalerFreer;
using FormatCloser = media::InputCloser;

struct IndexEntry
{
    std::int64_t ts = AV_NOPTS_VALUE;
    std::int64_t pos = -1;
    bool key = false;
};

// The same arithmetic as OpenCV's FFmpeg back end, so that the slider and the lists see the
// numbers they always saw.
double ratioOf(AVRational r)
{
    return r.num == 0 || r.den == 0 ? 0.0 : double(r.num) / double(r.den);
}

constexpr double EpsZero = 0.000025;

double framesPerSecondOf(AVFormatContext* fmt, AVStream* st)
{
    return ratioOf(av_guess_frame_rate(fmt, st, nullptr));
}

double frameCountOf(AVFormatContext* fmt, AVStream* st)
{
    std::int64_t frames = st->nb_frames;
    if (frames == 0) {
        double seconds = double(fmt->duration) / double(AV_TIME_BASE);
        if (seconds < EpsZero)
            seconds = double(st->duration) * ratioOf(st->time_base);
        frames = std::int64_t(std::floor(seconds * framesPerSecondOf(fmt, st) + 0.5));
    }
    return double(frames);
}

std::int64_t timeOf(const AVPacket* p)
{
    return p->dts != AV_NOPTS_VALUE ? p->dts : p->pts;
}

enum class Step { Frame, Undecodable, Lost };

} // namespace

struct FrameReader::Media
{
    std::unique_ptr<AVFormatContext, FormatCloser> format;
    std::unique_ptr<AVCodecContext, CodecFreer> codec;
    std::unique_ptr<AVFrame, FrameFreer> picture;
    std::unique_ptr<AVFrame, FrameFreer> bgr;
    std::unique_ptr<AVPacket, PacketFreer> packet;
    std::unique_ptr<SwsContext, ScalerFreer> scaler;
    int stream = -1;
    std::vector<IndexEntry> index;
    // Time stamps all present and rising: a key frame can be found again by its time stamp.
    bool seekable = false;
    bool pending = false; // `packet` holds the next frame's packet, read while positioning
    bool endMet = false;  // a read at the decoder position found the end of the file

    bool sameEntry(const AVPacket* p, int i) const
    {
        return timeOf(p) == index[i].ts && p->pos == index[i].pos;
    }

    // The next packet of the video stream into `packet`; false at the end or on a read error.
    bool readVideoPacket()
    {
        av_packet_unref(packet.get());
        int again = 0;
        while (true) {
            const int r = av_read_frame(format.get(), packet.get());
            if (r == AVERROR(EAGAIN) && ++again < 1000)
                continue;
            if (r < 0)
                return false;
            if (packet->stream_index == stream)
                return true;
            av_packet_unref(packet.get());
        }
    }

    // Decodes `packet` into `picture`: one picture per packet, as WMV2 gives.
    Step decodePacket()
    {
        av_frame_unref(picture.get());
        const int sent = avcodec_send_packet(codec.get(), packet.get());
        av_packet_unref(packet.get());
        if (sent < 0)
            return Step::Undecodable;
        return avcodec_receive_frame(codec.get(), picture.get()) == 0 ? Step::Frame : Step::Undecodable;
    }

    // The picture as BGR at the stream's size: converted over the coded size with bicubic
    // scaling into a 32-byte aligned buffer and cut to the display size, as OpenCV does, so
    // that the pixels are the same.
    cv::Mat toBgr()
    {
        const AVFrame* pic = picture.get();
        if (!pic->data[0] || pic->width <= 0 || pic->height <= 0)
            return {};
        int bw = codec->coded_width, bh = codec->coded_height;
        if (bw <= 0 || bh <= 0 || bw > pic->width || bh > pic->height) {
            // Never read outside the decoded planes, whatever a damaged header claims.
            bw = pic->width;
            bh = pic->height;
        }
        SwsContext* s = sws_getCachedContext(scaler.release(), bw, bh, AVPixelFormat(pic->format), bw, bh,
                                             AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
        scaler.reset(s);
        if (!s)
            return {};
        AVFrame* out = bgr.get();
        if (!out->data[0] || out->width != bw || out->height != bh) {
            av_frame_unref(out);
            out->format = AV_PIX_FMT_BGR24;
            out->width = bw;
            out->height = bh;
            if (av_frame_get_buffer(out, 32) != 0)
                return {};
        }
        if (sws_scale(s, pic->data, pic->linesize, 0, std::min(pic->height, bh), out->data, out->linesize) <=
            0)
            return {};
        const AVCodecParameters* par = format->streams[stream]->codecpar;
        const int w = par->width > 0 ? std::min(par->width, bw) : bw;
        const int h = par->height > 0 ? std::min(par->height, bh) : bh;
        return cv::Mat(h, w, CV_8UC3, out->data[0], std::size_t(out->linesize[0])).clone();
    }
};

FrameReader::FrameReader(std::size_t cacheBytes) : m_cacheBytes(cacheBytes) {}

FrameReader::~FrameReader() = default;

bool FrameReader::open(const std::string& path)
{
    close();
    const FileStamp stamp = stampOf(path);
    if (!stamp.ok)
        return false;
    try {
        auto m = std::make_unique<Media>();
        AVFormatContext* raw = nullptr;
        if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
            return false; // avformat frees the context itself on failure
        m->format.reset(raw);
        if (avformat_find_stream_info(raw, nullptr) < 0)
            return false;
        for (unsigned i = 0; i < raw->nb_streams; ++i)
            if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                m->stream = int(i);
                break;
            }
        if (m->stream < 0)
            return false;
        AVStream* st = raw->streams[m->stream];
        const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
        if (!decoder)
            return false;
        m->codec.reset(avcodec_alloc_context3(decoder));
        m->picture.reset(av_frame_alloc());
        m->bgr.reset(av_frame_alloc());
        m->packet.reset(av_packet_alloc());
        if (!m->codec || !m->picture || !m->bgr || !m->packet)
            return false;
        if (avcodec_parameters_to_context(m->codec.get(), st->codecpar) < 0)
            return false;
        m->codec->thread_count = 1; // no frame delay: each packet gives its own picture
        if (avcodec_open2(m->codec.get(), decoder, nullptr) < 0)
            return false;

        m_frameCount = std::max(0.0, frameCountOf(raw, st));
        m_fps = framesPerSecondOf(raw, st);

        // One pass over the packets without decoding. A file has at most one packet per byte,
        // which bounds both the time and the memory of a damaged one.
        const std::size_t maxPackets = std::size_t(stamp.size) + 16;
        while (m->index.size() < maxPackets && m->readVideoPacket()) {
            m->index.push_back(
                {timeOf(m->packet.get()), m->packet->pos, (m->packet->flags & AV_PKT_FLAG_KEY) != 0});
            if ((m->index.size() & 255) == 0 && stopped())
                return false;
        }
        av_packet_unref(m->packet.get());
        m->seekable = true;
        for (std::size_t i = 0; i < m->index.size(); ++i) {
            const IndexEntry& e = m->index[i];
            if (e.ts == AV_NOPTS_VALUE || e.pos < 0 || (i > 0 && e.ts <= m->index[i - 1].ts)) {
                m->seekable = false;
                break;
            }
        }
        // The demuxer's own index has a coarse entry per second at best; exact entries for the
        // key frames let a seek land on the key frame's own packet.
        if (m->seekable)
            for (const IndexEntry& e : m->index)
                if (e.key)
                    av_add_index_entry(st, e.pos, e.ts, 0, 0, AVINDEX_KEYFRAME);

        m_media = std::move(m);
        m_open = true;
        m_path = path;
        m_fileSize = stamp.size;
        m_fileTime = stamp.time;
        m_next = -1;
        // Reading starts at the first packet, as a fresh decoder would.
        if (!m_media->index.empty() && positionAt(0))
            --m_stats.seeks;
        return true;
    } catch (...) {
        close();
        return false;
    }
}

bool FrameReader::openIfChanged(const std::string& path)
{
    if (m_open && path == m_path) {
        const FileStamp stamp = stampOf(path);
        if (stamp.ok && stamp.size == m_fileSize && stamp.time == m_fileTime)
            return true;
    }
    return open(path);
}

void FrameReader::close()
{
    m_media.reset();
    m_open = false;
    m_path.clear();
    m_cache.clear();
    m_next = 0;
    m_last = -1;
    m_frameCount = 0;
    m_fps = 0;
}

int FrameReader::indexedFrames() const
{
    return m_media ? int(m_media->index.size()) : 0;
}

int FrameReader::keyFrameAtOrBefore(int index) const
{
    if (!m_media || index < 0 || index >= int(m_media->index.size()))
        return -1;
    for (int i = index; i >= 0; --i)
        if (m_media->index[i].key)
            return i;
    return -1;
}

cv::Mat FrameReader::readNext()
{
    return frameAt(m_last + 1);
}

cv::Mat FrameReader::frameAt(int index)
{
    if (!m_open || index < 0)
        return {};
    if (auto it = m_cache.find(index); it != m_cache.end()) {
        ++m_stats.cacheHits;
        m_last = index;
        return it->second;
    }
    const int frames = int(m_media->index.size());
    if (index >= frames) {
        if (index == frames && m_next == frames)
            m_media->endMet = true;
        return {};
    }
    try {
        // A step back decodes the target's whole group of pictures once and keeps it, so that the
        // following steps back within it are served from the cache.
        const bool fillBehind = m_last >= 0 && index < m_last && m_last - index <= ReadBackWindow;
        // Decoding starts at the key frame at or before the target, unless the decoder already
        // stands between that key frame and the target.
        const int key = std::max(0, keyFrameAtOrBefore(index));
        const int from = fillBehind ? key : index;
        // The frames just read are the ones the next steps back need: keep them over older ones.
        const int focus = (from + index) / 2;
        if (m_next < 0 || m_next > from || key > m_next) {
            if (!positionAt(key))
                return {};
        }
        // Frames passed on the way are only decoded (no colour conversion) unless they fill the
        // cache behind a step back.
        while (m_next < index) {
            if (stopped())
                return {};
            const bool keep = fillBehind && m_next >= from && !m_cache.count(m_next);
            const int at = m_next;
            if (decodeNext(keep, focus).empty() && (m_next != at + 1))
                return {};
        }
        cv::Mat frame = decodeNext(true, focus);
        if (!frame.empty())
            m_last = index;
        return frame;
    } catch (...) {
        m_next = -1;
        return {};
    }
}

bool FrameReader::atEndOfFile()
{
    return m_open && m_last >= 0 && m_last == m_next - 1 && m_media->endMet;
}

cv::Mat FrameReader::decodeNext(bool convert, int focus)
{
    Media& m = *m_media;
    if (m_next < 0 || m_next >= int(m.index.size()))
        return {};
    m.endMet = false;
    if (!m.pending && !m.readVideoPacket()) {
        m_next = -1; // the file ended or failed early: position anew on the next request
        return {};
    }
    m.pending = false;
    const Step step = m.decodePacket();
    ++m_stats.decoded;
    const int index = m_next++;
    if (step != Step::Frame || !convert)
        return {};
    cv::Mat frame = m.toBgr();
    if (!frame.empty())
        remember(index, frame, focus);
    return frame;
}

bool FrameReader::positionAt(int index)
{
    Media& m = *m_media;
    ++m_stats.seeks;
    m_next = -1;
    m.pending = false;
    m.endMet = false;
    av_packet_unref(m.packet.get());
    avcodec_flush_buffers(m.codec.get());
    const int frames = int(m.index.size());
    if (index < 0 || index >= frames)
        return false;
    AVFormatContext* fmt = m.format.get();

    // By time stamp: the demuxer lands at or before the key frame's packet; packets before it
    // are passed over without decoding.
    if (m.seekable && index > 0 &&
        av_seek_frame(fmt, m.stream, m.index[index].ts, AVSEEK_FLAG_BACKWARD) >= 0) {
        int passed = 0;
        while (passed++ <= frames && m.readVideoPacket()) {
            const std::int64_t ts = timeOf(m.packet.get());
            if (m.sameEntry(m.packet.get(), index)) {
                m.pending = true;
                m_next = index;
                return true;
            }
            if (ts == AV_NOPTS_VALUE || ts > m.index[index].ts)
                break; // landed behind it: count from the start instead
            if ((passed & 63) == 0 && stopped())
                return false;
        }
    }

    // From the start of the data, counting packets.
    av_packet_unref(m.packet.get());
    if (av_seek_frame(fmt, m.stream, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(fmt, m.stream, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE) < 0)
        return false;
    for (int i = 0; i <= index; ++i) {
        if (!m.readVideoPacket() || !m.sameEntry(m.packet.get(), i))
            return false;
        if ((i & 63) == 63 && stopped())
            return false;
    }
    m.pending = true;
    m_next = index;
    return true;
}

void FrameReader::remember(int index, const cv::Mat& frame, int focus)
{
    if (m_cache.empty()) {
        const std::size_t bytes = std::max<std::size_t>(1, frame.total() * frame.elemSize());
        m_capacity = int(std::clamp<std::size_t>(m_cacheBytes / bytes, 4, MaxCachedFrames));
    }
    m_cache[index] = frame;
    // The frames farthest from where the viewer is go first.
    while (int(m_cache.size()) > m_capacity) {
        auto first = m_cache.begin();
        auto last = std::prev(m_cache.end());
        if (std::abs(first->first - focus) >= std::abs(last->first - focus))
            m_cache.erase(first);
        else
            m_cache.erase(last);
    }
}

} // namespace tolvek
