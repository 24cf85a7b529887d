#pragma once
// The fixture of the widget tests that work on the real main window: settings reset to their
// defaults, the storage of the test's own data folder, scripted prompts and a profile in memory.
// A test puts its videos into `folder`, then opens the window. Header only, for the widget tests
// (the support library itself links no widgets).

#include "core/capture/CameraDevices.h"
#include "core/capture/FrameSource.h"
#include "core/media/VideoTags.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/ScopedHome.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/library/VideoLists.h"

#include <QCoreApplication>
#include <QSize>
#include <QString>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace tolvek::test {

template <class Prompts> class MainWindowFixtureOf : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        appSettings().resetToDefaults();
        storage = initStorage(appSettings(), dir.file("data"));
        ASSERT_FALSE(storage.load.mustExit);
        folder = appSettings().value(SaveFolder);
    }
    void TearDown() override
    {
        lists = nullptr;
        window.reset(); // before the trash and the folders it works on go
        m_home.reset();
    }

    // The services a window is opened with: these prompts and profile, the test's storage and
    // that many cameras. Tests add their own camera, clock or sensors.
    MainWindowServices services(int cameras = 1)
    {
        MainWindowServices s;
        s.prompts = &prompts;
        s.profile = &profile;
        s.paths = storage.paths;
        s.countCameras = [cameras] { return cameras; };
        // Help pages only where a test puts them, never those of the build folder.
        s.executableFolder = dir.file("bin");
        return s;
    }
    // The services of a recording with the built-in simulated eye camera, as the program has them
    // with "--camera sim": its frames, and the product mark stamped into every finished file.
    MainWindowServices simulatedCameraServices()
    {
        MainWindowServices s = services();
        const QString source = QString::fromLatin1(SimulatedCameraSource);
        s.countCameras = [source] { return countCameras(source); };
        s.recording.frameSources = [source](int index) {
            return makeFrameSource(source, index, appSettings());
        };
        s.recording.writeCopyrightTag = [](const QString& path) { writeCopyrightTag(path); };
        return s;
    }
    // The window with the standard services, shown, its start-up events handled.
    void openWindow(QSize size = {})
    {
        showWindow(services(), size);
        QCoreApplication::processEvents();
    }
    // The window with these services, shown (at size when it is valid); its start-up events run
    // when the test next waits (a scripted keypad answer may wait for `window` itself).
    void showWindow(MainWindowServices with, QSize size = {1280, 720})
    {
        window = std::make_unique<CTolvek2Dlg>(std::move(with));
        if (size.isValid())
            window->resize(size);
        window->show();
    }
    // A home and a trash of the test's own, for tests that delete; `trash` is its files folder.
    void useOwnTrash()
    {
        m_home.emplace(dir.file("home"));
        trash = m_home->trashed(QString());
        trash.chop(1); // the trailing "/"
    }
    QString path(const QString& name) const { return makeSavePath(folder, name); }
    // Where a file of that name lies once moved to the trash of useOwnTrash.
    QString trashed(const QString& name) const { return trash + u'/' + name; }
    // The window's lists, reloaded from the save folder.
    void reloadLists()
    {
        lists = &window->lists();
        lists->reload();
        all = lists->allList();
        ids = lists->idList();
        refs = lists->referenceList();
    }
    // Selecting a row of a small list opens its video, as a click does.
    void openRow(QTreeWidget* list, const QString& name)
    {
        window->setWindowMode(ModeLibrary);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(SmallListFileColumn) == name)
                list->setCurrentItem(list->topLevelItem(i));
        ASSERT_EQ(window->state().playbackVideoName, name);
    }

    TempDir dir;
    StorageOutcome storage;
    QString folder; // the save folder
    QString trash;  // set by useOwnTrash
    Prompts prompts;
    MemoryProfile profile;
    std::unique_ptr<CTolvek2Dlg> window;
    VideoLists* lists = nullptr; // set by reloadLists
    QTreeWidget *all = nullptr, *ids = nullptr, *refs = nullptr;

  private:
    std::optional<ScopedHome> m_home;
};

using MainWindowFixture = MainWindowFixtureOf<ScriptedPrompts>;

} // namespace tolvek::test
