// Every text of the interface's tables, in every language, can be drawn on the machine the tests
// run on: for each character some installed font family supports it, so that Qt's font fallback
// finds a glyph instead of drawing an empty box. Fails on a machine that lacks a script's font.
#include "core/i18n/AnalysisTexts.h"
#include "core/i18n/MenuCaptions.h"
#include "core/i18n/Messages.h"

#include <QFontDatabase>
#include <QRawFont>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace tolvek;

void collectCaptions(const std::vector<MenuItemDef>& items, QStringList& out)
{
    for (const MenuItemDef& item : items) {
        out << item.caption;
        collectCaptions(item.children, out);
    }
}

// Messages (tooltips and column titles among them), menu captions, the language item and the
// eye-analysis window's texts.
QStringList interfaceTexts(int language)
{
    QStringList texts;
    for (int id = 0; id < 64; ++id)
        texts << messageText(language, id);
    for (MenuKind kind :
         {MenuKind::MainMenu, MenuKind::FolderMenu, MenuKind::AllListPopupMenu, MenuKind::VideoPopupMenu})
        collectCaptions(menuDefinition(kind, language), texts);
    for (int other = 0; other < LanguageCount; ++other)
        texts << languageMenuCaption(other);
    for (int id = 0; id < AnalysisTextCount; ++id)
        texts << analysisText(language, AnalysisText(id));
    return texts;
}

// Characters that are drawn without a glyph of their own (spaces, line breaks, direction marks).
bool needsGlyph(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return !QChar::isSpace(c) && category != QChar::Other_Control && category != QChar::Other_Format;
}

class FontCoverage
{
  public:
    FontCoverage()
    {
        for (const QString& family : QFontDatabase::families())
            m_fonts.push_back(QRawFont::fromFont(QFont(family)));
    }
    bool drawable(char32_t c)
    {
        const auto known = m_cache.find(c);
        if (known != m_cache.end())
            return known->second;
        bool found = false;
        for (const QRawFont& font : m_fonts)
            if (font.isValid() && font.supportsCharacter(c)) {
                found = true;
                break;
            }
        m_cache[c] = found;
        return found;
    }
    std::size_t familyCount() const { return m_fonts.size(); }

  private:
    std::vector<QRawFont> m_fonts;
    std::map<char32_t, bool> m_cache;
};

TEST(FontCoverageTest, EveryInterfaceTextOfEveryLanguageHasGlyphs)
{
    FontCoverage fonts;
    ASSERT_GT(fonts.familyCount(), 0u) << "no font families installed";
    for (int language = 0; language < LanguageCount; ++language) {
        std::set<char32_t> missing;
        std::size_t checked = 0;
        for (const QString& text : interfaceTexts(language))
            for (char32_t c : text.toUcs4())
                if (needsGlyph(c)) {
                    ++checked;
                    if (!fonts.drawable(c))
                        missing.insert(c);
                }
        EXPECT_GT(checked, 0u) << "language " << language << " has no texts";
        std::string list;
        for (char32_t c : missing)
            list += QString::asprintf(" U+%04X", unsigned(c)).toStdString();
        EXPECT_TRUE(missing.empty()) << "language " << language << " ("
                                     << languageMenuCaption(language).toStdString() << "): " << missing.size()
                                     << " characters no installed font has:" << list;
    }
}

} // namespace
