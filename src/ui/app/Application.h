#pragma once
// Start-up: the single-instance rule, then the main window until it closes.

namespace tolvek {

int runApplication(int argc, char** argv);

} // namespace tolvek
