#pragma once
// The localized message table: 13 languages x 29 texts, as data. Message(id) reads the text of
// the current language at the moment it is shown. Thread-safe: the table is constant and the
// current language is an atomic.

#include <QString>

namespace tolvek {

inline constexpr int LanguageCount = 13;
inline constexpr int MessageCount = 29;

enum LanguageId : int {
    Japanese = 0,
    English,
    Portuguese,
    ChineseSimplified,
    ChineseTraditional,
    Korean,
    French,
    Spanish,
    Hindi,
    Arabic,
    Russian,
    German,
    Malay
};

enum MessageId : int {
    MsgDate = 2,
    MsgLength = 3,
    MsgMemo = 4,
    MsgFileName = 5,
    MsgReferences = 6,
    MsgTrimRangeTip = 7,
    MsgTrimHowToTip = 8,
    MsgListTip = 9,
    MsgSetIdTip = 10,
    MsgColumnSortTip = 11,
    MsgPlayerTip = 13,
    MsgRecordingManualTip = 14,
    MsgRecordingSensorTip = 15,
    MsgConnectCamera = 16,
    MsgSensorThreadFailed = 17,
    MsgDeleteQuestion = 21,
    MsgConfirmation = 22,
    MsgBackupFolderNotSet = 23,
    MsgPostureTip = 24,
    MsgResetHeadTip = 25,
    MsgRestartTip = 26,
    MsgKeepOriginal = 27
};

// Text of message id in language (0..12); empty for unused ids or out-of-range arguments.
QString messageText(int language, int id);

// The process-wide current language, kept equal to the "Language" setting.
int currentLanguage();
void setCurrentLanguage(int language); // values outside 0..12 select 0

// Message(MessageId): the text in the current language.
QString Message(MessageId id);

// Decimal "Language" text to LanguageId: not a number, or outside 0..12, gives 0.
int languageFromSetting(const QString& text);

// Language-menu command of each language and the reverse (32955..32957, 32959..32968).
int languageCommand(int language);
int languageForCommand(int command); // -1 when not a language command
// The language item's caption, the same in every menu ("日本語 (Japanese)", "English", ...).
QString languageMenuCaption(int language);
// Help folder code ("ja", "en", ...); "en" for values outside 0..12.
QString helpFolderCode(int language);

} // namespace tolvek
