// Slow work off the UI thread: the window keeps running its timers and painting while the work
// runs, drops the user's input to its window meanwhile (as a modal window does) while other windows
// keep theirs, and shows the progress window only for work that outlasts its delay.

#include "ui/shared/BackgroundWork.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>

using namespace tolvek;

TEST(BackgroundWorkTest, TheWindowRunsOnWithoutUserInputWhileTheWorkRuns)
{
    const struct
    {
        int workMs;
        bool progressShown;
    } cases[] = {{400, true}, {5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.workMs);
        QLineEdit field;
        field.show();
        // Another window, as a message box opened by a background event would be: it keeps its input.
        QLineEdit other;
        other.show();
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        std::atomic<bool> workOnUiThread{true};
        // A key press arrives while the long work runs; it must not reach the field.
        if (c.workMs >= 400)
            QTimer::singleShot(50, [&] {
                for (QLineEdit* target : {&field, &other})
                    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_A,
                                                                      Qt::NoModifier, QStringLiteral("a")));
            });
        const int result =
            BackgroundWork::run<int>(&field, QStringLiteral("Title"), QStringLiteral("Working..."), [&] {
                workOnUiThread = QThread::currentThread() == field.thread();
                QThread::msleep(c.workMs);
                return 42;
            });
        EXPECT_EQ(result, 42);
        EXPECT_FALSE(workOnUiThread);
        EXPECT_EQ(BackgroundWork::progressWasShown(), c.progressShown);
        if (c.workMs >= 400)
            EXPECT_GE(ticks, 5) << "the UI thread's timers stopped while the work ran";
        QCoreApplication::processEvents();
        EXPECT_EQ(field.text(), QString()) << "user input reached the window during the work";
        EXPECT_EQ(other.text(), c.workMs >= 400 ? QStringLiteral("a") : QString())
            << "another window lost its input";
    }
}
