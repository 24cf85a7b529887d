#pragma once
// Writes a WMV2 video in an ASF file through libavformat and libavcodec: BGR frames in, converted
// once to the encoder's YUV 4:2:0. Every finished ASF packet goes to the file as it is muxed, the
// header carries the memo ("Title") and the product mark ("Copyright") from the start, and every
// write error comes back from the call that met it, with the system's reason. With
// `syncEverySecond` a thread of the writer's own flushes the data to the disk once a second, so a
// power cut loses at most about a second of a recording.
// One thread drives a writer; the sync thread touches only the descriptor.

#include <QString>

#include <memory>

namespace cv {
class Mat;
}

namespace tolvek::media {

struct WmvWriterSettings
{
    int width = 0;
    int height = 0;
    double fps = 30.0;
    // Written as "Title" when not null. A memo too long for the header's text field is left
    // out (titleWritten() says so); the tag writer can add it afterwards.
    QString title;
    bool productMark = true;   // "Copyright" = "Tolvek"
    bool headerReserve = true; // room in the header for memo edits in place (HeaderReserveName)
    bool syncEverySecond = false;
};

class WmvWriter
{
  public:
    // The encoder's settings, the same every file of this program has had: a key frame at
    // least every 12 frames, a bit rate of width x height x fps bits per second, quantiser no
    // finer than 3.
    static constexpr int KeyFrameInterval = 12;
    static constexpr int MinQuantiser = 3;

    WmvWriter();
    ~WmvWriter(); // finishes an open file, as close() does
    WmvWriter(const WmvWriter&) = delete;
    WmvWriter& operator=(const WmvWriter&) = delete;

    // Creates the file at path (replacing one of that name) and writes its header.
    bool open(const QString& path, const WmvWriterSettings& settings);
    // The same on a file already open for writing, from its start (a working file's
    // descriptor); the writer uses a duplicate and leaves fd itself open.
    bool openDescriptor(int fd, const WmvWriterSettings& settings);

    // Encodes one frame (8-bit BGR or grey, of any size: scaled to the file's size when it
    // differs). False on a write or encoder error; the file stays open for close().
    bool write(const cv::Mat& frame);
    // Drains the encoder, writes the index and the finished header, flushes to the disk and
    // closes. False when any of it failed (the file is closed all the same).
    bool close();

    bool isOpen() const;
    long long framesWritten() const;
    bool titleWritten() const;
    // Why the last call failed, for the user: "No space left on device", "…: Permission denied".
    const QString& error() const;

  private:
    struct State;
    std::unique_ptr<State> m;
};

// The frame rate as FFmpeg's time base: fps = num / den with den a power of ten, exact to 0.001.
struct FrameRate
{
    int num = 30;
    int den = 1;
};
FrameRate frameRateOf(double fps);

} // namespace tolvek::media
