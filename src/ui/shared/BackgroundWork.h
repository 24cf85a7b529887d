#pragma once
// Runs a slow piece of work (a memo save that must copy a whole video) on a thread of its own while
// the UI thread goes on painting and running its timers but drops the user's input to the parent's
// window, as a modal window would, so the window never freezes and no second command can start on
// the same video meanwhile. When the work takes
// longer than ShowAfterMs a blinking progress window says what is going on. UI thread only; the
// work must not touch widgets.

#include <QString>

#include <functional>

class QWidget;

namespace tolvek {

class CProgressDlg;

class BackgroundWork
{
  public:
    static constexpr int ShowAfterMs = 100;

    // Runs work and returns once it has ended; the progress window, if shown, is gone by then.
    static void run(QWidget* parent, const QString& title, const QString& message,
                    const std::function<void()>& work);

    template <class T>
    static T run(QWidget* parent, const QString& title, const QString& message,
                 const std::function<T()>& work)
    {
        T result{};
        run(parent, title, message, std::function<void()>([&] { result = work(); }));
        return result;
    }

    // Whether a progress window was shown during the last run (for tests).
    static bool progressWasShown();
};

} // namespace tolvek
