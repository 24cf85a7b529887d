#pragma once
// The total duration of the video last asked for, so that the time display does not open the
// file on every tick. UI thread only. Failure modes: a file that does not open, or that reports
// no frame rate or frame count, gives -1 and is asked again on the next lookup.

#include <QString>

namespace tolvek {

class TotalSecondsCache
{
  public:
    // Seconds of folder/name (frames / fps, rounded); -1 when unknown. An empty name empties the
    // cache.
    int lookup(const QString& folder, const QString& name);
    const QString& cachedName() const { return m_name; }
    int cachedSeconds() const { return m_seconds; }

  private:
    QString m_name;
    int m_seconds = -1;
};

} // namespace tolvek
