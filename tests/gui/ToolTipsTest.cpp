#include "ui/shared/ToolTips.h"
#include "core/i18n/Messages.h"
#include "support/MainWindowFixture.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/shared/ControlIds.h"

#include <QApplication>
#include <QHelpEvent>
#include <QRegularExpression>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace tolvek;
using namespace tolvek::test;

namespace {

QString withoutSpaces(QString s)
{
    s.remove(QRegularExpression(QStringLiteral("\\s")));
    return s;
}

} // namespace

TEST(ToolTipsTest, WrappedTextFitsTheWidthAndKeepsEveryCharacter)
{
    const QFontMetrics fm(QToolTip::font());
    struct Case
    {
        const char* name;
        QString text;
    };
    const Case cases[] = {
        {"sentence",
         QStringLiteral("Click and drag the yellow markers to choose the range of the video that the "
                        "trim keeps; everything outside the markers is left out of the copy.")},
        {"cjk without spaces",
         QStringLiteral(
             "左右の黄色い三角をドラッグして範囲を指定してください。指定した範囲だけを新しい動画として"
             "保存します。元の動画は残すことも削除することもできます。")},
        {"one long word", QString(120, u'W')},
        {"kept breaks", QStringLiteral("First line\r\nSecond line\nThird")},
        {"emoji pairs",
         QString::fromUtf8("👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁"
                           "👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁👁")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int width = 200;
        const QString wrapped = wrapToolTip(c.text, fm, width);
        EXPECT_LE(widestLine(wrapped, fm), width);
        EXPECT_EQ(withoutSpaces(wrapped), withoutSpaces(c.text));
        EXPECT_FALSE(wrapped.contains(QChar(0xFFFD)));
    }
    EXPECT_EQ(wrapToolTip(QStringLiteral("First line\r\nSecond"), fm, 500),
              QStringLiteral("First line\nSecond"));
    EXPECT_EQ(wrapToolTip(QStringLiteral("short"), fm, 500), QStringLiteral("short"));
}

TEST(ToolTipsTest, EveryTooltipOfEveryLanguageIsAtMost512PixelsWide)
{
    const QFontMetrics fm(QToolTip::font());
    for (int language = 0; language < LanguageCount; ++language)
        for (int id = 0; id < MessageCount; ++id) {
            const QString text = messageText(language, id);
            if (text.isEmpty())
                continue;
            EXPECT_LE(widestLine(toolTipLayout(text), fm), ToolTipMaxWidth) << language << " " << id;
        }
}

class MainWindowToolTipTest : public MainWindowFixture
{
};

TEST_F(MainWindowToolTipTest, TheWindowShowsItsTooltipsWrappedAndAlsoWhenInactive)
{
    showWindow(services(0));
    QCoreApplication::processEvents();
    CTolvek2Dlg* w = window.get();
    EXPECT_TRUE(w->testAttribute(Qt::WA_AlwaysShowToolTips));
    w->setLanguage(German);
    QWidget* trim = w->control(IDC_TRIM);
    w->setWindowMode(2);
    QCoreApplication::processEvents();
    ASSERT_FALSE(trim->toolTip().isEmpty());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), trim->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(trim, &help);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), toolTipLayout(trim->toolTip()));
    EXPECT_LE(widestLine(QToolTip::text(), QFontMetrics(QToolTip::font())), ToolTipMaxWidth);
    QToolTip::hideText();
}
