#pragma once
// Polls a condition until it holds or a generous bound passes. The bound only keeps a broken
// test from hanging; nothing is measured.

#include <QCoreApplication>
#include <QThread>

#include <chrono>

namespace tolvek::test {

template <class Condition>
bool waitUntil(Condition&& condition, std::chrono::milliseconds bound = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return true;
}

} // namespace tolvek::test
