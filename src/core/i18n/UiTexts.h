#pragma once
// The second localized table, beside the message table: every other text the windows, dialogs,
// message boxes, keypads and button pictures show, in the 13 languages, as data. uiText(id)
// reads the text of the current language at the moment it is shown. Thread-safe: the table is
// constant and the current language is the message table's atomic. Texts written into files
// (header tags, file names, the config) are not in here.
//
// Placeholders are QString::arg markers (%1, %2, ...); in Arabic each is framed by left-to-right
// marks (U+200E). Texts for message boxes keep the message table's CR LF line breaks; texts for
// labels, tooltips and pictures use plain LF.

#include <QString>

namespace tolvek {

enum UiTextId : int {
    // Dialog and message-box buttons.
    TxtOk = 0,
    TxtCancel,
    TxtYes,
    TxtNo,

    // The patient-ID keypad (capture and set-ID forms) and the Change ID keypad.
    TxtIdKeypadTitle,
    TxtStartCapture,
    TxtSetIdKey,
    TxtNewIdKeypadTitle,
    TxtOldIdLabel,
    TxtNewIdLabel,

    // The backup keypad, the backup dialog and the backup messages.
    TxtBackupKeypadTitle,
    TxtBackupKeypadHint,
    TxtBackupDialogTitle,
    TxtBackupProgress,
    TxtBackupErrors,
    TxtBackupSummary,
    TxtBackupFailures,
    TxtBackupMoreFailures,
    TxtBackupFolderMissing,
    TxtNoFilesFound,
    TxtBackupReasonMissing,
    TxtBackupReasonUnreadable,
    TxtBackupReasonNoFolder,
    TxtBackupReasonFolderUnwritable,
    TxtBackupReasonUnwritable,
    TxtBackupReasonNotOnDisk,
    TxtBackupReasonChanged,
    TxtBackupReasonReplaced,
    TxtBackupReasonRename,

    // The folder information panel and the folder pickers.
    TxtPanelBackupFolder,
    TxtPanelSaveFolder,
    TxtPanelSavedVideos,
    TxtPickBackupFolder,
    TxtPickSaveFolder,

    // Menu items whose captions are made at run time.
    TxtGyroDirectionItem,
    TxtCameraItem,
    TxtSimulatedCamera,

    // Memo: the pop-up item, the memo dialog and its messages.
    TxtNoMemo,
    TxtMemoDialogTitle,
    TxtMemoPrompt,
    TxtMemoTooLong,
    TxtVideoTagsTitle,
    TxtSavingMemo,
    TxtMemoVideoGone,
    TxtMemoNotWritten,

    // The trim / re-ID progress dialog.
    TxtTrimTitle,
    TxtTrimStatus,
    TxtTrimFrames,

    // Delete, Change ID, reference list and trim messages.
    TxtCannotFind,
    TxtCannotDelete,
    TxtReferenceExists,
    TxtCannotCopy,
    TxtVideoGoneIdKept,
    TxtVideoGoneCopyKept,
    TxtCannotTrashIdKept,
    TxtSourceCutShort,
    TxtCannotRead,
    TxtRangeEmpty,
    TxtAlreadyExists,
    TxtCannotWrite,
    TxtNoRecordingTime,
    TxtTrimSourceRemoved,

    // MP4 export.
    TxtConvertingVideo,
    TxtConvertingToMp4,
    TxtMp4Complete,
    TxtMp4Failed,
    TxtMp4FailedMessage,
    TxtFfmpegStartFailed,
    TxtMp4Filter,
    TxtExportBusy,
    TxtReplaceQuestion,
    TxtConfirmSaveAs,
    TxtExportIsSource,
    TxtExportLooksRecorded,
    TxtExportDetailSameFile,
    TxtExportDetailExitCode,
    TxtExportDetailReplaced,
    TxtExportDetailNoData,
    TxtExportDetailAppeared,

    // Main window messages.
    TxtCameraNotAvailable,
    TxtCameraLost,
    TxtExportRunning,
    TxtExportsRunning,
    TxtBackupRunning,
    TxtStopItAndQuit,
    TxtStopThemAndQuit,
    TxtNoClosesWhenItEnds,
    TxtNoClosesWhenTheyEnd,
    TxtHelpNotFound,
    TxtPhoneSetup,
    TxtPhoneIpAddress,
    TxtPhonePort,
    TxtSaveFolderTooLong,
    TxtRecoveryRepaired,
    TxtRecoveryFailed,
    TxtRecoveryEmpty,

    // Recording messages.
    TxtNoCameraConnected,
    TxtCameraOpenError,
    TxtSaveFolderGone,
    TxtDiskAlmostFull,
    TxtRecordingOpenFailed,
    TxtRecordingWriteFailed,
    TxtRecordingEmptyTrashed,
    TxtRestartedNotTrashed,
    // Why the program keeps the screen awake, shown by desktops that list such requests.
    TxtPowerRecording,
    TxtPowerTrimming,

    // Tooltips of the main window's picture buttons that the message table has none for; they
    // are also the buttons' accessible names.
    TxtTipMenu,
    TxtTipList,
    TxtTipTop,
    TxtTipRecord,
    TxtTipStop,
    TxtTipExit,

    // The words drawn on the picture buttons ("\n" splits two lines).
    TxtPicExit,
    TxtPicMenu,
    TxtPicTop,
    TxtPicSetId,
    TxtPicRestart,
    TxtPicStop,
    TxtPicStart,
    TxtPicRec,
    TxtPicTrim,
    TxtPicList,
    TxtPicFront,

    // Reasons a hardware link cannot be opened; %1 is the port or device name.
    TxtSerialNoPermission,
    TxtSerialBusy,
    TxtSerialNotFound,
    // The serial head sensor: no port to open (none was found at the start), no answer from the
    // board on %1, and %1 lost while in use.
    TxtSerialNoPort,
    TxtSerialSilent,
    TxtSerialLost,
    TxtPhonePortInUse,
    TxtPhoneSocketFailed,
    TxtCameraNoPermission,
    TxtCameraBusy,
    TxtCameraNotFound,

    // The help page was found but no web browser could be started for it; %1 is its path.
    TxtHelpNoBrowser,

    // The settings file: %1 is "LoadCon" or "SaveConfig" (the moment of the check), %2 its path.
    TxtConfigDestroyed,
    TxtConfigNotCreated,
    TxtConfigCannotWrite,
    TxtConfigNotSaved,

    UiTextCount
};

// Text of id in language (0..12); empty for out-of-range arguments.
QString uiTextIn(int language, UiTextId id);
// The text in the current language (currentLanguage()).
QString uiText(UiTextId id);

// A message of the settings file (given in English by loadSettings and saveSettings for the file
// at configPath) in the current language; any other text as it is.
QString localizedConfigMessage(const QString& message, const QString& configPath);

} // namespace tolvek
