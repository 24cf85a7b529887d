#pragma once
// What the application looks like in a language beyond its texts: the reading direction
// (right to left for Arabic, for every window, dialog, menu and message box) and the interface
// font's family list, whose CJK face follows the language so that Chinese and Korean are not
// drawn with Japanese glyph shapes. UI thread only; no failure modes.

class QWidget;

namespace tolvek {

// Sets the application's layout direction and interface font for language (0..12).
void applyLanguageLook(int language);

// A dialog laid out in pixels, as its template was, is not mirrored by Qt: in a right-to-left
// language its children change sides here (each keeps its size), so that the first button and
// the text start on the right.
void mirrorIfRightToLeft(QWidget& dialog);

} // namespace tolvek
