#include "core/platform/DeviceAccess.h"

#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tolvek;
using namespace tolvek::platform;
using namespace tolvek::test;

TEST(DeviceAccessTest, TheProblemFollowsWhatIsKnownOfTheDevice)
{
    struct Case
    {
        bool exists, allowed;
        DeviceProblem problem;
        const char* group;
    };
    for (const Case& c :
         {Case{false, false, DeviceProblem::Missing, ""}, Case{false, true, DeviceProblem::Missing, ""},
          Case{true, false, DeviceProblem::NoPermission, "dialout"},
          Case{true, true, DeviceProblem::Busy, ""}}) {
        const DeviceDiagnosis d = diagnoseDevice(c.exists, c.allowed, QStringLiteral("dialout"));
        EXPECT_EQ(d.problem, c.problem) << c.exists << c.allowed;
        EXPECT_EQ(d.group, QString::fromLatin1(c.group));
    }
}

TEST(DeviceAccessTest, RealFilesAreDiagnosedFromTheFileSystem)
{
    TempDir dir;
    EXPECT_EQ(diagnoseDeviceOpenFailure(dir.file(QStringLiteral("ttyUSB9"))).problem, DeviceProblem::Missing);
    EXPECT_EQ(diagnoseDeviceOpenFailure(QString()).problem, DeviceProblem::Missing);
    const QString device = dir.file(QStringLiteral("video7"));
    {
        QFile f(device);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(diagnoseDeviceOpenFailure(device).problem, DeviceProblem::Busy);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may open any file: no permission problem to see";
    ASSERT_TRUE(QFile::setPermissions(device, QFileDevice::ReadOwner));
    const DeviceDiagnosis d = diagnoseDeviceOpenFailure(device);
    EXPECT_EQ(d.problem, DeviceProblem::NoPermission);
    EXPECT_FALSE(d.group.isEmpty());
}
