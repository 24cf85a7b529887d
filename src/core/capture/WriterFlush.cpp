#include "core/capture/WriterFlush.h"

#include <dlfcn.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
}

namespace tolvek {

namespace {

thread_local int t_scopeDepth = 0;
thread_local int t_promptOutputs = 0;

// The AVIOContext fields we set are those of the libavformat headers we were built with; a
// running libavformat of another major version may lay them out differently, so it is left alone.
bool runningLibavformatMatches()
{
    static const bool matches = [] {
        using VersionFn = unsigned (*)();
        const auto version = reinterpret_cast<VersionFn>(dlsym(RTLD_DEFAULT, "avformat_version"));
        return version && AV_VERSION_MAJOR(version()) == LIBAVFORMAT_VERSION_MAJOR;
    }();
    return matches;
}

}  // namespace

WriterFlushScope::WriterFlushScope() : m_outputsBefore(t_promptOutputs)
{
    ++t_scopeDepth;
}

WriterFlushScope::~WriterFlushScope()
{
    --t_scopeDepth;
}

bool WriterFlushScope::tookEffect() const
{
    return t_promptOutputs > m_outputsBefore;
}

}  // namespace tolvek

// The program's own avio_open, which the dynamic linker binds OpenCV's call to ahead of
// libavformat's (a symbol defined in the executable comes first). It opens the output with the real
// function and, inside a WriterFlushScope, drops the output's minimum write size, so that the
// flush libavformat asks for after every packet reaches the file at once instead of waiting for
// 256 KiB. Everything else is passed through untouched.
extern "C" int avio_open(AVIOContext** s, const char* url, int flags)
{
    using OpenFn = int (*)(AVIOContext**, const char*, int);
    static const OpenFn real = reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, "avio_open"));
    if (!real)
        return AVERROR(ENOSYS);
    const int result = real(s, url, flags);
    if (result >= 0 && s && *s && (flags & AVIO_FLAG_WRITE) && tolvek::t_scopeDepth > 0 &&
        tolvek::runningLibavformatMatches()) {
        (*s)->min_packet_size = 0;
        ++tolvek::t_promptOutputs;
    }
    return result;
}
