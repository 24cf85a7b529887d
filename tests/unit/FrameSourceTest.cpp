#include "core/capture/FrameSource.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/media/WmvWriter.h"
#include "core/settings/Settings.h"

#include <QTemporaryDir>

#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

using namespace tolvek;

TEST(FrameSourceTest, simulatedCameraDeliversTheConfiguredSizeAndRate)
{
    Settings settings;
    settings.resetToDefaults();
    settings.setValue(CaptureSize, QStringLiteral("352,288"));
    settings.updateCaptureSize();
    settings.setValue(CaptureFps, QStringLiteral("60"));

    auto source = makeFrameSource(QStringLiteral("sim"), 0, settings);
    ASSERT_TRUE(source);
    EXPECT_NE(dynamic_cast<SimulatedEyeSource*>(source.get()), nullptr);
    EXPECT_EQ(source->frameSize(), cv::Size(352, 288));
    EXPECT_DOUBLE_EQ(source->nominalFps(), 60.0);
    ASSERT_TRUE(source->open());
    cv::Mat frame;
    ASSERT_TRUE(source->read(frame));
    EXPECT_EQ(frame.size(), cv::Size(352, 288));

    // A command-line source is the only camera.
    EXPECT_EQ(makeFrameSource(QStringLiteral("sim"), 1, settings), nullptr);
    EXPECT_EQ(makeFrameSource(QStringLiteral("sim"), -1, settings), nullptr);
}

TEST(FrameSourceTest, videoFileSourcePlaysItsFramesThenReadsAsLost)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("clip.wmv")).toStdString();
    {
        media::WmvWriter writer;
        ASSERT_TRUE(writer.open(
            QString::fromStdString(path),
            {.width = 160, .height = 120, .fps = 50.0, .productMark = false, .headerReserve = false}));
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(writer.write(cv::Mat(120, 160, CV_8UC3, cv::Scalar(40 * i, 100, 200))));
        ASSERT_TRUE(writer.close());
    }

    auto source = makeFrameSource(QString::fromStdString(path), 0);
    ASSERT_TRUE(source);
    ASSERT_TRUE(source->open());
    EXPECT_EQ(source->frameSize(), cv::Size(160, 120));
    EXPECT_NEAR(source->nominalFps(), 50.0, 0.01);
    cv::Mat frame;
    int frames = 0;
    while (source->read(frame)) {
        EXPECT_EQ(frame.type(), CV_8UC3);
        ++frames;
    }
    EXPECT_EQ(frames, 6);
    EXPECT_FALSE(source->read(frame));

    auto missing = makeFrameSource(dir.filePath(QStringLiteral("none.wmv")), 0);
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->open());
    EXPECT_FALSE(missing->read(frame));
}

TEST(FrameSourceTest, framesOfAnyLayoutBecomeEightBitBgr)
{
    struct Case
    {
        const char* name;
        cv::Mat input;
        bool ok;
        cv::Vec3b pixel;
    };
    const Case cases[] = {
        {"grey", cv::Mat(4, 4, CV_8UC1, cv::Scalar(77)), true, {77, 77, 77}},
        {"bgra", cv::Mat(4, 4, CV_8UC4, cv::Scalar(1, 2, 3, 4)), true, {1, 2, 3}},
        {"bgr", cv::Mat(4, 4, CV_8UC3, cv::Scalar(9, 8, 7)), true, {9, 8, 7}},
        {"16-bit grey", cv::Mat(4, 4, CV_16UC1, cv::Scalar(256 * 200)), true, {200, 200, 200}},
        {"two channels", cv::Mat(4, 4, CV_8UC2, cv::Scalar(1, 2)), false, {}},
        {"empty", cv::Mat(), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cv::Mat m = c.input.clone();
        ASSERT_EQ(toBgr8(m), c.ok);
        if (c.ok) {
            EXPECT_EQ(m.type(), CV_8UC3);
            EXPECT_EQ(m.at<cv::Vec3b>(2, 2), c.pixel);
        }
    }
}
