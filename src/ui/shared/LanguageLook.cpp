#include "ui/shared/LanguageLook.h"

#include "core/i18n/Messages.h"
#include "ui/shared/Fonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tolvek {

void applyLanguageLook(int language)
{
    QGuiApplication::setLayoutDirection(language == Arabic ? Qt::RightToLeft : Qt::LeftToRight);
    QFont font = QApplication::font();
    font.setFamilies(interfaceFamilies(language));
    QApplication::setFont(font);
}

int fittingPixelSize(int pixelSize, int width, int room, int minimumPixelSize)
{
    if (width <= room || width <= 0)
        return pixelSize;
    const int scaled = int(std::floor(double(pixelSize) * std::max(room, 0) / width));
    return std::clamp(scaled, minimumPixelSize, pixelSize);
}

int captionOverflow(const QWidget& control)
{
    if (control.property(CaptionNotDrawnProperty).toBool())
        return 0;
    if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
        if (button->text().isEmpty())
            return 0;
        // The caption is drawn inside the button's frame and margin on either side.
        const QStyle* style = button->style();
        const int inner =
            button->width() - 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) / 2 +
                                   style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
        return button->fontMetrics().horizontalAdvance(button->text()) - inner;
    }
    if (qobject_cast<const QCheckBox*>(&control) || qobject_cast<const QRadioButton*>(&control)) {
        const auto& button = static_cast<const QAbstractButton&>(control);
        return button.text().isEmpty() ? 0 : button.sizeHint().width() - button.width();
    }
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        if (label->text().isEmpty())
            return 0;
        if (label->wordWrap()) // a wrapped text runs out at the bottom, not the side
            return label->heightForWidth(label->width()) > label->height() ? 1 : 0;
        return label->sizeHint().width() - label->width();
    }
    return 0;
}

namespace {

QString captionOf(const QWidget& control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(&control))
        return label->text();
    return {};
}

} // namespace

void fitCaption(QWidget& control, int minimum)
{
    const int overflow = captionOverflow(control);
    if (overflow <= 0)
        return;
    QFont font = control.font();
    const int size = QFontInfo(font).pixelSize();
    // A first guess from the proportion, then a pixel at a time, as hinting is not linear.
    const int width = overflow + control.width();
    for (int s = fittingPixelSize(size, width, control.width(), minimum);; --s) {
        font.setPixelSize(s);
        control.setFont(font);
        if (captionOverflow(control) <= 0 || s <= minimum)
            break;
    }
    if (captionOverflow(control) > 0 && control.toolTip().isEmpty())
        control.setToolTip(captionOf(control));
}

void adaptPixelLayout(QWidget& dialog)
{
    for (QWidget* child : dialog.findChildren<QWidget*>())
        fitCaption(*child,
                   std::max(1, int(std::ceil(QFontInfo(child->font()).pixelSize() * MinimumFitShare))));
    if (QGuiApplication::layoutDirection() != Qt::RightToLeft)
        return;
    const int width = dialog.width();
    for (QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect r = child->geometry();
        child->move(width - r.x() - r.width(), r.y());
    }
}

} // namespace tolvek
