#pragma once
// Child programs (ffmpeg) that end with this program: when it is killed or crashes, a child still
// writing a working file is stopped too, instead of finishing a file nobody will rename or remove
// and holding the disk busy. Call before QProcess::start(); UI or worker thread alike.

class QProcess;

namespace tolvek::platform {

// The child gets SIGKILL when the thread that started it ends (which, for the workers that wait on
// their child, is when the program ends); a child whose starter is already gone exits at once.
void endWithThisProgram(QProcess& process);

} // namespace tolvek::platform
