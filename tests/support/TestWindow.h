#pragma once
// The main window as most widget tests use it: scripted prompts, a profile in memory, the storage
// of the test's own data folder and one camera; shown, with its start-up events handled. Header
// only, for the widget tests (the support library itself links no widgets).

#include "core/platform/ProfileStore.h"
#include "core/settings/Storage.h"
#include "ui/app/CTolvek2Dlg.h"

#include <QCoreApplication>
#include <QSize>

#include <memory>

namespace tolvek::test {

inline std::unique_ptr<CTolvek2Dlg> openTestWindow(UserPrompts& prompts, platform::ProfileStore& profile,
                                                   const StoragePaths& paths, QSize size = {})
{
    MainWindowServices services;
    services.prompts = &prompts;
    services.profile = &profile;
    services.paths = paths;
    services.countCameras = [] { return 1; };
    auto window = std::make_unique<CTolvek2Dlg>(services);
    if (size.isValid())
        window->resize(size);
    window->show();
    QCoreApplication::processEvents();
    return window;
}

} // namespace tolvek::test
