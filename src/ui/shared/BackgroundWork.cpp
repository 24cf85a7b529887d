#include "ui/shared/BackgroundWork.h"

#include "core/platform/WorkerThread.h"
#include "ui/shared/CProgressDlg.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>

namespace tolvek {

namespace {

bool s_progressShown = false;

// How long the end of the work's thread may take once the work has returned.
constexpr int EndWaitMs = 5000;

// Drops the user's input to one window while the work runs, as a modal window would: a key press
// or click meanwhile could start a second command on the same video. Other windows (a message box
// that a background event opens meanwhile) keep theirs, so they can always be answered.
class InputBlocker : public QObject
{
  public:
    explicit InputBlocker(QWidget* window) : m_window(window) {}

    bool eventFilter(QObject* target, QEvent* event) override
    {
        const auto* widget = qobject_cast<QWidget*>(target);
        if (!widget || !m_window || widget->window() != m_window)
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::ContextMenu:
        case QEvent::Close:
            return true;
        default:
            return false;
        }
    }

  private:
    QPointer<QWidget> m_window;
};

} // namespace

void BackgroundWork::run(QWidget* parent, const QString& title, const QString& message,
                         const std::function<void()>& work)
{
    s_progressShown = false;
    QEventLoop loop;
    CProgressDlg progress(title, message, parent);
    QTimer showLater;
    showLater.setSingleShot(true);
    QObject::connect(&showLater, &QTimer::timeout, &progress, [&progress] {
        progress.show();
        s_progressShown = true;
    });
    showLater.start(ShowAfterMs);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    InputBlocker blocker(parent ? parent->window() : nullptr);
    qApp->installEventFilter(&blocker);
    platform::WorkerThread worker(QStringLiteral("BackgroundWork"), std::chrono::milliseconds(EndWaitMs));
    const bool started = worker.start([&work, &loop](platform::WorkerRun&) {
        work();
        // Queued into the UI thread, which runs the loop below; a quit that arrives before the
        // loop runs is handled as soon as it does.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (started)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    else
        work(); // no thread to be had: the window waits for it
    // The work has returned; what is left of its thread ends at once.
    worker.wait(std::chrono::milliseconds(EndWaitMs));
    qApp->removeEventFilter(&blocker);
    showLater.stop();
    progress.hide();
    QApplication::restoreOverrideCursor();
}

bool BackgroundWork::progressWasShown()
{
    return s_progressShown;
}

} // namespace tolvek
