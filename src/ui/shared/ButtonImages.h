#pragma once
// The pictures of the main window's and the keypad's big buttons, drawn with QPainter at their
// fixed sizes, their words in the current language. Pure functions of the picture number and the
// language; UI thread only (QPixmap).

#include <QPixmap>

namespace tolvek {

enum ButtonImageId : int {
    ImgExit = 134,       // 94 x 94, EXIT in bold black on white
    ImgFrontHead = 135,  // 100 x 100, grey ball with two eyes and "Front"
    ImgSetId = 137,      // 85 x 85, "set" and "ID" on white
    ImgRestart = 138,    // 90 x 90, red push-button "restart", F1 top right
    ImgStart = 139,      // 140 x 90, red push-button "start"
    ImgStop = 140,       // 90 x 90, red push-button "stop", F2 top right
    ImgTrim = 141,       // 85 x 85, "trim" between crop marks above two yellow triangles
    ImgRec = 150,        // 86 x 85, red push-button "REC", F1 top left
    ImgMenu = 163,       // 85 x 85, MENU in bold black on white
    ImgList = 177,       // 85 x 85, "List" above three thick lines
    ImgTop = 178,        // 85 x 85, TOP in bold black on white
    ImgTrimGrey = 180,   // 85 x 85, the trim picture in light grey
    ImgManualHead = 182, // 100 x 100, two half heads with the lying and sitting figures
};

QPixmap buttonImage(int id); // in the current language
QPixmap buttonImage(int id, int language);
QSize buttonImageSize(int id);

} // namespace tolvek
