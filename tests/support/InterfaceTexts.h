#pragma once
// What the tests of the localized tables share: every table text of a language, and the script
// each non-Latin language is written in. Header only.

#include "core/i18n/AnalysisTexts.h"
#include "core/i18n/MenuCaptions.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace tolvek::test {

inline void collectMenuCaptions(const std::vector<MenuItemDef>& items, QStringList& out)
{
    for (const MenuItemDef& item : items) {
        out << item.caption;
        collectMenuCaptions(item.children, out);
    }
}

// The texts of language's tables: the message table, the second table, the menu captions and the
// language items.
inline QStringList interfaceTexts(int language)
{
    QStringList texts;
    for (int id = 0; id < MessageCount; ++id)
        texts << messageText(language, id);
    for (int id = 0; id < UiTextCount; ++id)
        texts << uiTextIn(language, UiTextId(id));
    for (MenuKind kind :
         {MenuKind::MainMenu, MenuKind::FolderMenu, MenuKind::AllListPopupMenu, MenuKind::VideoPopupMenu})
        collectMenuCaptions(menuDefinition(kind, language), texts);
    for (int other = 0; other < LanguageCount; ++other)
        texts << languageMenuCaption(other);
    for (int id = 0; id < AnalysisTextCount; ++id)
        texts << analysisText(language, AnalysisText(id));
    return texts;
}

// A language written in a script of its own, and that script's range of characters.
struct LanguageScript
{
    int language;
    char16_t first, last;

    bool writtenIn(const QString& text) const
    {
        return std::any_of(text.begin(), text.end(),
                           [this](QChar c) { return c.unicode() >= first && c.unicode() <= last; });
    }
};

inline constexpr LanguageScript NonLatinScripts[] = {{Japanese, 0x3040, 0x9FFF},
                                                     {ChineseSimplified, 0x4E00, 0x9FFF},
                                                     {ChineseTraditional, 0x4E00, 0x9FFF},
                                                     {Korean, 0xAC00, 0xD7A3},
                                                     {Hindi, 0x0900, 0x097F},
                                                     {Arabic, 0x0600, 0x06FF},
                                                     {Russian, 0x0400, 0x04FF}};

} // namespace tolvek::test
