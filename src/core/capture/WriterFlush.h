#pragma once
// Gets a recording's bytes to the disk as the writer produces them. OpenCV's FFmpeg writer opens its
// output through libavformat's avio_open, whose file output holds 256 KiB in memory before the first
// write, so a low-rate recording killed in its first seconds would leave an empty file. Outputs
// opened for writing on a thread while a WriterFlushScope lives there hand every finished ASF packet
// to the kernel at once; the bytes written, and so the file format, stay the same. Thread-safe (the
// scope is per thread); when the mechanism cannot take effect the writer simply buffers as before.

namespace tolvek {

class WriterFlushScope {
public:
    WriterFlushScope();
    ~WriterFlushScope();
    WriterFlushScope(const WriterFlushScope&) = delete;
    WriterFlushScope& operator=(const WriterFlushScope&) = delete;

    // Whether an output opened on this thread inside this scope was set to flush promptly.
    bool tookEffect() const;

private:
    int m_outputsBefore;
};

}  // namespace tolvek
