#include "core/i18n/Messages.h"
#include "support/InterfaceTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

using namespace tolvek;

namespace {

const int kUsedIds[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 21, 22, 23, 24, 25, 26, 27};

// Loan words that are spelt the same as in English.
const std::set<std::pair<int, int>> kSameAsEnglish = {{French, MsgDate}, {French, MsgConfirmation}};

QString describe(int language, int id)
{
    return QStringLiteral("language %1, message %2").arg(language).arg(id);
}

} // namespace

TEST(Messages, EveryUsedTextIsTranslated)
{
    for (int l = 0; l < LanguageCount; ++l) {
        for (int id : kUsedIds) {
            const QString text = messageText(l, id);
            SCOPED_TRACE(describe(l, id).toStdString());
            EXPECT_FALSE(text.trimmed().isEmpty());
            if (l != English && !kSameAsEnglish.count({l, id})) {
                EXPECT_NE(text, messageText(English, id));
            }
        }
    }
}

TEST(Messages, LineBreaksFollowEnglish)
{
    for (int l = 0; l < LanguageCount; ++l) {
        for (int id : kUsedIds) {
            const QString text = messageText(l, id);
            SCOPED_TRACE(describe(l, id).toStdString());
            const qsizetype pairs = text.count(QStringLiteral("\r\n"));
            EXPECT_EQ(pairs, messageText(English, id).count(QStringLiteral("\r\n")));
            // Tooltips and message boxes need CR LF pairs; a lone CR or LF is a typing slip.
            EXPECT_EQ(text.count(u'\r'), pairs);
            EXPECT_EQ(text.count(u'\n'), pairs);
        }
    }
}

TEST(Messages, DeleteQuestionHasExactlyOneFileNamePlaceholder)
{
    for (int l = 0; l < LanguageCount; ++l) {
        const QString text = messageText(l, MsgDeleteQuestion);
        SCOPED_TRACE(describe(l, MsgDeleteQuestion).toStdString());
        // The text is used as a format with the file name; any other '%' would be a conversion.
        EXPECT_EQ(text.count(u'%'), 1);
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n\r\n%s")));
    }
}

TEST(Messages, NonLatinRowsAreWrittenInTheirScript)
{
    // Catches a row stored under the wrong language and English left untranslated.
    for (const test::LanguageScript& s : test::NonLatinScripts)
        for (int id : kUsedIds)
            EXPECT_TRUE(s.writtenIn(messageText(s.language, id))) << describe(s.language, id).toStdString();
    // Simplified and traditional Chinese share a script, so compare them directly.
    EXPECT_EQ(messageText(ChineseSimplified, MsgConfirmation), QString::fromUtf16(u"确认"));
    EXPECT_EQ(messageText(ChineseTraditional, MsgConfirmation), QString::fromUtf16(u"確認"));
}

TEST(Messages, SentencesAreNotCopiedBetweenLanguages)
{
    for (int id : kUsedIds) {
        if (messageText(English, id).size() < 20)
            continue;
        for (int a = 0; a < LanguageCount; ++a)
            for (int b = a + 1; b < LanguageCount; ++b)
                EXPECT_NE(messageText(a, id), messageText(b, id))
                    << describe(a, id).toStdString() << " vs " << b;
    }
}

TEST(Messages, KnownEnglishAndJapaneseTexts)
{
    struct Case
    {
        int language;
        int id;
        const char16_t* text;
    };
    const Case cases[] = {
        {English, MsgDate, u"Date"},
        {English, MsgDeleteQuestion, u"Do you want to delete the selected file?\r\n\r\n%s"},
        {English, MsgTrimHowToTip,
         u"Move the left and right yellow triangle markers\r\non the playback slider to set a range.\r\nThe "
         u"button "
         u"will then become enabled."},
        {English, MsgRecordingSensorTip, u"Press Enter Key to stop recording."},
        {English, MsgKeepOriginal, u"Check to keep the original file."},
        {Japanese, MsgDate, u"撮影日時"},
        {Japanese, MsgBackupFolderNotSet, u"バックアップフォルダーが未設定です。"},
        {Japanese, MsgRestartTip,
         u"頭位アニメーションを正面向きにして、録画を最初からやり直します\r\nF1キー、スペースキーのダブルタッ"
         u"プと同等です"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(messageText(c.language, c.id), QString::fromUtf16(c.text))
            << describe(c.language, c.id).toStdString();
}

TEST(Messages, UnusedIdsAndOutOfRangeArgumentsGiveEmptyText)
{
    for (int l = 0; l < LanguageCount; ++l)
        for (int id : {0, 1, 12, 18, 19, 20, 28})
            EXPECT_TRUE(messageText(l, id).isEmpty()) << describe(l, id).toStdString();
    EXPECT_TRUE(messageText(-1, MsgDate).isEmpty());
    EXPECT_TRUE(messageText(LanguageCount, MsgDate).isEmpty());
    EXPECT_TRUE(messageText(English, -1).isEmpty());
    EXPECT_TRUE(messageText(English, MessageCount).isEmpty());
}

TEST(Messages, MessageFollowsCurrentLanguage)
{
    setCurrentLanguage(German);
    EXPECT_EQ(Message(MsgConfirmation), QStringLiteral("Bestätigung"));
    setCurrentLanguage(English);
    EXPECT_EQ(Message(MsgConfirmation), QStringLiteral("Confirmation"));
    setCurrentLanguage(13);
    EXPECT_EQ(currentLanguage(), Japanese);
    EXPECT_EQ(Message(MsgConfirmation), QString::fromUtf16(u"確認"));
    setCurrentLanguage(Japanese);
}

TEST(Messages, LanguageCommands)
{
    const int expected[LanguageCount] = {32955, 32956, 32957, 32959, 32960, 32961, 32962,
                                         32963, 32964, 32965, 32966, 32967, 32968};
    for (int n = 0; n < LanguageCount; ++n) {
        EXPECT_EQ(languageCommand(n), expected[n]) << n;
        EXPECT_EQ(languageForCommand(expected[n]), n) << n;
    }
    for (int command : {32954, 32958, 32969, 0})
        EXPECT_EQ(languageForCommand(command), -1) << command;
    EXPECT_EQ(languageCommand(-1), -1);
    EXPECT_EQ(languageCommand(LanguageCount), -1);
}

TEST(Messages, LanguageFromSetting)
{
    const std::pair<const char*, int> cases[] = {{" 3", 3}, {"13", 0},         {"abc", 0}, {"-1", 0},
                                                 {"", 0},   {"12", 12},        {"0", 0},   {"7x", 7},
                                                 {"+5", 5}, {"99999999999", 0}};
    for (const auto& [text, language] : cases)
        EXPECT_EQ(languageFromSetting(QString::fromLatin1(text)), language) << '"' << text << '"';
}

TEST(Messages, HelpFolderCodes)
{
    EXPECT_EQ(helpFolderCode(Japanese), QStringLiteral("ja"));
    EXPECT_EQ(helpFolderCode(ChineseTraditional), QStringLiteral("zh-Hant"));
    EXPECT_EQ(helpFolderCode(Malay), QStringLiteral("ms"));
    EXPECT_EQ(helpFolderCode(15), QStringLiteral("en"));
    EXPECT_EQ(helpFolderCode(-1), QStringLiteral("en"));
}
