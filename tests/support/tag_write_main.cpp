// tag_write PATH MEMO: prints "ready" on its own line, then writes MEMO into the header of PATH.
// The exit code is the TagWriteResult. Tests kill it at chosen moments to check that a tag write
// is atomic.

#include "core/media/VideoTags.h"

#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 100;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString memo = QString::fromUtf8(argv[2]);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return int(tolvek::writeVideoTags(path, memo));
}
