#include "ui/manage/CSetMemo.h"

#include "core/i18n/UiTexts.h"
#include "ui/shared/Fonts.h"
#include "ui/shared/LanguageLook.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace tolvek {

namespace {

constexpr int EdgeMargin = 5;

// Client size and control rectangles in dialog units (template 145).
constexpr QSize DialogUnits(324, 32);
constexpr QRect PromptUnits(7, 3, 283, 8);
constexpr QRect EditUnits(7, 14, 283, 12);
constexpr QRect OkUnits(291, 14, 26, 11);
constexpr QRect CancelUnits(291, 2, 26, 11);

QFont templateFont()
{
    return meiryoFont(14.0);
}

} // namespace

QPoint placeMemoDialog(QPoint wanted, QSize dialog, QSize screen)
{
    int x = wanted.x(), y = wanted.y();
    if (x + dialog.width() > screen.width())
        x = screen.width() - dialog.width() - EdgeMargin;
    if (y + dialog.height() > screen.height())
        y = screen.height() - dialog.height() - EdgeMargin;
    if (x < 0)
        x = EdgeMargin;
    if (y < 0)
        y = EdgeMargin;
    return {x, y};
}

QString chooseMemoFontFace(const QStringList& installedFamilies)
{
    static const char16_t* const preferred[] = {u"Segoe UI", u"Yu Gothic UI", u"Meiryo UI",
                                                u"Meiryo",   u"MS UI Gothic", u"ＭＳ ゴシック"};
    for (const char16_t* face : preferred) {
        const QString name = QString::fromUtf16(face);
        if (installedFamilies.contains(name, Qt::CaseInsensitive))
            return name;
    }
    return {};
}

CSetMemo::CSetMemo(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(uiText(TxtMemoDialogTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(templateFont());

    // Dialog units to pixels from the template font, as dialog templates are laid out.
    const DialogUnitScale units(font());
    auto px = [&units](const QRect& du) { return units.toPixels(du); };

    m_prompt = new QLabel(this);
    m_prompt->setObjectName(QStringLiteral("1002"));
    m_prompt->setGeometry(px(PromptUnits));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("1001"));
    m_edit->setGeometry(px(EditUnits));
    auto* ok = new QPushButton(uiText(TxtOk), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    ok->setGeometry(px(OkUnits));
    auto* cancel = new QPushButton(uiText(TxtCancel), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(px(CancelUnits));
    connect(ok, &QPushButton::clicked, this, &CSetMemo::accept);
    connect(cancel, &QPushButton::clicked, this, &CSetMemo::reject);
    setFixedSize(px(QRect(QPoint(0, 0), DialogUnits)).size());
    adaptPixelLayout(*this);
}

void CSetMemo::initialise()
{
    m_prompt->setText(m_promptText);
    m_edit->setText(m_memoText);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
    move(placeMemoDialog(m_position, frameGeometry().size(), screenSize));

    const QString face = chooseMemoFontFace(QFontDatabase::families());
    m_editFont = face.isEmpty() ? QFont() : QFont(face);
    m_editFont.setPointSizeF(EditFontPoints);
    m_edit->setFont(m_editFont);
    m_edit->update();

    setWindowTitle(uiText(TxtMemoDialogTitle));
}

void CSetMemo::showEvent(QShowEvent* event)
{
    if (!m_initialised) {
        m_initialised = true;
        initialise();
    }
    QDialog::showEvent(event);
}

void CSetMemo::accept()
{
    m_memoText = m_edit->text();
    m_promptText = m_prompt->text();
    QDialog::accept();
}

std::optional<QString> CSetMemo::ask(QWidget* parent, const QString& prompt, const QString& memo, QPoint at)
{
    CSetMemo dialog(parent);
    dialog.setPromptText(prompt);
    dialog.setMemoText(memo);
    dialog.setPosition(at);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.memoText();
}

} // namespace tolvek
