#include "ui/app/FolderPanel.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"

#include <gtest/gtest.h>

using namespace tolvek;

TEST(FolderPanel, Text)
{
    EXPECT_EQ(
        folderPanelText(QStringLiteral("/mnt/backup"), QStringLiteral("/data/gazou"), 7, English),
        QStringLiteral("[Backup Folder] /mnt/backup\r\n[Save Folder  ] /data/gazou\r\n[Saved videos ] 007"));
    EXPECT_TRUE(
        folderPanelText(QString(), QStringLiteral("/v"), 1234, Japanese)
            .startsWith(
                uiTextIn(Japanese, TxtPanelBackupFolder).arg(messageText(Japanese, MsgBackupFolderNotSet))));
    EXPECT_TRUE(folderPanelText(QStringLiteral("/abc"), QStringLiteral("/v"), 1234, English)
                    .endsWith(QStringLiteral("] 1234")));
    EXPECT_TRUE(folderPanelText(QStringLiteral("/abc"), QStringLiteral("/v"), 0, English)
                    .startsWith(QStringLiteral("[Backup Folder] The backup folder is not set.")));
}

TEST(FolderPanel, FolderChoice)
{
    const struct
    {
        const char *previous, *chosen, *kept;
    } cases[] = {
        {"/old/videos", "", "/old/videos"},           // cancelled
        {"/old/videos", "/", "/old/videos"},          // a bare root
        {"/old/videos", "/mnt", "/old/videos"},       // shorter than five characters
        {"/old/videos", "/media/usb/", "/media/usb"}, // no trailing slash kept
        {"/old/videos", "/home/clinic/v", "/home/clinic/v"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(acceptedFolderChoice(QString::fromUtf8(c.previous), QString::fromUtf8(c.chosen)),
                  QString::fromUtf8(c.kept))
            << c.chosen;
}

TEST(FolderPanel, ThreeLinesAlwaysFitThePanel)
{
    struct Case
    {
        int lineSpacing, height, lines, pitch;
    };
    // A CJK face at 23 pixels spaces its lines 33 apart; the 85-pixel panel has 81 inside.
    for (const Case& c : {Case{33, 81, 3, 27}, Case{20, 81, 3, 20}, Case{27, 81, 3, 27}, Case{30, 0, 3, 1}}) {
        const int pitch = folderPanelLinePitch(c.lineSpacing, c.height, c.lines);
        EXPECT_EQ(pitch, c.pitch) << c.lineSpacing << " " << c.height;
        if (c.height > 0) {
            EXPECT_LE(pitch * c.lines, c.height);
        }
    }
}
