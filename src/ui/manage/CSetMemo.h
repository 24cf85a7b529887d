#pragma once
// CSetMemo: the one-line dialog in which the user edits a video's memo. It opens at a given screen
// point (the mouse cursor), kept fully on the screen, with a large font from a preference list.
// UI thread only; it accepts any text, the callers check the length.

#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

class QLabel;
class QLineEdit;

namespace tolvek {

// The top-left corner for a dialog of size `dialog` wanted at `wanted` on a screen of size
// `screen`: moved 5 pixels inside the right or bottom edge when it would stick out, and to 5
// when negative.
QPoint placeMemoDialog(QPoint wanted, QSize dialog, QSize screen);

// The edit field's face: the first of "Segoe UI", "Yu Gothic UI", "Meiryo UI", "Meiryo",
// "MS UI Gothic", "ＭＳ ゴシック" that is installed; empty (the default face) when none is.
QString chooseMemoFontFace(const QStringList& installedFamilies);

class CSetMemo : public QDialog
{
    Q_OBJECT
  public:
    static constexpr double EditFontPoints = 19.0;

    explicit CSetMemo(QWidget* parent = nullptr);

    void setMemoText(const QString& text) { m_memoText = text; }
    QString memoText() const { return m_memoText; } // after OK: the edited memo
    void setPromptText(const QString& text) { m_promptText = text; }
    QString promptText() const { return m_promptText; }
    void setPosition(QPoint p) { m_position = p; } // wanted top-left in screen pixels
    QPoint position() const { return m_position; }
    const QFont& editFont() const { return m_editFont; }

    // Runs the dialog modally; the edited text after OK, nothing after Cancel.
    static std::optional<QString> ask(QWidget* parent, const QString& prompt, const QString& memo, QPoint at);

  public Q_SLOTS:
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void initialise();

    QString m_memoText;
    QString m_promptText;
    QPoint m_position{-1, -1};
    QFont m_editFont;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_edit = nullptr;
    bool m_initialised = false;
};

} // namespace tolvek
