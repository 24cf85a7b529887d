#include "core/capture/CameraDevices.h"
#include "core/settings/Settings.h"
#include "support/ScopedLanguage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace tolvek;

namespace {

// A fake /sys/class/video4linux: each node gets a name file and an index file.
struct FakeSysfs
{
    QTemporaryDir dir;

    void addNode(int n, const QByteArray& name, const QByteArray& index = "0")
    {
        const QString node = dir.filePath(QStringLiteral("video%1").arg(n));
        QDir().mkpath(node);
        auto write = [&](const char* file, const QByteArray& text) {
            if (text.isNull())
                return;
            QFile f(node + u'/' + QLatin1String(file));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write("name", name);
        write("index", index);
    }
};

} // namespace

TEST(CameraDevicesTest, listsCaptureNodesInNumericOrderWithTheirNames)
{
    FakeSysfs sys;
    ASSERT_TRUE(sys.dir.isValid());
    sys.addNode(0, "USB2.0 IR Camera\n", "0");
    sys.addNode(1, "USB2.0 IR Camera\n", "1"); // the camera's metadata node
    sys.addNode(10, "Eye Cam B\n", "0");
    sys.addNode(2, "Eye Cam A\n", "0");
    sys.addNode(3, "Loopback out\n", "0");
    QDir().mkpath(sys.dir.filePath(QStringLiteral("vbi0")));

    // The probe knows nodes 0..3; node 10 cannot be opened, so its sysfs index decides.
    const std::map<QString, bool> answers{
        {"/dev/video0", true}, {"/dev/video1", false}, {"/dev/video2", true}, {"/dev/video3", false}};
    const CaptureCapabilityProbe probe = [&](const QString& path) -> std::optional<bool> {
        const auto it = answers.find(path);
        if (it == answers.end())
            return std::nullopt;
        return it->second;
    };
    const auto devices = listCaptureDevices(sys.dir.path(), probe, QStringLiteral("/dev"));
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].node, 0);
    EXPECT_EQ(devices[1].node, 2);
    EXPECT_EQ(devices[2].node, 10); // after 2, although "video10" sorts before "video2"
    EXPECT_EQ(cameraNames(devices), (QStringList{"USB2.0 IR Camera", "Eye Cam A", "Eye Cam B"}));
}

TEST(CameraDevicesTest, withoutAProbeAnswerOnlyFirstNodesOfACameraCount)
{
    const test::ScopedLanguage english(English); // the name of an unnamed camera
    FakeSysfs sys;
    sys.addNode(0, "Cam\n", "0");
    sys.addNode(1, "Cam\n", "1");
    sys.addNode(2, QByteArray(), QByteArray()); // neither name nor index readable
    const auto devices = listCaptureDevices(sys.dir.path(), {}, QStringLiteral("/dev"));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].node, 0);
    EXPECT_EQ(devices[1].node, 2);
    // A device without a name keeps its place, so menu item k still opens camera k.
    EXPECT_EQ(cameraNames(devices), (QStringList{"Cam", "Camera 2"}));
}

TEST(CameraDevicesTest, missingSysfsGivesNoCameras)
{
    EXPECT_TRUE(listCaptureDevices(QStringLiteral("/nonexistent/video4linux")).empty());
}

TEST(CameraDevicesTest, commandLineSourceIsTheOnlyCamera)
{
    const test::ScopedLanguage english(English);
    EXPECT_EQ(countCameras(QStringLiteral("sim")), 1);
    EXPECT_EQ(enumerateCameras(QStringLiteral("sim")), QStringList{"Simulated eye camera"});
    EXPECT_EQ(enumerateCameras(QStringLiteral("rtsp://10.0.0.5/eye")), QStringList{"rtsp://10.0.0.5/eye"});

    struct Case
    {
        QStringList args;
        const char* env;
        const char* expected;
    };
    const Case cases[] = {
        {{"tolvek", "--camera", "sim"}, nullptr, "sim"},
        {{"tolvek", "--camera=/tmp/eye.wmv"}, nullptr, "/tmp/eye.wmv"},
        {{"tolvek", "/restart", "--camera", "sim"}, "file.wmv", "sim"}, // the option wins
        {{"tolvek"}, "file.wmv", "file.wmv"},
        {{"tolvek", "--camera"}, nullptr, ""}, // no value given
        {{"tolvek"}, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        if (c.env)
            qputenv("TOLVEK_CAMERA", c.env);
        else
            qunsetenv("TOLVEK_CAMERA");
        EXPECT_EQ(commandLineCameraSource(c.args), QString::fromUtf8(c.expected));
    }
    qunsetenv("TOLVEK_CAMERA");
}

TEST(CameraDevicesTest, selectCameraWritesOnlyMenuIndexes)
{
    Settings settings;
    settings.resetToDefaults();
    EXPECT_TRUE(selectCamera(settings, 1));
    EXPECT_EQ(settings.value(CameraNumber), QStringLiteral("1"));
    EXPECT_TRUE(selectCamera(settings, 1)); // the camera in use: the value stays the same
    EXPECT_EQ(settings.value(CameraNumber), QStringLiteral("1"));
    EXPECT_FALSE(selectCamera(settings, 5));
    EXPECT_FALSE(selectCamera(settings, -1));
    EXPECT_EQ(settings.value(CameraNumber), QStringLiteral("1"));
}
