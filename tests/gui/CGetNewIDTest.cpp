#include "ui/capture/CGetNewID.h"
#include "core/capture/IdHistory.h"
#include "core/settings/Settings.h"
#include "support/ScopedLanguage.h"
#include "support/ScriptedPrompts.h"
#include "ui/shared/DigitStrip.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

using namespace tolvek;
using namespace tolvek::test;

namespace {

class CGetNewIDTest : public ::testing::Test
{
  protected:
    void SetUp() override { settings.resetToDefaults(); }

    std::unique_ptr<CGetNewID> makeDialog(int setIdOnly = 0, QWidget* parent = nullptr)
    {
        GetNewIdSetup setup;
        setup.setIdOnly = setIdOnly;
        setup.mainClientSize = QSize(600, 560);
        setup.profile = &profile;
        setup.settings = &settings;
        setup.rezeroHead = [this] { ++rezeros; };
        return std::make_unique<CGetNewID>(setup, parent);
    }

    static void key(QWidget* target, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, k, mods);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, k, mods);
        QCoreApplication::sendEvent(target, &release);
    }

    static void click(QWidget* w)
    {
        ASSERT_NE(w, nullptr);
        const QPointF at = QRectF(w->rect()).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(w, &release);
    }

    Settings settings;
    MemoryProfile profile;
    int rezeros = 0;
};

QImage cellOfStrip(const QRect& cell)
{
    return DigitStrip::image().copy(cell).convertToFormat(QImage::Format_RGB32);
}

// The eight glyph cells a display shows, compared with the strip: ' ' for a blank cell, the
// glyph's character, or '#' for anything else.
QString readCells(const QImage& img, QPoint first, int step, bool large)
{
    const QString candidates = QStringLiteral(" 0123456789");
    QString text;
    for (int i = 0; i < IdDigitCount; ++i) {
        const QSize cellSize = large ? QSize(DigitStrip::LargeWidth, DigitStrip::LargeHeight)
                                     : QSize(DigitStrip::SmallWidth, DigitStrip::SmallHeight);
        const QImage shown = img.copy(QRect(first + QPoint(step * i, 0), cellSize));
        QChar found = u'#';
        for (QChar c : candidates) {
            const QRect cell = large ? DigitStrip::largeCell(c) : DigitStrip::smallCell(c);
            if (shown == cellOfStrip(cell)) {
                found = c;
                break;
            }
        }
        text += found;
    }
    return text;
}

QString shownId(CGetNewID& dlg)
{
    // The display's white area is centred in the 319 x 70 control.
    const QImage img =
        dlg.control(CGetNewID::IDC_ID_DISPLAY)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return readCells(img, QPoint(2 + 20, 2 + 10), 35, true);
}

} // namespace

TEST_F(CGetNewIDTest, ControlsSitWhereTheKeypadNeedsThem)
{
    const ScopedLanguage english(English);
    struct Place
    {
        int id;
        QRect rect;
        const char* caption;
    };
    const std::vector<Place> places = {
        {1026, {20, 21, 319, 70}, nullptr},   {1017, {20, 92, 71, 71}, "7"},
        {1018, {92, 92, 71, 71}, "8"},        {1019, {164, 92, 71, 71}, "9"},
        {1014, {20, 164, 71, 71}, "4"},       {1015, {92, 164, 71, 71}, "5"},
        {1016, {164, 164, 71, 71}, "6"},      {1011, {20, 236, 71, 71}, "1"},
        {1012, {92, 236, 71, 71}, "2"},       {1013, {164, 236, 71, 71}, "3"},
        {1020, {20, 308, 71, 71}, "0"},       {1022, {92, 308, 71, 71}, "C"},
        {1021, {164, 308, 71, 71}, "AC"},     {1027, {236, 92, 103, 35}, nullptr},
        {1031, {236, 236, 103, 35}, nullptr}, {1036, {236, 416, 103, 35}, nullptr},
        {1037, {20, 380, 106, 71}, "Cancel"}, {1010, {129, 380, 106, 71}, "Start capture"},
        {1038, {129, 380, 106, 71}, "SetID"},
    };
    for (int form : {0, 1}) {
        auto dlg = makeDialog(form);
        dlg->show();
        EXPECT_EQ(dlg->size(), QSize(378, 512));
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Input ID"));
        for (const Place& p : places) {
            SCOPED_TRACE(testing::Message() << "form " << form << " control " << p.id);
            QWidget* w = dlg->findChild<QWidget*>(QString::number(p.id));
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(w->geometry(), p.rect);
            if (p.caption) {
                EXPECT_EQ(qobject_cast<QPushButton*>(w)->text(), QString::fromUtf8(p.caption));
            }
            EXPECT_EQ(w->focusPolicy(), Qt::NoFocus); // keys always reach the dialog's table
        }
        for (int n = 1027; n <= 1036; ++n)
            EXPECT_EQ(dlg->control(n)->geometry(), QRect(236, 92 + 36 * (n - 1027), 103, 35));
        EXPECT_EQ(dlg->control(1010)->isVisible(), form == 0);
        EXPECT_EQ(dlg->control(1038)->isVisible(), form == 1);
        EXPECT_TRUE(dlg->control(1)->isHidden());
        EXPECT_TRUE(dlg->control(2)->isHidden());
        dlg->reject();
    }
}

TEST_F(CGetNewIDTest, KeysEditTheId)
{
    struct Step
    {
        int key;
        Qt::KeyboardModifiers mods;
    };
    struct Case
    {
        const char* name;
        std::vector<Step> keys;
        int expected;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier, pad = Qt::KeypadModifier;
    const std::vector<Case> cases = {
        {"digits", {{Qt::Key_1, none}, {Qt::Key_2, none}, {Qt::Key_3, none}}, 123},
        {"keypad digits", {{Qt::Key_4, pad}, {Qt::Key_0, pad}, {Qt::Key_9, pad}}, 409},
        {"leading zero ignored", {{Qt::Key_0, none}, {Qt::Key_0, pad}, {Qt::Key_7, none}}, 7},
        {"J K L U I O",
         {{Qt::Key_J, none},
          {Qt::Key_K, none},
          {Qt::Key_L, none},
          {Qt::Key_U, none},
          {Qt::Key_I, none},
          {Qt::Key_O, none}},
         123456},
        {"Backspace",
         {{Qt::Key_1, none}, {Qt::Key_2, none}, {Qt::Key_3, none}, {Qt::Key_Backspace, none}},
         12},
        {"Clear", {{Qt::Key_5, none}, {Qt::Key_6, none}, {Qt::Key_Clear, pad}}, 5},
        {"Delete", {{Qt::Key_1, none}, {Qt::Key_2, none}, {Qt::Key_Delete, none}}, 0},
        {"ninth digit",
         {{Qt::Key_1, none},
          {Qt::Key_2, none},
          {Qt::Key_3, none},
          {Qt::Key_4, none},
          {Qt::Key_5, none},
          {Qt::Key_6, none},
          {Qt::Key_7, none},
          {Qt::Key_8, none},
          {Qt::Key_9, none}},
         12345678},
        {"Space swallowed", {{Qt::Key_4, none}, {Qt::Key_Space, none}, {Qt::Key_2, none}}, 42},
        {"other letters do nothing", {{Qt::Key_4, none}, {Qt::Key_M, none}, {Qt::Key_F1, none}}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto dlg = makeDialog();
        dlg->show();
        for (const Step& s : c.keys)
            key(dlg.get(), s.key, s.mods);
        EXPECT_EQ(dlg->enteredId(), c.expected);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(shownId(*dlg), idDisplayGlyphs(c.expected));
    }
}

TEST_F(CGetNewIDTest, EnterAcceptsAndEscCancels)
{
    for (int k : {Qt::Key_Return, Qt::Key_Enter}) {
        auto dlg = makeDialog();
        dlg->show();
        key(dlg.get(), Qt::Key_1);
        key(dlg.get(), Qt::Key_2);
        key(dlg.get(), Qt::Key_3);
        key(dlg.get(), k);
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(dlg->enteredId(), 123);
    }
    {
        auto dlg = makeDialog();
        dlg->show();
        key(dlg.get(), Qt::Key_Return); // an empty ID is accepted too; the caller records 0
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(dlg->enteredId(), 0);
    }
    {
        auto dlg = makeDialog();
        dlg->show();
        key(dlg.get(), Qt::Key_5);
        key(dlg.get(), Qt::Key_Space);
        EXPECT_TRUE(dlg->isVisible());
        key(dlg.get(), Qt::Key_Escape);
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(dlg->result(), QDialog::Rejected);
    }
}

TEST_F(CGetNewIDTest, ClicksWorkLikeKeys)
{
    auto dlg = makeDialog();
    dlg->show();
    for (int id : {1011, 1012, 1013})
        click(dlg->control(id));
    EXPECT_EQ(dlg->enteredId(), 123);
    EXPECT_EQ(shownId(*dlg), QStringLiteral("     123"));
    click(dlg->control(1022)); // C
    EXPECT_EQ(dlg->enteredId(), 12);
    EXPECT_EQ(shownId(*dlg), QStringLiteral("      12"));
    click(dlg->control(1020)); // 0
    EXPECT_EQ(dlg->enteredId(), 120);
    click(dlg->control(1021)); // AC
    EXPECT_EQ(dlg->enteredId(), 0);
    EXPECT_EQ(shownId(*dlg), QStringLiteral("        "));
    click(dlg->control(1020)); // 0 on an empty display does nothing
    EXPECT_EQ(dlg->enteredId(), 0);
    click(dlg->control(1029)); // third history entry
    EXPECT_EQ(dlg->enteredId(), 333);
    click(dlg->control(1036)); // tenth
    EXPECT_EQ(dlg->enteredId(), 123);
    click(dlg->control(1010)); // Start capture
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->enteredId(), 123);

    auto setId = makeDialog(1);
    setId->show();
    click(setId->control(1019));
    click(setId->control(1038)); // SetID
    EXPECT_EQ(setId->result(), QDialog::Accepted);
    EXPECT_EQ(setId->enteredId(), 9);

    auto cancelled = makeDialog();
    cancelled->show();
    click(cancelled->control(1037));
    EXPECT_FALSE(cancelled->isVisible());
    EXPECT_EQ(cancelled->result(), QDialog::Rejected);
}

TEST_F(CGetNewIDTest, UpAndDownWalkTheHistory)
{
    auto dlg = makeDialog();
    dlg->show();
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        key(dlg.get(), Qt::Key_Down);
        seen.push_back(dlg->enteredId());
    }
    EXPECT_EQ(seen, (std::vector<int>{111, 222, 333}));
    EXPECT_EQ(dlg->historyIndex(), 3);
    EXPECT_EQ(shownId(*dlg), QStringLiteral("     333"));
    key(dlg.get(), Qt::Key_Up);
    key(dlg.get(), Qt::Key_Up);
    EXPECT_EQ(dlg->enteredId(), 111);
    key(dlg.get(), Qt::Key_Up); // from the first entry: the value stays
    EXPECT_EQ(dlg->historyIndex(), 0);
    EXPECT_EQ(dlg->enteredId(), 111);
    for (int i = 0; i < 12; ++i)
        key(dlg.get(), Qt::Key_Down);
    EXPECT_EQ(dlg->historyIndex(), 10);
    EXPECT_EQ(dlg->enteredId(), 123);
    EXPECT_TRUE(dlg->isVisible()); // arrows never move a focus or close the dialog
}

TEST_F(CGetNewIDTest, HistoryCellsShowTheEntriesRightAligned)
{
    settings.setValue(IdHistory, QStringLiteral("00000111,12345678,00000000,abc"));
    auto dlg = makeDialog();
    dlg->show();
    const std::vector<QString> expected = {QStringLiteral("     111"), QStringLiteral("12345678"),
                                           QStringLiteral("       0"), QStringLiteral("       0"),
                                           QStringLiteral("       0")};
    for (int n = 1; n <= 5; ++n) {
        // The 98 x 33 white area is centred in the 103 x 35 control.
        const QImage img = dlg->control(1026 + n)->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(readCells(img, QPoint(2 + 2, 1 + 8), 12, false), expected[n - 1]) << n;
    }
}

TEST_F(CGetNewIDTest, HeadIsRezeroedOnEveryRedrawAndOnClose)
{
    auto dlg = makeDialog();
    dlg->show();
    // Events are sent directly here, so no paint interleaves and every count is exact.
    const int start = rezeros;
    key(dlg.get(), Qt::Key_4);
    EXPECT_EQ(rezeros, start + 1);
    click(dlg->control(1027));
    EXPECT_EQ(rezeros, start + 2);
    key(dlg.get(), Qt::Key_Space);
    EXPECT_EQ(rezeros, start + 2);
    (void)dlg->control(1026)->grab(); // a paint of the display is a redraw too
    EXPECT_EQ(rezeros, start + 3);
    key(dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(rezeros, start + 4);

    auto accepted = makeDialog();
    accepted->show();
    const int before = rezeros;
    key(accepted.get(), Qt::Key_Return);
    EXPECT_EQ(rezeros, before + 1);
}

TEST_F(CGetNewIDTest, PositionIsRememberedAndKeptOnScreen)
{
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_GE(work.width(), 378);
    ASSERT_GE(work.height(), 512);

    // Nothing stored: centred on the main window's client area.
    QWidget main;
    main.setGeometry(work.x(), work.y(), 600, 560);
    {
        auto dlg = makeDialog(0, &main);
        EXPECT_EQ(dlg->pos(), main.mapToGlobal(QPoint(300 - 189, 280 - 256)));
        dlg->show();
        dlg->move(work.topLeft() + QPoint(7, 9));
        dlg->reject();
        EXPECT_EQ(profile.values.value(QStringLiteral("DialogPos/Left")), work.x() + 7);
        EXPECT_EQ(profile.values.value(QStringLiteral("DialogPos/Top")), work.y() + 9);
    }
    // Stored: reopened there.
    EXPECT_EQ(makeDialog(0, &main)->pos(), work.topLeft() + QPoint(7, 9));

    // Stored far off any screen, or half off it: pulled inside the nearest work area.
    const std::vector<QPoint> faraway = {{5000, -3000},
                                         {-4000, 200},
                                         {work.right() - 50, work.bottom() - 50},
                                         {-1, -1},
                                         {INT_MAX, INT_MIN + 1}};
    for (QPoint stored : faraway) {
        profile.values[QStringLiteral("DialogPos/Left")] = stored.x();
        profile.values[QStringLiteral("DialogPos/Top")] = stored.y();
        auto dlg = makeDialog(0, &main);
        const QRect placed(dlg->pos(), QSize(378, 512));
        EXPECT_TRUE(work.contains(placed)) << stored.x() << "," << stored.y();
    }

    // Only one of the two entries stored: centred as if none were.
    profile.values.clear();
    profile.values[QStringLiteral("DialogPos/Left")] = work.x() + 3;
    EXPECT_EQ(makeDialog(0, &main)->pos(), main.mapToGlobal(QPoint(111, 24)));
}

TEST_F(CGetNewIDTest, AskRunsModallyAndReturnsTheIdOrNothing)
{
    // Answered from inside the modal loop, as a user would.
    const auto answerWith = [](std::vector<int> keys) {
        QTimer::singleShot(0, [keys] {
            CGetNewID* dlg = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<CGetNewID*>(w); d && d->isVisible())
                    dlg = d;
            ASSERT_NE(dlg, nullptr);
            EXPECT_EQ(QApplication::activeModalWidget(), dlg);
            for (int k : keys)
                key(dlg, k);
            // Never leave the modal loop hanging, whatever the keys did.
            if (dlg->isVisible()) {
                ADD_FAILURE() << "the keys did not close the keypad";
                dlg->reject();
            }
        });
    };
    GetNewIdSetup setup;
    setup.settings = &settings;
    setup.rezeroHead = [this] { ++rezeros; };

    answerWith({Qt::Key_7, Qt::Key_0, Qt::Key_Return});
    EXPECT_EQ(CGetNewID::ask(setup, nullptr), std::optional<int>(70));
    answerWith({Qt::Key_7, Qt::Key_Escape});
    EXPECT_EQ(CGetNewID::ask(setup, nullptr), std::nullopt);
    setup.setIdOnly = 1;
    answerWith({Qt::Key_Down, Qt::Key_Enter});
    EXPECT_EQ(CGetNewID::ask(setup, nullptr), std::optional<int>(111));
}

TEST(DigitStripTest, GlyphsAreInkedDistinctAndInTheirCells)
{
    const QImage& strip = DigitStrip::image();
    EXPECT_EQ(strip.size(), QSize(828, 71));
    EXPECT_EQ(strip.depth(), 24);
    const auto inked = [&](const QRect& cell) {
        int dark = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                dark += qGray(strip.pixel(x, y)) < 128;
        return dark;
    };
    const QString glyphs = QStringLiteral("0123456789");
    std::vector<QImage> large, small;
    for (QChar c : glyphs) {
        // A clear large digit covers a good part of its cell; a small one still has strokes.
        EXPECT_GT(inked(DigitStrip::largeCell(c)), 33 * 45 / 10) << c.toLatin1();
        EXPECT_GT(inked(DigitStrip::smallCell(c)), 12) << c.toLatin1();
        large.push_back(strip.copy(DigitStrip::largeCell(c)));
        small.push_back(strip.copy(DigitStrip::smallCell(c)));
    }
    for (size_t i = 0; i < large.size(); ++i)
        for (size_t j = i + 1; j < large.size(); ++j) {
            EXPECT_NE(large[i], large[j]) << i << " " << j;
            EXPECT_NE(small[i], small[j]) << i << " " << j;
        }
    for (QChar c : {u'.', u':', u'-', u'/'})
        EXPECT_GT(inked(DigitStrip::smallCell(c)), 0) << c.toLatin1();
    EXPECT_EQ(inked(DigitStrip::largeCell(u' ')), 0);
    EXPECT_EQ(inked(DigitStrip::smallCell(u' ')), 0);
    // The question mark is light grey: visible, but no dark ink.
    const QImage question = strip.copy(DigitStrip::largeCell(u'?'));
    EXPECT_EQ(inked(DigitStrip::largeCell(u'?')), 0);
    EXPECT_NE(question, strip.copy(DigitStrip::largeCell(u' ')));
}
