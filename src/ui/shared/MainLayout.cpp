#include "ui/shared/MainLayout.h"

#include "ui/shared/ControlIds.h"

#include <algorithm>

namespace tolvek {

MainLayout layoutMainWindow(int cx, int cy, int capW, int capH)
{
    MainLayout out;
    out.rawClient = QSize(cx, cy);
    if (capW <= 0 || capH <= 0)
        capW = 640, capH = 480;
    const int W = std::max(cx, MinLayoutWidth);
    const int H = std::max(cy, MinLayoutHeight);

    const int A = W < 1000 ? W - 500 : (W < 1300 ? W - 560 : W - 660);
    const int V = A * capH / capW;

    int h = H - 165;
    if (h > V)
        h = V + (h - V) / 3;
    int Hv = (h / 12) * 12;

    int w = W - 460;
    if (w > A)
        w = A + (w - A) / 3;
    int Wv = (w / 12) * 12;

    const int t = V > 0 ? Wv * V / A : 0;
    if (Hv >= t)
        Hv = t;
    else if (V > 0)
        Wv = Hv * A / V;

    const int x0 = (W - Wv) / 2;
    const int y0 = (H - Hv - 85) / 2 + 85;
    out.liveView = QRect(x0, y0, Wv, Hv);
    out.sliderLength = Wv;
    out.sliderOrigin = QPoint(x0, y0 + Hv + 3);

    auto& c = out.controls;
    c[IDC_MENU] = QRect(6, 5, 85, 85);
    c[IDC_LISTVIEW] = QRect(96, 5, 85, 85);
    c[IDC_TOTOP] = QRect(96, 5, 85, 85);
    c[IDC_FOLDER_PANEL] = QRect(186, 5, W - 360, 85);
    c[IDC_SETID] = QRect(W / 2 - 132, 5, 85, 85);
    c[IDC_RECORD] = QRect(W / 2 - 42, 5, 85, 85);
    c[IDC_STOP] = QRect(W / 2 - 42, 5, 85, 85);
    c[IDC_RESETR] = QRect(x0, 5, 85, 85);
    c[IDC_RESET_HEAD] = QRect(x0 + Wv - 85, 5, 85, 85);
    c[IDC_TRIM] = QRect(x0 + Wv - 85, 5, 85, 85);
    c[IDC_QUIT] = QRect(W - 91, 5, 85, 85);
    c[IDC_REFERENCE_LIST] = QRect(5, 95, 234, H - 100);
    c[IDC_ID_LIST] = QRect(W - 239, 95, 234, H - 100);
    c[IDC_ALL_LIST] = QRect(5, 95, W - 10, H - 100);
    c[IDC_TIME_TEXT] = QRect(x0, y0 - 30, 150, 30);
    c[IDC_MEMO_TEXT] = QRect(x0 + 150, y0 - 30, 0, 0);
    c[IDC_SLIDER] = QRect(x0 - 10, y0 + Hv + 3, Wv + 12, SliderHeight);
    return out;
}

QRect sliderEraseBand(const MainLayout& l)
{
    return QRect(l.liveView.x() - 10, l.liveView.y() + l.liveView.height(), l.liveView.width() + 20, 32);
}

} // namespace tolvek
