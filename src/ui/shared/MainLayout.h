#pragma once
// LayoutMainWindow as a pure function: every control rectangle of the main window from the
// client size and the camera's frame size. No widgets; thread-safe.

#include <QRect>

#include <map>

namespace tolvek {

struct MainLayout
{
    QRect liveView;                // LiveViewRect: x0, y0, Wv, Hv
    int sliderLength = 0;          // SliderLength = Wv
    QPoint sliderOrigin;           // (x0, y0 + Hv + 3); the slider is 29 high
    QSize rawClient;               // client size as received, before the minimums
    std::map<int, QRect> controls; // by control ID
    QRect control(int id) const
    {
        auto it = controls.find(id);
        return it == controls.end() ? QRect() : it->second;
    }
};

inline constexpr int MinLayoutWidth = 850;
inline constexpr int MinLayoutHeight = 400;
inline constexpr int SliderHeight = 29;

// capW, capH: the camera frame size; both must be positive (callers pass the load-time size).
MainLayout layoutMainWindow(int clientWidth, int clientHeight, int capW, int capH);

// The band under the picture that the size handler erases: (x0 - 10, y0 + Hv, Wv + 20, 32).
QRect sliderEraseBand(const MainLayout& layout);

} // namespace tolvek
