// The second text table: every text is there in every language, keeps the English text's
// placeholders and line breaks, is written in its language's script, and a right-to-left text
// keeps the values put into it in their left-to-right order.
#include "core/i18n/UiTexts.h"
#include "core/i18n/Messages.h"
#include "core/settings/ConfigFile.h"
#include "support/InterfaceTexts.h"
#include "support/TempDir.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

using namespace tolvek;
using tolvek::test::TempDir;

namespace {

std::string describe(int language, int id)
{
    return QStringLiteral("language %1, text %2").arg(language).arg(id).toStdString();
}

// The %N markers of a text.
QSet<QString> placeholders(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%[1-9]"));
    QSet<QString> found;
    for (const QRegularExpressionMatch& m : marker.globalMatch(text))
        found.insert(m.captured());
    return found;
}

// The text as it reads, without the direction marks a right-to-left row gets.
QString withoutMarks(QString text)
{
    return text.remove(QChar(0x200E));
}

} // namespace

TEST(UiTexts, EveryTextHasEveryLanguageWithTheEnglishPlaceholdersAndLineBreaks)
{
    for (int id = 0; id < UiTextCount; ++id) {
        const QString english = uiTextIn(English, UiTextId(id));
        for (int l = 0; l < LanguageCount; ++l) {
            SCOPED_TRACE(describe(l, id));
            const QString text = withoutMarks(uiTextIn(l, UiTextId(id)));
            EXPECT_FALSE(text.trimmed().isEmpty());
            EXPECT_EQ(placeholders(text), placeholders(english));
            EXPECT_EQ(text.count(QStringLiteral("\r\n")), english.count(QStringLiteral("\r\n")));
            EXPECT_EQ(text.count(u'\n'), english.count(u'\n'));
            EXPECT_EQ(text.count(u'\r'), english.count(u'\r')); // no lone CR
        }
    }
    EXPECT_TRUE(uiTextIn(-1, TxtOk).isEmpty());
    EXPECT_TRUE(uiTextIn(LanguageCount, TxtOk).isEmpty());
    EXPECT_TRUE(uiTextIn(English, UiTextCount).isEmpty());
}

TEST(UiTexts, NonLatinRowsAreWrittenInTheirScript)
{
    // Catches a text left in English, or a row put under the wrong language.
    const std::set<std::pair<int, int>> loanWords = {{Japanese, TxtOk}}; // the same word there too
    for (const test::LanguageScript& s : test::NonLatinScripts)
        for (int id = 0; id < UiTextCount; ++id)
            if (!loanWords.count({s.language, id})) {
                EXPECT_TRUE(s.writtenIn(uiTextIn(s.language, UiTextId(id))))
                    << describe(s.language, id) << ": " << uiTextIn(s.language, UiTextId(id)).toStdString();
            }
}

TEST(UiTexts, LatinRowsAreTranslatedExceptForSharedWords)
{
    // Words that are spelt as in English in that language.
    const std::set<std::pair<int, int>> shared = {
        {Portuguese, TxtOk},  {French, TxtOk},     {German, TxtOk},
        {Malay, TxtOk},       {Spanish, TxtNo},    {Portuguese, TxtPicMenu},
        {French, TxtPicMenu}, {Malay, TxtPicMenu}, {Portuguese, TxtBackupDialogTitle}};
    for (int l : {Portuguese, French, Spanish, German, Malay})
        for (int id = 0; id < UiTextCount; ++id)
            if (!shared.count({l, id})) {
                EXPECT_NE(uiTextIn(l, UiTextId(id)), uiTextIn(English, UiTextId(id))) << describe(l, id);
            }
}

TEST(UiTexts, KnownEnglishAndJapaneseTexts)
{
    struct Case
    {
        int language;
        UiTextId id;
        const char16_t* text;
    };
    const Case cases[] = {
        {English, TxtCancel, u"Cancel"},
        {Japanese, TxtCancel, u"キャンセル"},
        {English, TxtReferenceExists, u"Reference file already exists."},
        {English, TxtCameraOpenError, u"Camera Open-error!"},
        {English, TxtNoCameraConnected, u"No camera is connected."},
        {English, TxtCameraNotAvailable, u"The camera is not available."},
        {English, TxtMemoPrompt, u"tag of %1"},
        {English, TxtNoMemo, u"(no memo)"},
        {English, TxtNewIdKeypadTitle, u"Input NEW ID"},
        {English, TxtHelpNotFound, u"%1\r\nHelp file not found."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(uiTextIn(c.language, c.id), QString::fromUtf16(c.text)) << describe(c.language, c.id);
}

TEST(UiTexts, ValuesInAnArabicTextKeepTheirLeftToRightOrder)
{
    const QString path = QStringLiteral("/home/clinic/videos/0000012320240305140709.wmv");
    const QString arabic = uiTextIn(Arabic, TxtCannotRead).arg(path);
    EXPECT_TRUE(arabic.contains(QChar(0x200E) + path + QChar(0x200E))) << arabic.toStdString();
    // Left-to-right languages get the value as it is.
    EXPECT_EQ(uiTextIn(English, TxtCannotRead).arg(path), path + QStringLiteral(" can't be read."));
}

TEST(UiTexts, HardwareFailuresNameThePortAndTheGroupToJoin)
{
    for (int l = 0; l < LanguageCount; ++l) {
        SCOPED_TRACE(describe(l, 0));
        for (UiTextId id : {TxtSerialNoPermission, TxtSerialBusy, TxtSerialNotFound, TxtPhonePortInUse,
                            TxtCameraNoPermission, TxtCameraBusy, TxtCameraNotFound})
            EXPECT_TRUE(uiTextIn(l, id).arg(QStringLiteral("ttyACM0")).contains(QStringLiteral("ttyACM0")));
        // The group names are typed by an administrator as they are: never translated.
        EXPECT_TRUE(uiTextIn(l, TxtSerialNoPermission).contains(QStringLiteral("dialout")));
        EXPECT_TRUE(uiTextIn(l, TxtCameraNoPermission).contains(QStringLiteral(" video ")));
    }
}

TEST(UiTexts, TheCurrentLanguageChoosesTheRow)
{
    const int before = currentLanguage();
    setCurrentLanguage(German);
    EXPECT_EQ(uiText(TxtCancel), QStringLiteral("Abbrechen"));
    setCurrentLanguage(Japanese);
    EXPECT_EQ(uiText(TxtCancel), QString::fromUtf16(u"キャンセル"));
    setCurrentLanguage(before);
}

TEST(UiTexts, TheSettingsFilesMessagesAreShownInTheCurrentLanguage)
{
    TempDir dir;
    ASSERT_TRUE(dir.write("Tolvek_config.ini", "Sensor Direction (1-8):12\r\n"));
    const QString path = dir.file("Tolvek_config.ini");
    Settings settings;
    const LoadOutcome broken = loadSettings(settings, path);
    ASSERT_EQ(broken.messages.size(), 1);
    // Saving into a folder that is not there cannot open the file.
    const QStringList unwritable = saveSettings(settings, dir.file("gone/Tolvek_config.ini"));
    ASSERT_FALSE(unwritable.isEmpty());

    const int before = currentLanguage();
    setCurrentLanguage(German);
    const QString destroyed = localizedConfigMessage(broken.messages[0], path);
    EXPECT_EQ(destroyed, uiText(TxtConfigDestroyed).arg(QStringLiteral("LoadCon"), path));
    EXPECT_TRUE(destroyed.contains(QStringLiteral("beschädigt"))) << destroyed.toStdString();
    EXPECT_EQ(localizedConfigMessage(unwritable[0], dir.file("gone/Tolvek_config.ini")),
              uiText(TxtConfigCannotWrite));
    // Texts that are not the settings file's pass as they are.
    EXPECT_EQ(localizedConfigMessage(QStringLiteral("something else"), path),
              QStringLiteral("something else"));
    setCurrentLanguage(English);
    EXPECT_FALSE(localizedConfigMessage(broken.messages[0], path).contains(QStringLiteral("Tolvek2.exe")));
    setCurrentLanguage(before);
}
