#include "core/i18n/Messages.h"

#include <atomic>

namespace tolvek {

namespace {

using Row = const char16_t* [MessageCount];

// Row l holds language l's texts, each at its MessageId; unused ids are nullptr.
const Row kMessages[LanguageCount] = {
    // 0 Japanese
    {nullptr, nullptr, u"撮影日時", u"時間", u"メモ情報", u"ファイル名", u"参照リスト",
     u"黄色三角マークで挟まれたの範囲をトリミングします",
     u"下の再生スライダーの左右黄色三角マークを\r\nマウスで動かし範囲を設定すると\r\nボタンが有効になります",
     u"ファイルをダブルクリックすると再生します\r\nファイルの右クリックでポップアップメニューがでます",
     u"右リストボックスに設定したIDの映像が一覧表示されます", u"項目をクリックするとその項目でソートします。",
     nullptr, u"クリックで再生／停止\r\n下の再生スライダーでコマ送りします\r\n右クリックでポップアップメニューが出ます",
     u"Enterキーでも録画を終了します\r\n区画のクリックで対応する頭位アニメーション表示\r\nテンキーでも頭位アニメーション変更可能",
     u"Enter Keyでも録画を終了します", u"カメラを接続してください。", u"センサースレッドを開始できませんでした。",
     nullptr, nullptr, nullptr, u"選択中のファイルを削除しますか？\r\n\r\n%s", u"確認",
     u"バックアップフォルダーが未設定です。", u"頭位アニメーションの左上の仰臥位／座位 表示変更",
     u"頭位アニメーションを正面向きにします。\r\nスペースキーのタップと同等",
     u"頭位アニメーションを正面向きにして、録画を最初からやり直します\r\nF1キー、スペースキーのダブルタップと同等です",
     u"元のファイルを残す時はチェック", nullptr},
    // 1 English
    {nullptr, nullptr, u"Date", u"Length", u"Memo", u"File name", u"References",
     u"Trim the range between the two yellow triangle markers.",
     u"Move the left and right yellow triangle markers\r\non the playback slider to set a range.\r\nThe button will "
     u"then become enabled.",
     u"Double-click a file to play it.\r\nRight-click a file to open the pop-up menu.",
     u"Videos with the selected ID will be listed in the right list box.",
     u"Click a column header to sort by that column.", nullptr,
     u"Click to play/pause.\r\nUse the playback slider to move frame by frame.\r\nRight-click to open the pop-up "
     u"menu.",
     u"Press the Enter key to stop recording.\r\nClick a section to display the corresponding head-position "
     u"animation.\r\nUse the numeric keypad to change the head-position animation.",
     u"Press Enter Key to stop recording.", u"Please connect a camera.", u"Failed to start sensor thread.", nullptr,
     nullptr, nullptr, u"Do you want to delete the selected file?\r\n\r\n%s", u"Confirmation",
     u"The backup folder is not set.",
     u"Change supine/sitting display at the top-left of the head-position animation",
     u"Reset the head-position animation to face forward.\r\nEquivalent to tapping the Space key.",
     u"Reset the head-position animation to face forward and restart recording from the beginning.\r\nEquivalent "
     u"to the F1 key or double-tapping the Space key.",
     u"Check to keep the original file.", nullptr},
    // 2..12: filled in by translation
};

std::atomic<int> g_language{0};

}  // namespace

QString messageText(int language, int id)
{
    if (language < 0 || language >= LanguageCount || id < 0 || id >= MessageCount)
        return {};
    const char16_t* text = kMessages[language][id];
    if (!text)
        text = kMessages[English][id];
    return text ? QString::fromUtf16(text) : QString();
}

int currentLanguage()
{
    return g_language.load();
}

void setCurrentLanguage(int language)
{
    g_language.store(language >= 0 && language < LanguageCount ? language : 0);
}

QString Message(MessageId id)
{
    return messageText(currentLanguage(), id);
}

int languageFromSetting(const QString& text)
{
    // A plain decimal conversion in the manner of _wtoi: leading blanks and a sign, then digits;
    // anything that is not a number gives 0.
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    long long v = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && v < 1000)
        v = v * 10 + (text[i++].unicode() - u'0');
    if (negative)
        v = -v;
    return v >= 0 && v < LanguageCount ? static_cast<int>(v) : 0;
}

int languageCommand(int language)
{
    if (language < 0 || language >= LanguageCount)
        return -1;
    return language <= 2 ? 32955 + language : 32956 + language;
}

int languageForCommand(int command)
{
    if (command >= 32955 && command <= 32957)
        return command - 32955;
    if (command >= 32959 && command <= 32968)
        return command - 32956;
    return -1;
}

QString languageMenuCaption(int language)
{
    static const char16_t* const captions[LanguageCount] = {
        u"日本語 (Japanese)", u"English", u"Português (Portuguese)", u"简体中文 (Chinese Simplified)",
        u"繁體中文 (Chinese Traditional)", u"한국어 (Korean)", u"Français (French)", u"Español (Spanish)",
        u"हिन्दी (Hindi)", u"العربية (Arabic)", u"Русский (Russian)", u"Deutsch (German)", u"Bahasa Melayu (Malay)"};
    return language >= 0 && language < LanguageCount ? QString::fromUtf16(captions[language]) : QString();
}

QString helpFolderCode(int language)
{
    static const char* const codes[LanguageCount] = {"ja", "en", "pt", "zh-cn", "zh-tw", "ko", "fr",
                                                     "es", "hi", "ar", "ru", "de", "ms"};
    return QString::fromLatin1(language >= 0 && language < LanguageCount ? codes[language] : "en");
}

}  // namespace tolvek
