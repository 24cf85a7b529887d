#pragma once
// Owners for FFmpeg's C objects, so that every way out of a function frees what it made.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace tolvek::media {

struct InputCloser
{
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct OutputFreer
{
    void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
struct CodecFreer
{
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer
{
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer
{
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFreer
{
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct IoFreer
{
    void operator()(AVIOContext* io) const
    {
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputFreer>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;
using IoPtr = std::unique_ptr<AVIOContext, IoFreer>;

} // namespace tolvek::media
