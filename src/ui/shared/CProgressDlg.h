#pragma once
// The small modeless progress window: one centred text (static 1046) that, while blinking, shows
// and hides every 500 ms. Its owner may stop the blinking, change the text and close it; it
// deletes itself when closed, so owners hold it through a QPointer. UI thread only.

#include <QDialog>
#include <QString>
#include <QTimer>

class QLabel;

namespace tolvek {

inline constexpr int ProgressTextId = 1046;
inline constexpr int ProgressBlinkMs = 500;

class CProgressDlg : public QDialog
{
    Q_OBJECT
  public:
    // Created blinking, with the given window title and message.
    CProgressDlg(const QString& title, const QString& message, QWidget* parent);

    void setBlinking(bool on); // off: the message stays shown
    bool blinking() const { return m_blinking; }
    void setMessage(const QString& message); // shows it at once
    QString message() const { return m_message; }
    QString shownText() const; // what the static shows now (empty in the off phase)

  private:
    void tick();

    QLabel* m_text;
    QTimer m_timer;
    QString m_message;
    bool m_blinking = true;
    bool m_phaseOn = true;
};

} // namespace tolvek
