#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tolvek::test {

TestEnvironment::TestEnvironment()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tolvek-test-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("tolvek tests: cannot make a temporary folder");
        std::abort();
    }
    m_root = QString::fromLocal8Bit(pattern.c_str());
    const struct
    {
        const char* variable;
        const char* folder;
    } folders[] = {{"HOME", "home"},
                   {"XDG_DATA_HOME", "data"},
                   {"XDG_CONFIG_HOME", "config"},
                   // No system-wide choice of the machine (/etc/xdg/Tolvek) reaches a test.
                   {"XDG_CONFIG_DIRS", "config-system"},
                   {"XDG_CACHE_HOME", "cache"},
                   {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto& f : folders) {
        const QString path = m_root + u'/' + QLatin1String(f.folder);
        QDir().mkpath(path);
        // The runtime folder must be private, or Qt refuses it.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(f.variable, QFile::encodeName(path));
    }
}

TestEnvironment::~TestEnvironment()
{
    QDir(m_root).removeRecursively();
}

} // namespace tolvek::test
