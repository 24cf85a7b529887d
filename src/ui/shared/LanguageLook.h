#pragma once
// What the application looks like in a language beyond its texts: the reading direction
// (right to left for Arabic, for every window, dialog, menu and message box) and the interface
// font's family list, whose CJK face follows the language so that Chinese and Korean are not
// drawn with Japanese glyph shapes. UI thread only; no failure modes.

class QWidget;

namespace tolvek {

// Sets the application's layout direction and interface font for language (0..12).
void applyLanguageLook(int language);

// A dialog laid out in pixels, as its template was, is made ready for the current language once
// its controls are placed: a caption too long for its control (a German "Abbrechen" in a button
// sized for "Cancel") is drawn smaller until it fits, down to MinimumFitShare of its size, and
// keeps its whole text as a tooltip where even that is too wide; then, in a right-to-left
// language, its children change sides (each keeps its size), since Qt does not mirror a pixel
// layout, so that the first button and the text start on the right.
void adaptPixelLayout(QWidget& dialog);
constexpr double MinimumFitShare = 0.55;

// The pixel size at which a text `width` pixels wide at `pixelSize` fits into `room` pixels,
// taking the text's width as proportional to its size; never below minimumPixelSize, and
// pixelSize itself when it fits already.
int fittingPixelSize(int pixelSize, int width, int room, int minimumPixelSize);

// Draws a control's caption smaller, a pixel at a time, until it fits the control or reaches
// minimumPixelSize; a caption that still does not fit gets its whole text as the tooltip.
void fitCaption(QWidget& control, int minimumPixelSize);

// How many pixels a control's caption is wider than the room the control gives it (0 or less
// when it fits): push buttons, check boxes, radio buttons and labels; 0 for anything else and
// for a control whose CaptionNotDrawnProperty is true (a button that shows only a picture and
// keeps its caption for assistive tools).
inline constexpr char CaptionNotDrawnProperty[] = "captionNotDrawn";
int captionOverflow(const QWidget& control);

} // namespace tolvek
