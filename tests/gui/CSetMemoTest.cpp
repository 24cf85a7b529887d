// The memo dialog: placement at the cursor kept on the screen, the font preference list, and
// the text going in and coming back out.

#include "ui/manage/CSetMemo.h"

#include "support/ScopedLanguage.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tolvek;
using namespace tolvek::test;

TEST(CSetMemo, PlacementStaysOnTheScreen)
{
    const QSize dialog(400, 100), screen(1920, 1080);
    const struct
    {
        const char* label;
        QPoint wanted, placed;
    } cases[] = {
        {"fits", {100, 200}, {100, 200}},
        {"exactly at the right edge", {1520, 200}, {1520, 200}},
        {"one pixel over the right edge", {1521, 200}, {1515, 200}},
        {"lower right corner", {1900, 1070}, {1515, 975}},
        {"left of and above the screen", {-50, -3}, {5, 5}},
        {"not set yet", {-1, -1}, {5, 5}},
        {"bigger than the screen", {0, 0}, {5, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QSize size = QByteArray(c.label) == "bigger than the screen" ? QSize(2000, 1200) : dialog;
        EXPECT_EQ(placeMemoDialog(c.wanted, size, screen), c.placed);
    }
}

TEST(CSetMemo, FontFaceFollowsThePreferenceList)
{
    EXPECT_EQ(chooseMemoFontFace({"DejaVu Sans", "Meiryo", "Yu Gothic UI"}), QStringLiteral("Yu Gothic UI"));
    EXPECT_EQ(chooseMemoFontFace({"segoe ui", "Meiryo"}), QStringLiteral("Segoe UI"));
    EXPECT_EQ(chooseMemoFontFace({QString::fromUtf8("ＭＳ ゴシック")}), QString::fromUtf8("ＭＳ ゴシック"));
    EXPECT_EQ(chooseMemoFontFace({"DejaVu Sans", "Noto Sans CJK JP"}), QString());
    EXPECT_EQ(chooseMemoFontFace({}), QString());
}

TEST(CSetMemo, OpensInTheCornerWithPromptMemoAndBigFont)
{
    const ScopedLanguage english(English);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    CSetMemo dialog;
    dialog.setPromptText(QStringLiteral("tag of 0000012320240305140709.wmv"));
    dialog.setMemoText(QStringLiteral("old memo"));
    const QPoint corner(screen.width() - 2, screen.height() - 2);
    dialog.setPosition(corner);
    dialog.show();
    QCoreApplication::processEvents();

    // Inside the lower right corner (or at 5, 5 where the dialog is larger than the screen).
    const QRect frame = dialog.frameGeometry();
    EXPECT_EQ(frame.topLeft(), placeMemoDialog(corner, frame.size(), screen));
    EXPECT_NE(frame.topLeft(), corner);
    if (frame.width() + 10 <= screen.width()) {
        EXPECT_EQ(frame.right() + 1, screen.width() - 5);
    }
    if (frame.height() + 10 <= screen.height()) {
        EXPECT_EQ(frame.bottom() + 1, screen.height() - 5);
    }
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("set the memo"));
    EXPECT_EQ(dialog.findChild<QLabel*>("1002")->text(), QStringLiteral("tag of 0000012320240305140709.wmv"));
    auto* edit = dialog.findChild<QLineEdit*>("1001");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("old memo"));
    EXPECT_DOUBLE_EQ(edit->font().pointSizeF(), CSetMemo::EditFontPoints);

    // Longer than the field: the dialog takes it as it is; the caller checks the length.
    const QString typed(200, u'm');
    edit->setText(typed);
    dialog.findChild<QPushButton*>("1")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.memoText(), typed);
}

TEST(CSetMemo, AskGivesTheTextOnOkAndNothingOnCancel)
{
    auto answer = [](const char* button, const QString& text) {
        QTimer::singleShot(0, [button, text] {
            auto* d = qobject_cast<CSetMemo*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            d->findChild<QLineEdit*>("1001")->setText(text);
            d->findChild<QPushButton*>(button)->click();
        });
    };
    answer("1", QStringLiteral("new memo"));
    EXPECT_EQ(CSetMemo::ask(nullptr, QStringLiteral("tag of x"), QStringLiteral("old"), QPoint(10, 10)),
              std::optional<QString>(QStringLiteral("new memo")));
    answer("2", QStringLiteral("ignored"));
    EXPECT_EQ(CSetMemo::ask(nullptr, QStringLiteral("tag of x"), QStringLiteral("old"), QPoint(10, 10)),
              std::nullopt);
}
#include "support/ScopedLanguage.h"
