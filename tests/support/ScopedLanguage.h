#pragma once
// Sets the current interface language for the scope of a test and restores the previous one, for
// tests that read texts a user is shown in a given language. Header only.

#include "core/i18n/Messages.h"

namespace tolvek::test {

class ScopedLanguage
{
  public:
    explicit ScopedLanguage(int language) : m_before(currentLanguage()) { setCurrentLanguage(language); }
    ~ScopedLanguage() { setCurrentLanguage(m_before); }
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;

  private:
    int m_before;
};

} // namespace tolvek::test
