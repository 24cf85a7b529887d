#include "core/i18n/MenuCaptions.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <utility>

using namespace tolvek;

namespace {

const MenuKind kKinds[] = {MenuKind::MainMenu, MenuKind::FolderMenu, MenuKind::AllListPopupMenu,
                           MenuKind::VideoPopupMenu};

// A menu's shape: each item's command and the commands of its sub-menu items. The sub-menu
// captions are checked apart: the port and language items are the same in every language, the
// direction and camera items are numbered in the menu's own language.
QStringList shape(const std::vector<MenuItemDef>& items)
{
    QStringList out;
    for (const MenuItemDef& item : items) {
        out << QString::number(item.command);
        for (const MenuItemDef& child : item.children)
            out << QStringLiteral("  %1").arg(child.command);
    }
    return out;
}

// The caption a sub-menu item of the main menu has in language.
QString subMenuCaption(int language, int position, int index, const MenuItemDef& english)
{
    if (position == 3)
        return uiTextIn(language, TxtGyroDirectionItem).arg(index + 1);
    if (position == 5)
        return uiTextIn(language, TxtCameraItem).arg(index + 1);
    return english.caption;
}

void expectItems(const std::vector<MenuItemDef>& items,
                 const std::vector<std::pair<int, const char16_t*>>& expected)
{
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].command, expected[i].first) << "position " << i;
        EXPECT_EQ(items[i].caption, QString::fromUtf16(expected[i].second)) << "position " << i;
    }
}

} // namespace

TEST(MenuCaptions, EnglishMainMenu)
{
    const auto menu = menuDefinition(MenuKind::MainMenu, English);
    expectItems(menu, {{32809, u"HeadPosition/Manual"},
                       {-1, u"HeadPosition/Gyro(Arduino_MPU6050)"},
                       {32844, u"HeadPosition/Gyro(phone_WiFi)"},
                       {-1, u"Gyro Direction"},
                       {0, u""},
                       {-1, u"Camera Device"},
                       {0, u""},
                       {32790, u"Add Current Video to Reference List"},
                       {0, u""},
                       {32908, u"List All"},
                       {0, u""},
                       {32944, u"Show ToolTips"},
                       {32802, u"HELP"},
                       {-1, u"Select Language"}});
    ASSERT_EQ(menu.size(), 14u);

    ASSERT_EQ(menu[1].children.size(), 9u);
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(menu[1].children[k].command, 32884 + k);
        EXPECT_EQ(menu[1].children[k].caption, QStringLiteral("com%1").arg(k + 1));
    }
    ASSERT_EQ(menu[3].children.size(), 8u);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(menu[3].children[k].command, 32830 + k);
        EXPECT_EQ(menu[3].children[k].caption, QStringLiteral("Direction %1").arg(k + 1));
    }
    expectItems(menu[5].children, {{32817, u"Camera 1"},
                                   {32816, u"Camera 2"},
                                   {32818, u"Camera 3"},
                                   {32819, u"Camera 4"},
                                   {32820, u"Camera 5"}});
    ASSERT_EQ(menu[13].children.size(), static_cast<size_t>(LanguageCount));
    EXPECT_EQ(menu[13].children[0].command, 32955);
    EXPECT_EQ(menu[13].children[0].caption, QString::fromUtf16(u"日本語 (Japanese)"));
    EXPECT_EQ(menu[13].children[3].command, 32959);
    EXPECT_EQ(menu[13].children[3].caption, QString::fromUtf16(u"简体中文 (Chinese Simplified)"));
    EXPECT_EQ(menu[13].children[12].command, 32968);
}

TEST(MenuCaptions, EnglishAndJapaneseOtherMenus)
{
    expectItems(menuDefinition(MenuKind::FolderMenu, English), {{32786, u"Backup"},
                                                                {32788, u"Set the BackupFolder"},
                                                                {0, u""},
                                                                {32840, u"Change the SavingFolder"},
                                                                {0, u""},
                                                                {32912, u"Top Page"},
                                                                {0, u""},
                                                                {32802, u"Help"}});
    expectItems(menuDefinition(MenuKind::AllListPopupMenu, English),
                {{32771, u"Edit Video Tags"}, {32773, u"Save as a file"}, {32927, u"Delete(&D)"}});
    expectItems(menuDefinition(MenuKind::VideoPopupMenu, English), {{32771, u"Edit Video Tags"},
                                                                    {32929, u"Trim to Range"},
                                                                    {32790, u"Add to Reference List"},
                                                                    {32933, u"Change ID"},
                                                                    {32773, u"Save as a file"},
                                                                    {32772, u"Delete(&D)"}});
    expectItems(menuDefinition(MenuKind::VideoPopupMenu, Japanese), {{32771, u"ビデオタグ情報編集"},
                                                                     {32929, u"範囲でトリム"},
                                                                     {32790, u"参照リストへ登録"},
                                                                     {32933, u"ID変更"},
                                                                     {32773, u"別名で保存"},
                                                                     {32772, u"削除(&D)"}});
    const auto main = menuDefinition(MenuKind::MainMenu, Japanese);
    ASSERT_EQ(main.size(), 14u);
    EXPECT_EQ(main[0].caption, QString::fromUtf16(u"頭位入力：手動"));
    EXPECT_EQ(main[7].caption, QString::fromUtf16(u"表示中のビデオを参照リストへ登録"));
    EXPECT_EQ(main[13].caption, QString::fromUtf16(u"言語選択"));
    EXPECT_EQ(menuDefinition(MenuKind::FolderMenu, Japanese).back().caption,
              QString::fromUtf16(u"Helpの表示"));
}

TEST(MenuCaptions, EveryLanguageHasTheSameItemsWithItsOwnCaptions)
{
    for (MenuKind kind : kKinds) {
        const auto english = menuDefinition(kind, English);
        for (int l = 0; l < LanguageCount; ++l) {
            SCOPED_TRACE(QStringLiteral("kind %1, language %2").arg(int(kind)).arg(l).toStdString());
            const auto menu = menuDefinition(kind, l);
            EXPECT_EQ(shape(menu), shape(english));
            for (size_t i = 0; i < menu.size() && i < english.size(); ++i)
                for (size_t k = 0; k < menu[i].children.size() && k < english[i].children.size(); ++k)
                    EXPECT_EQ(menu[i].children[k].caption,
                              subMenuCaption(l, int(i), int(k), english[i].children[k]))
                        << "position " << i << ", item " << k;
            for (size_t i = 0; i < menu.size() && i < english.size(); ++i) {
                if (menu[i].command == 0) {
                    EXPECT_TRUE(menu[i].caption.isEmpty());
                    continue;
                }
                EXPECT_FALSE(menu[i].caption.trimmed().isEmpty()) << "position " << i;
                // Japanese keeps the English "HELP"; every other caption is translated.
                if (l != English && !(l == Japanese && menu[i].command == CmdHelp)) {
                    EXPECT_NE(menu[i].caption, english[i].caption) << "position " << i;
                }
                // '&' marks the mnemonic; only the delete items have one.
                const bool isDelete =
                    menu[i].command == CmdDeleteVideo || menu[i].command == CmdDeleteAllListVideo;
                EXPECT_EQ(menu[i].caption.count(u'&'), isDelete ? 1 : 0) << "position " << i;
                EXPECT_FALSE(menu[i].caption.endsWith(u'&')) << "position " << i;
            }
        }
    }
}

TEST(MenuCaptions, OutOfRangeLanguageGivesJapaneseMenus)
{
    for (MenuKind kind : kKinds) {
        for (int language : {-1, 13, 99}) {
            const auto menu = menuDefinition(kind, language);
            const auto japanese = menuDefinition(kind, Japanese);
            ASSERT_EQ(menu.size(), japanese.size());
            for (size_t i = 0; i < menu.size(); ++i)
                EXPECT_EQ(menu[i].caption, japanese[i].caption);
        }
    }
}

TEST(MenuCaptions, ResourceIds)
{
    const int expected[4][LanguageCount] = {
        {161, 162, 181, 182, 183, 184, 185, 186, 220, 221, 222, 223, 224},
        {190, 191, 192, 193, 194, 195, 196, 197, 230, 231, 232, 233, 234},
        {200, 201, 202, 203, 204, 205, 206, 207, 250, 251, 252, 253, 254},
        {210, 211, 212, 213, 214, 215, 216, 217, 240, 241, 242, 243, 244},
    };
    for (int k = 0; k < 4; ++k) {
        for (int n = 0; n < LanguageCount; ++n)
            EXPECT_EQ(menuResourceId(kKinds[k], n), expected[k][n]) << "kind " << k << ", n " << n;
        for (int n : {-1, 13, 1000})
            EXPECT_EQ(menuResourceId(kKinds[k], n), expected[k][0]) << "kind " << k << ", n " << n;
    }
}

TEST(MenuCaptions, CameraCommands)
{
    const int expected[] = {32817, 32816, 32818, 32819, 32820};
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(cameraCommand(j), expected[j]);
        EXPECT_EQ(cameraForCommand(expected[j]), j);
    }
    EXPECT_EQ(cameraCommand(-1), -1);
    EXPECT_EQ(cameraCommand(5), -1);
    EXPECT_EQ(cameraForCommand(32821), -1);
    EXPECT_EQ(cameraForCommand(32815), -1);
}
