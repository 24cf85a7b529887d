#include "core/library/VideoRecord.h"

#include "core/settings/VideoFileName.h"

#include <algorithm>
#include <climits>
#include <numeric>

namespace tolvek {

namespace {

std::vector<int> positions(const VideoLibrary& library)
{
    std::vector<int> p(library.size());
    std::iota(p.begin(), p.end(), 0);
    return p;
}

// The id as a decimal number; -1 when it is not one, so it never equals a patient ID.
int idNumber(const QString& id)
{
    bool ok = false;
    const int n = id.toInt(&ok);
    return ok ? n : -1;
}

void newestFirst(std::vector<int>& p, const VideoLibrary& library)
{
    std::stable_sort(p.begin(), p.end(), [&](int a, int b) {
        return QString::compare(library[a].dateText, library[b].dateText, Qt::CaseSensitive) > 0;
    });
}

} // namespace

VideoRecord recordFromFileName(const QString& fileName, const QString& memo)
{
    VideoRecord r;
    r.id = videoIdText(fileName);
    r.dateText = videoDateText(fileName);
    r.memo = memo;
    r.fileName = fileName;
    return r;
}

QString formatLengthText(float seconds)
{
    double x = seconds;
    if (!(x > 0.0)) // also NaN
        x = 1.0;
    const int s = x >= double(INT_MAX) ? INT_MAX : int(x);
    if (x >= 60.0)
        return QString::asprintf("%dm%02ds", s / 60, s % 60);
    return QString::asprintf("%02ds", s);
}

std::vector<int> allIndex(const VideoLibrary& library)
{
    std::vector<int> p = positions(library);
    newestFirst(p, library);
    return p;
}

std::vector<int> referenceIndex(const VideoLibrary& library)
{
    std::vector<int> p;
    for (int i = 0; i < int(library.size()); ++i)
        if (idNumber(library[i].id) == ReferenceId)
            p.push_back(i);
    std::stable_sort(p.begin(), p.end(), [&](int a, int b) {
        return QString::compare(library[a].memo, library[b].memo, Qt::CaseSensitive) < 0;
    });
    return p;
}

std::vector<int> idIndex(const VideoLibrary& library, int patientId)
{
    std::vector<int> p;
    for (int i = 0; i < int(library.size()); ++i)
        if (idNumber(library[i].id) == patientId)
            p.push_back(i);
    // Newest first at once, as the list is sorted after every recording anyway.
    newestFirst(p, library);
    return p;
}

bool removeRecord(VideoLibrary& library, const QString& fileName)
{
    const auto it = std::find_if(library.begin(), library.end(),
                                 [&](const VideoRecord& r) { return r.fileName == fileName; });
    if (it == library.end())
        return false;
    library.erase(it);
    return true;
}

VideoRecord* findRecord(VideoLibrary& library, const QString& fileName)
{
    for (VideoRecord& r : library)
        if (r.fileName == fileName)
            return &r;
    return nullptr;
}

} // namespace tolvek
