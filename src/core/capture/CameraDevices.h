#pragma once
// The cameras the system can use: the V4L2 capture devices in /dev/videoN order (metadata and
// output nodes left out), or the one source given on the command line. Camera k of the menu is
// the k-th entry; the CameraNumber setting holds that position. Pure functions apart from
// reading sysfs and querying device nodes; thread-safe. Failures give empty lists.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace tolvek {

class Settings;

struct CameraDevice
{
    int node = -1; // N of /dev/videoN
    QString name;  // /sys/class/video4linux/videoN/name, trimmed
};

// Asks a device node whether it captures video: true or false, or nothing when the node cannot
// be opened or queried (permissions, busy driver).
using CaptureCapabilityProbe = std::function<std::optional<bool>(const QString& devicePath)>;

// The real probe: VIDIOC_QUERYCAP, device capabilities with single- or multi-planar capture.
std::optional<bool> queryV4l2Capture(const QString& devicePath);

inline constexpr char DefaultVideo4LinuxRoot[] = "/sys/class/video4linux";

// Capture devices in ascending node order. A node the probe cannot answer for counts when its
// sysfs "index" is 0 (or absent): a camera's first node is its capture node.
std::vector<CameraDevice> listCaptureDevices(const QString& sysfsRoot = QLatin1String(DefaultVideo4LinuxRoot),
                                             const CaptureCapabilityProbe& probe = queryV4l2Capture,
                                             const QString& devRoot = QStringLiteral("/dev"));

// The camera source given with "--camera SOURCE" or "--camera=SOURCE", else $TOLVEK_CAMERA, else
// empty (use the V4L2 devices).
QString commandLineCameraSource(const QStringList& arguments);

// The menu name of a command-line source: "Simulated eye camera" for sim, the source otherwise.
QString commandLineCameraName(const QString& cameraSource);

// CameraCount at start-up: 1 with a command-line source, else the number of capture devices.
int countCameras(const QString& cameraSource);

// EnumerateCameras: the names in camera order. A device without a name keeps its place with
// "Camera N" (1-based), so the menu item of a name always opens that camera.
QStringList enumerateCameras(const QString& cameraSource);
QStringList cameraNames(const std::vector<CameraDevice>& devices);

// The camera menu holds five items; their commands are cameraCommand() in
// core/i18n/MenuCaptions.h.
inline constexpr int MaxMenuCameras = 5;

// SelectCamera: writes the index ("%d") into CameraNumber; the capture thread switches at its
// next frame. Indexes outside 0..4 are refused (false).
bool selectCamera(Settings& settings, int index);

} // namespace tolvek
