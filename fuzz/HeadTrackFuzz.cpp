// Head-data files of any content: every row read back is one a writer could have written, and
// writing the rows read gives a file that reads back to the same rows.
#include "core/media/HeadTrack.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvek::media;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const HeadTrackRead read = parseHeadTrack(bytes);
    if (read.status == HeadTrackRead::Status::Missing)
        std::abort();
    if ((read.status == HeadTrackRead::Status::Ok) != read.problem.isEmpty())
        std::abort();
    for (const HeadTrackRow& row : read.rows) {
        if (row.frame < 0 || !std::isfinite(row.timeSeconds) || row.sample.preset < 0 ||
            row.sample.preset > 9)
            std::abort();
        for (float v : {row.sample.w, row.sample.x, row.sample.y, row.sample.z})
            if (!std::isfinite(v))
                std::abort();
    }
    const HeadTrackRead again = parseHeadTrack(formatHeadTrack(read.rows));
    if (again.status != HeadTrackRead::Status::Ok || again.rows.size() != read.rows.size())
        std::abort();
    // The pose survives exactly: a row written is the row read.
    for (std::size_t i = 0; i < read.rows.size(); ++i) {
        const HeadSample& a = read.rows[i].sample;
        const HeadSample& b = again.rows[i].sample;
        if (again.rows[i].frame != read.rows[i].frame || a.source != b.source || a.preset != b.preset ||
            a.w != b.w || a.x != b.x || a.y != b.y || a.z != b.z)
            std::abort();
    }
    return 0;
}
