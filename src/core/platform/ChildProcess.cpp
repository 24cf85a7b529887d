#include "core/platform/ChildProcess.h"

#include <QProcess>

#include <csignal>
#include <unistd.h>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace tolvek::platform {

void endWithThisProgram(QProcess& process)
{
#if defined(__linux__)
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec: only async-signal-safe calls.
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) // the program died before the request took hold
            ::_exit(127);
    });
#else
    (void)process;
#endif
}

} // namespace tolvek::platform
