#include "core/capture/CameraDevices.h"

#include "core/capture/FrameSource.h"
#include "core/i18n/UiTexts.h"
#include "core/settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tolvek {

namespace {

QString readSysfsText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(4096)).trimmed();
}

} // namespace

std::optional<bool> queryV4l2Capture(const QString& devicePath)
{
    const int fd = ::open(QFile::encodeName(devicePath).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    v4l2_capability cap{};
    const int rc = ::ioctl(fd, VIDIOC_QUERYCAP, &cap);
    ::close(fd);
    if (rc < 0)
        return std::nullopt;
    // device_caps describes this node; capabilities covers the whole device (all its nodes).
    const std::uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return (caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
}

std::vector<CameraDevice> listCaptureDevices(const QString& sysfsRoot, const CaptureCapabilityProbe& probe,
                                             const QString& devRoot)
{
    static const QRegularExpression nodeName(QStringLiteral("^video(\\d+)$"));
    std::vector<CameraDevice> devices;
    const QDir root(sysfsRoot);
    for (const QString& entry : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        const auto match = nodeName.match(entry);
        if (!match.hasMatch())
            continue;
        bool ok = false;
        const int node = match.captured(1).toInt(&ok);
        if (!ok)
            continue;
        const QString dir = root.filePath(entry);
        std::optional<bool> captures = probe ? probe(devRoot + u'/' + entry) : std::nullopt;
        if (!captures) {
            const QString index = readSysfsText(dir + QStringLiteral("/index"));
            captures = index.isEmpty() || index == QLatin1String("0");
        }
        if (*captures)
            devices.push_back({node, readSysfsText(dir + QStringLiteral("/name"))});
    }
    // Directory order is not numeric: video10 would come before video2.
    std::sort(devices.begin(), devices.end(),
              [](const CameraDevice& a, const CameraDevice& b) { return a.node < b.node; });
    return devices;
}

QString commandLineCameraSource(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--camera") && i + 1 < arguments.size())
            return arguments[i + 1];
        if (arg.startsWith(QLatin1String("--camera=")))
            return arg.mid(9);
    }
    return qEnvironmentVariable("TOLVEK_CAMERA");
}

QString commandLineCameraName(const QString& cameraSource)
{
    if (cameraSource == QLatin1String(SimulatedCameraSource))
        return uiText(TxtSimulatedCamera);
    return cameraSource;
}

int countCameras(const QString& cameraSource)
{
    if (!cameraSource.isEmpty())
        return 1;
    return int(listCaptureDevices().size());
}

QStringList cameraNames(const std::vector<CameraDevice>& devices)
{
    QStringList names;
    for (std::size_t i = 0; i < devices.size(); ++i)
        names.append(devices[i].name.isEmpty() ? uiText(TxtCameraItem).arg(i + 1) : devices[i].name);
    return names;
}

QStringList enumerateCameras(const QString& cameraSource)
{
    if (!cameraSource.isEmpty())
        return {commandLineCameraName(cameraSource)};
    return cameraNames(listCaptureDevices());
}

bool selectCamera(Settings& settings, int index)
{
    if (index < 0 || index >= MaxMenuCameras)
        return false;
    settings.setValue(CameraNumber, QString::number(index));
    return true;
}

} // namespace tolvek
