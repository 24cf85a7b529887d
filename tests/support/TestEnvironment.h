#pragma once
// Gives one test process folders of its own for everything the program finds through the
// environment: home, data (and with it the trash), config (the user's and the system's), cache and
// runtime. Set before anything reads them, removed with their contents when the object ends.
// Helper processes started by a test inherit them. Not thread-safe: construct it first thing in
// main.

#include <QString>

namespace tolvek::test {

class TestEnvironment
{
  public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    QString root() const { return m_root; }

  private:
    QString m_root;
};

} // namespace tolvek::test
