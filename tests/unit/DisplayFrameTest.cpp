#include "core/capture/DisplayFrame.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

using namespace tolvek;

namespace {

cv::Vec3b pixelOf(const FrameCopy& f, int x, int y)
{
    const std::uint8_t* p = f.rgb.data() + (std::size_t(y) * f.width + x) * 3;
    return {p[0], p[1], p[2]};
}

} // namespace

// A BGR picture seen through a region of a wider one (its rows padded), as the capture and
// player threads hand it over: the stored picture is red first, unpadded, and follows size changes.
TEST(DisplayFrame, StoresBgrAsRgbFromPaddedRows)
{
    cv::Mat wide(5, 9, CV_8UC3, cv::Scalar(0, 0, 0));
    for (int y = 0; y < wide.rows; ++y)
        for (int x = 0; x < wide.cols; ++x)
            wide.at<cv::Vec3b>(y, x) = cv::Vec3b(std::uint8_t(x), std::uint8_t(10 * y), 200); // B, G, R
    const cv::Mat region = wide(cv::Rect(2, 1, 4, 3));
    ASSERT_NE(region.step, std::size_t(region.cols) * 3);

    DisplayFrame display;
    display.storeBgr(region.data, region.cols, region.rows, int(region.step));
    FrameCopy f = display.copy();
    ASSERT_TRUE(f.valid());
    ASSERT_EQ(f.width, 4);
    ASSERT_EQ(f.height, 3);
    ASSERT_EQ(f.rgb.size(), std::size_t(4 * 3 * 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixelOf(f, x, y), cv::Vec3b(200, std::uint8_t(10 * (y + 1)), std::uint8_t(x + 2)))
                << "at " << x << "," << y;

    const cv::Mat bigger(6, 7, CV_8UC3, cv::Scalar(1, 2, 3));
    display.storeBgr(bigger.data, bigger.cols, bigger.rows, int(bigger.step));
    f = display.copy();
    ASSERT_EQ(f.width, 7);
    ASSERT_EQ(f.height, 6);
    ASSERT_EQ(f.rgb.size(), std::size_t(7 * 6 * 3));
    EXPECT_EQ(pixelOf(f, 6, 5), cv::Vec3b(3, 2, 1));

    display.storeBgr(nullptr, 7, 6, 21);
    EXPECT_FALSE(display.ready());
}

// The capture thread shares its frame instead of copying it and then lets go of it: the live
// view still has the picture, in RGB order, and a later stored frame replaces the shared one.
TEST(DisplayFrame, SharedBgrFrameOutlivesItsWriterAndIsCopiedAsRgb)
{
    DisplayFrame display;
    {
        cv::Mat frame(2, 3, CV_8UC3, cv::Scalar(10, 20, 30));
        frame.at<cv::Vec3b>(1, 2) = cv::Vec3b(1, 2, 3);
        display.shareBgr(frame);
        frame.release();
    }
    FrameCopy f = display.copy();
    ASSERT_TRUE(f.valid());
    ASSERT_EQ(f.width, 3);
    ASSERT_EQ(f.height, 2);
    EXPECT_EQ(pixelOf(f, 0, 0), cv::Vec3b(30, 20, 10));
    EXPECT_EQ(pixelOf(f, 2, 1), cv::Vec3b(3, 2, 1));

    const std::uint8_t rgb[3] = {7, 8, 9};
    display.store(rgb, 1, 1, 3);
    f = display.copy();
    ASSERT_EQ(f.width, 1);
    EXPECT_EQ(pixelOf(f, 0, 0), cv::Vec3b(7, 8, 9));

    display.shareBgr(cv::Mat());
    EXPECT_FALSE(display.ready());
}
