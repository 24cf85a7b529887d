// Every text the program shows follows the chosen language: in each of the 13 languages the main
// window in its modes, its menus, the folder panel, the keypads, the trim, memo and backup dialogs
// and the message boxes show only texts of that language's tables (the message table, the second
// table, the menu captions), apart from the data shown in them (file names, folders, numbers) and
// the program's name. A text left fixed in one language shows up here as a foreign line, and a
// caption too long for its control as a clipped one.
#include "core/backup/BackupRunner.h"
#include "core/i18n/MenuCaptions.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/platform/HelpPages.h"
#include "support/InterfaceTexts.h"
#include "support/MainWindowFixture.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"
#include "ui/app/QtUserPrompts.h"
#include "ui/backup/BackupDlg.h"
#include "ui/backup/CDayretr.h"
#include "ui/capture/CGetNewID.h"
#include "ui/manage/CGetID.h"
#include "ui/manage/CSetMemo.h"
#include "ui/manage/CTrim.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/LanguageLook.h"
#include "ui/shared/MainMenu.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRawFont>
#include <QTextLayout>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace tolvek;
using namespace tolvek::test;

namespace {

const QString Video = QStringLiteral("0000012320240305140709.wmv");

// The literal pieces of every text of a language's tables: each line of each text, cut at its
// placeholders. A shown line is the language's own when nothing with a letter is left after the
// data and these pieces are taken out of it.
class LanguageTexts
{
  public:
    explicit LanguageTexts(int language)
    {
        static const QRegularExpression cut(QStringLiteral("\\r\\n|\\n|%[1-9]|%s"));
        for (const QString& text : interfaceTexts(language))
            for (const QString& piece : plain(text).split(cut, Qt::SkipEmptyParts))
                if (std::any_of(piece.begin(), piece.end(), [](QChar c) { return c.isLetter(); }))
                    m_pieces << piece;
        // Longest first, so that a long piece is not broken by a short one inside it.
        std::sort(m_pieces.begin(), m_pieces.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        m_pieces.removeDuplicates();
    }

    // The part of a shown line that is neither data nor a text of the language; empty when the
    // line is the language's own. data: names and folders shown as they are; symbols: words that
    // are the same in every language, taken out only where they stand as words of their own.
    QString foreignPart(QString line, const QStringList& data, const QStringList& symbols) const
    {
        line = plain(line);
        for (const QString& d : data)
            line.remove(d);
        for (const QString& piece : m_pieces)
            line.remove(piece);
        for (const QString& symbol : symbols)
            line.remove(
                QRegularExpression(QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(symbol))));
        return std::any_of(line.begin(), line.end(), [](QChar c) { return c.isLetter(); }) ? line.trimmed()
                                                                                           : QString();
    }

  private:
    // Without the direction marks of a right-to-left text.
    static QString plain(QString text) { return text.remove(QChar(0x200E)); }

    QStringList m_pieces;
};

// Texts collected from the screen, each with where it was seen.
struct Shown
{
    QString where;
    QString text;
    int overflow = 0; // pixels by which the text is wider than its control (part of it is unseen)
};

void collectMenu(const QMenu* menu, const QString& where, std::vector<Shown>& out)
{
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        out.push_back({where + QStringLiteral(" menu item"), a->text()});
        if (a->menu())
            collectMenu(a->menu(), where, out);
    }
}

// The texts a window and its children show: captions, labels, titles, tooltips, accessible names
// and list column titles. The lists' cells are data and are left out.
void collectWidget(const QWidget& top, const QString& where, std::vector<Shown>& out)
{
    out.push_back({where + QStringLiteral(" title"), top.windowTitle()});
    QList<const QWidget*> widgets{&top};
    for (const QWidget* w : top.findChildren<QWidget*>())
        widgets << w;
    for (const QWidget* w : widgets) {
        const QString name = where + u' ' + w->metaObject()->className() + u' ' + w->objectName();
        if (w->objectName() == QString::number(IDC_MEMO_TEXT))
            continue; // the played video's memo
        out.push_back({name + QStringLiteral(" tooltip"), w->toolTip()});
        out.push_back({name + QStringLiteral(" accessible name"), w->accessibleName()});
        if (const auto* b = qobject_cast<const QAbstractButton*>(w))
            out.push_back({name + QStringLiteral(" caption"), b->text(),
                           w->isVisibleTo(&top) ? captionOverflow(*b) : 0});
        if (const auto* l = qobject_cast<const QLabel*>(w))
            out.push_back(
                {name + QStringLiteral(" text"), l->text(), w->isVisibleTo(&top) ? captionOverflow(*l) : 0});
        if (const auto* box = qobject_cast<const QMessageBox*>(w))
            out.push_back({name + QStringLiteral(" message"), box->text()});
        if (const auto* list = qobject_cast<const QTreeWidget*>(w))
            for (int c = 0; c < list->columnCount(); ++c) {
                out.push_back({name + QStringLiteral(" column title"), list->headerItem()->text(c)});
                out.push_back({name + QStringLiteral(" column tooltip"), list->headerItem()->toolTip(c)});
            }
    }
}

// Runs a modal box of the real prompts, collects it once it is up and closes it with No or OK.
template <class Ask> void collectModalBox(const QString& where, std::vector<Shown>& out, Ask ask)
{
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            collectWidget(*box, where, out);
            box->done(QMessageBox::No);
        }
    });
    ask();
}

class LanguageCoverageTest : public MainWindowFixture
{
  protected:
    // Everything shown in language, from the window's start without a camera to its dialogs.
    std::vector<Shown> showEverything(int language)
    {
        std::vector<Shown> shown;
        lists = nullptr;
        window.reset(); // saves its settings: they are set anew below
        appSettings().resetToDefaults();
        storage = initStorage(appSettings(), dir.file("data"));
        appSettings().setValue(Language, QString::number(language));
        appSettings().setValue(BackupFolder, backupFolder());
        prompts.messages.clear();
        showWindow(services(0));
        QCoreApplication::processEvents(); // "The camera is not available."
        reloadLists();

        window->refreshFolderPanel();
        collectWidget(*window, QStringLiteral("all-videos view"), shown);
        for (int mode : {ModeLive, ModeRecording, ModeLibrary}) {
            window->setWindowMode(mode);
            collectWidget(*window, QStringLiteral("mode %1").arg(mode), shown);
            shown.push_back(
                {QStringLiteral("picture tooltip, mode %1").arg(mode), window->liveViewToolTip()});
            std::unique_ptr<QMenu> menu(window->createMainMenu());
            collectMenu(menu.get(), QStringLiteral("main, mode %1").arg(mode), shown);
        }
        window->setWindowMode(ModeListAll);
        std::unique_ptr<QMenu> folderMenu(window->createMainMenu());
        collectMenu(folderMenu.get(), QStringLiteral("folder"), shown);
        std::unique_ptr<QMenu> allMenu(buildMenu(MenuKind::AllListPopupMenu, currentLanguage(), nullptr));
        collectMenu(allMenu.get(), QStringLiteral("all-videos pop-up"), shown);

        // The video's own pop-up menu carries its memo ("no memo" here); the memo dialog asks
        // with the file name.
        lists->refillIdList(123);
        openRow(ids, Video);
        std::unique_ptr<QMenu> videoMenu(lists->buildVideoPopupMenu(VideoMenuSource::IdList, window.get()));
        collectMenu(videoMenu.get(), QStringLiteral("video pop-up"), shown);
        lists->setMemoDialog([&](const QString& prompt, const QString& memo, QPoint at) {
            CSetMemo dialog(window.get());
            dialog.setPromptText(prompt);
            dialog.setMemoText(memo);
            dialog.setPosition(at);
            dialog.show();
            collectWidget(dialog, QStringLiteral("memo dialog"), shown);
            return std::optional<QString>();
        });
        window->executeCommand(CmdEditVideoTags);

        // The backup keypad, as the Backup command opens it; then the backup dialog.
        prompts.driveBackupKeypad = [&](CDayretr& keypad) {
            collectWidget(keypad, QStringLiteral("backup keypad"), shown);
            keypad.reject();
        };
        window->setWindowMode(ModeListAll);
        window->executeCommand(CmdBackup);
        prompts.driveBackupKeypad = nullptr;
        {
            BackupRunner runner(folder, backupFolder(), {Video}, QStringLiteral("20240305"));
            BackupDlg dialog(runner);
            dialog.show();
            waitUntil([&] { return !dialog.running(); });
            shown.push_back({QStringLiteral("backup progress"), runner.progressText()});
            collectWidget(dialog, QStringLiteral("backup dialog"), shown);
        }

        // The keypads and the trim dialog as they open.
        for (int form : {0, 1}) {
            GetNewIdSetup setup;
            setup.setIdOnly = form;
            setup.settings = &appSettings();
            CGetNewID keypad(setup);
            keypad.show();
            collectWidget(keypad, QStringLiteral("ID keypad, form %1").arg(form), shown);
        }
        {
            CGetID keypad;
            keypad.enteredId = 123;
            keypad.show();
            collectWidget(keypad, QStringLiteral("change-ID keypad"), shown);
        }
        {
            CTrim trim;
            collectWidget(trim, QStringLiteral("trim dialog"), shown);
        }

        // Message boxes of the real prompts, and those the window told through the scripted ones.
        QtUserPrompts real;
        collectModalBox(QStringLiteral("question box"), shown, [&] {
            real.question(window.get(), Message(MsgDeleteQuestion).replace(QStringLiteral("%s"), Video),
                          Message(MsgConfirmation), true);
        });
        collectModalBox(QStringLiteral("message box"), shown, [&] {
            real.message(window.get(), uiText(TxtReferenceExists), UserPrompts::Icon::Information);
        });
        window->executeCommand(CmdHelp); // no help pages beside the tests
        window->executeCommand(CmdSetBackupFolder);
        for (const QString& title : prompts.folderTitles)
            shown.push_back({QStringLiteral("folder picker title"), title});
        prompts.folderTitles.clear();
        for (const QString& m : prompts.messages)
            shown.push_back({QStringLiteral("message"), m});
        return shown;
    }

    QString backupFolder() { return dir.file("backup"); }
};

} // namespace

TEST_F(LanguageCoverageTest, EveryShownTextIsInTheChosenLanguage)
{
    ASSERT_TRUE(QDir().mkpath(dir.file("backup")));
    ASSERT_FALSE(makeTestWmv(path(Video), 10).isEmpty());
    for (int language = 0; language < LanguageCount; ++language) {
        SCOPED_TRACE(languageMenuCaption(language).toStdString());
        const std::vector<Shown> shown = showEverything(language);
        EXPECT_EQ(currentLanguage(), language);
        // The data the windows show: names, folders (the help page looked for too) and the
        // window's title with the program's name and version.
        const QStringList data{window->windowTitle(),
                               platform::findHelpPage(dir.file("bin"), helpFolderCode(language)).expected,
                               folder, backupFolder(), Video};
        // The same in every language: the program's name, "ID", and the keypads' calculator keys.
        const QStringList symbols{QStringLiteral("Tolvek"), QStringLiteral("ID"), QStringLiteral("AC"),
                                  QStringLiteral("C")};
        const LanguageTexts own(language);
        QStringList foreign;
        for (const Shown& s : shown)
            for (const QString& line : s.text.split(QRegularExpression(QStringLiteral("\\r\\n|\\n"))))
                if (const QString part = own.foreignPart(line, data, symbols); !part.isEmpty())
                    foreign << s.where + QStringLiteral(": ") + part;
        foreign.removeDuplicates();
        EXPECT_TRUE(foreign.isEmpty()) << foreign.size() << " foreign texts:\n"
                                       << foreign.join(u'\n').toStdString();
        QStringList clipped;
        for (const Shown& s : shown)
            if (s.overflow > 0)
                clipped << QStringLiteral("%1: %2 (%3 px too wide)").arg(s.where, s.text).arg(s.overflow);
        clipped.removeDuplicates();
        EXPECT_TRUE(clipped.isEmpty()) << clipped.size() << " texts wider than their control:\n"
                                       << clipped.join(u'\n').toStdString();
        // The texts that matter for the check were really collected.
        const auto has = [&](const QString& text) {
            return std::any_of(shown.begin(), shown.end(),
                               [&](const Shown& s) { return s.text.contains(text); });
        };
        EXPECT_TRUE(has(uiText(TxtCancel)));
        EXPECT_TRUE(has(uiText(TxtYes)) && has(uiText(TxtNo)));
        EXPECT_TRUE(has(uiText(TxtNoMemo)));
        EXPECT_TRUE(has(uiText(TxtMemoPrompt).arg(Video)));
        EXPECT_TRUE(has(uiText(TxtMemoDialogTitle)));
        EXPECT_TRUE(has(uiText(TxtPickBackupFolder).arg(backupFolder())));
        EXPECT_TRUE(has(uiText(TxtBackupKeypadHint)));
        EXPECT_TRUE(has(uiText(TxtOldIdLabel)));
        EXPECT_TRUE(has(uiText(TxtTipMenu)));
        EXPECT_TRUE(has(uiText(TxtCameraNotAvailable)));
    }
}

TEST_F(LanguageCoverageTest, PictureButtonsAreNamedInTheCurrentLanguage)
{
    openWindow();
    QStringList before;
    for (int language : {English, Arabic, Japanese}) {
        window->setLanguage(language);
        QStringList names;
        for (int id : {IDC_QUIT, IDC_RECORD, IDC_RESETR, IDC_RESET_HEAD, IDC_STOP, IDC_SETID, IDC_MENU,
                       IDC_TRIM, IDC_LISTVIEW, IDC_TOTOP}) {
            const QString name = window->control(id)->accessibleName();
            EXPECT_FALSE(name.isEmpty()) << id;
            names << name;
        }
        EXPECT_EQ(window->control(IDC_MENU)->accessibleName(), uiText(TxtTipMenu));
        EXPECT_EQ(window->control(IDC_SETID)->accessibleName(),
                  Message(MsgSetIdTip).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        EXPECT_NE(names, before) << "names unchanged after the language change to " << language;
        before = names;
        // The direction follows: right to left only for Arabic.
        EXPECT_EQ(QGuiApplication::layoutDirection(), language == Arabic ? Qt::RightToLeft : Qt::LeftToRight);
    }
    // With tooltips switched off the buttons keep their names.
    window->executeCommand(CmdShowToolTips);
    ASSERT_FALSE(window->toolTipsActive());
    EXPECT_TRUE(window->control(IDC_MENU)->toolTip().isEmpty());
    EXPECT_EQ(window->control(IDC_MENU)->accessibleName(), uiText(TxtTipMenu));
}

TEST_F(LanguageCoverageTest, HanCharactersAreDrawnWithTheLanguagesOwnFace)
{
    // "骨" and "直" are drawn differently in Chinese, Japanese and Korean type.
    const struct
    {
        int language;
        const char* region;
    } cases[] = {{ChineseSimplified, "SC"}, {ChineseTraditional, "TC"}, {Korean, "KR"}, {Japanese, "JP"}};
    for (const auto& c : cases)
        if (!QFontDatabase::families().contains(
                QStringLiteral("Noto Sans CJK %1").arg(QLatin1String(c.region))))
            GTEST_SKIP() << "the Noto CJK faces are not installed";
    openWindow();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.region);
        window->setLanguage(c.language);
        const auto faceOf = [](const QFont& font) {
            QTextLayout layout(QString::fromUtf16(u"骨直"), font);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            const QList<QGlyphRun> runs = layout.glyphRuns();
            return runs.isEmpty() ? QString() : runs.first().rawFont().familyName();
        };
        const QString region = QStringLiteral("CJK %1").arg(QLatin1String(c.region));
        EXPECT_TRUE(faceOf(window->control(IDC_ALL_LIST)->font()).contains(region))
            << faceOf(window->control(IDC_ALL_LIST)->font()).toStdString();
        EXPECT_TRUE(faceOf(QApplication::font()).contains(region))
            << faceOf(QApplication::font()).toStdString();
        CGetID keypad; // a dialog with its own face
        EXPECT_TRUE(faceOf(keypad.font()).contains(region)) << faceOf(keypad.font()).toStdString();
    }
}

TEST_F(LanguageCoverageTest, ColumnTitlesFitAndLengthStandsApartFromMemo)
{
    openWindow();
    auto* all = qobject_cast<QTreeWidget*>(window->control(IDC_ALL_LIST));
    ASSERT_NE(all, nullptr);
    for (int language = 0; language < LanguageCount; ++language) {
        SCOPED_TRACE(languageMenuCaption(language).toStdString());
        window->setLanguage(language);
        const QFontMetrics fm(all->header()->font());
        for (int c = 0; c < all->columnCount(); ++c) {
            const QString title = all->headerItem()->text(c);
            EXPECT_LT(fm.horizontalAdvance(title) + 8, all->columnWidth(c)) << title.toStdString();
        }
        // Centred, the length title keeps a margin on its right, where the memo title begins.
        EXPECT_EQ(all->headerItem()->textAlignment(AllLengthColumn), int(Qt::AlignCenter));
        // The narrow reference list's title fits its list.
        auto* refs = qobject_cast<QTreeWidget*>(window->control(IDC_REFERENCE_LIST));
        const QString references = refs->headerItem()->text(0);
        EXPECT_LE(QFontMetrics(refs->header()->font()).horizontalAdvance(references) + 8,
                  refs->viewport()->width())
            << references.toStdString();
    }
}

TEST(CaptionFit, ALongCaptionIsDrawnSmallerUntilItFitsElseItsTextBecomesTheTooltip)
{
    const struct
    {
        int size, width, room, minimum, expected;
    } sizes[] = {
        {20, 80, 100, 9, 20}, // fits already
        {20, 100, 50, 9, 10}, // half the room, half the size
        {20, 100, 30, 9, 9},  // never below the minimum
        {20, 100, 0, 9, 9},   // no room at all
    };
    for (const auto& c : sizes)
        EXPECT_EQ(fittingPixelSize(c.size, c.width, c.room, c.minimum), c.expected)
            << c.size << ' ' << c.width << ' ' << c.room;

    QFont font = QApplication::font();
    font.setPixelSize(20);
    QPushButton button(QStringLiteral("Abbrechen"));
    button.setFont(font);
    button.setGeometry(0, 0, 70, 30);
    ASSERT_GT(captionOverflow(button), 0);
    fitCaption(button, 6);
    EXPECT_LE(captionOverflow(button), 0);
    EXPECT_LT(QFontInfo(button.font()).pixelSize(), 20);
    EXPECT_TRUE(button.toolTip().isEmpty());

    QCheckBox box(QStringLiteral("Check to keep the original file"));
    box.setFont(font);
    box.setGeometry(0, 0, 60, 20);
    fitCaption(box, 16); // far too narrow for the smallest allowed size
    EXPECT_GT(captionOverflow(box), 0);
    EXPECT_EQ(QFontInfo(box.font()).pixelSize(), 16);
    EXPECT_EQ(box.toolTip(), box.text());
}
