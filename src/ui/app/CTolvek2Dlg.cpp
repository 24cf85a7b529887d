#include "ui/app/CTolvek2Dlg.h"

#include "core/capture/CameraDevices.h"
#include "core/capture/IdHistory.h"
#include "core/i18n/AnalysisTexts.h"
#include "core/i18n/MenuCaptions.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/platform/HelpPages.h"
#include "core/platform/PowerRequest.h"
#include "core/platform/ProfileStore.h"
#include "core/sensor/ComPortList.h"
#include "core/sensor/PhoneGyroThread.h"
#include "core/sensor/SensorCommands.h"
#include "core/settings/ConfigFile.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "ui/analysis/AnalysisView.h"
#include "ui/app/FolderPanel.h"
#include "ui/app/HardwareFailures.h"
#include "ui/app/ModeTable.h"
#include "ui/app/WindowTexts.h"
#include "ui/backup/BackupByDate.h"
#include "ui/backup/BackupDlg.h"
#include "ui/capture/CGetNewID.h"
#include "ui/capture/LiveView.h"
#include "ui/library/VideoLists.h"
#include "ui/manage/CSetMemo.h"
#include "ui/manage/ExportMp4.h"
#include "ui/manage/VideoManagement.h"
#include "ui/playback/PlaybackController.h"
#include "ui/shared/ButtonImages.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/Fonts.h"
#include "ui/shared/KeyCommands.h"
#include "ui/shared/LanguageLook.h"
#include "ui/shared/ToolTips.h"
#include "ui/shared/UserPrompts.h"

#include <QDesktopServices>
#include <QMenu>
#include <QMouseEvent>
#include <QUrl>
#include <QWindow>

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QTreeWidget>

#include <array>

namespace tolvek {

namespace {

QString idText(int id)
{
    return QString::number(id);
}

// "%d,%d,%d,%d,%d" of the all-videos column widths; the defaults when it does not scan.
QList<int> scanColumnWidths(const QString& text)
{
    const QStringList parts = text.split(u',');
    QList<int> widths;
    for (const QString& part : parts) {
        bool ok = false;
        const int w = part.trimmed().toInt(&ok);
        if (!ok)
            break;
        widths << w;
    }
    if (widths.size() < 5)
        return {120, 220, 100, 500, 500};
    return widths.mid(0, 5);
}

} // namespace

CTolvek2Dlg::CTolvek2Dlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services))
{
    m_state.flags.windowMode = ModeLive;
    m_clock.start();
    m_head->selectDirection(sensorDirectionFromSetting(appSettings().value(SensorDirection)));
    m_sensorLink = new SensorLink(m_head, {}, this);
    connect(m_sensorLink, &SensorLink::linkEnded, this, &CTolvek2Dlg::onSensorLinkEnded);
    createControls();
    if (!m_services.recording.askForId)
        m_services.recording.askForId = [this] { return askForId(0); };
    if (!m_services.recording.startSensorLink)
        m_services.recording.startSensorLink = [this] {
            return m_sensorLink->start() != SensorLink::StartResult::Failed;
        };
    if (!m_services.recording.stopSensorLinks)
        m_services.recording.stopSensorLinks = [this] { m_sensorLink->stop(SensorStopWaitMs); };
    m_recording = new RecordingControl(
        {*this, m_state, *this, *this, *this, m_displayFrame, *m_head, power()}, m_services.recording);
    connect(m_recording, &RecordingControl::frameReady, this, &CTolvek2Dlg::onFrameReady);
    connect(m_recording, &RecordingControl::cameraLost, this, &CTolvek2Dlg::onCameraLost);
    connectButton(IDC_RECORD, [this] { startRecordingCommand(); });
    connectButton(IDC_SETID, [this] { setIdCommand(); });
    connectButton(IDC_STOP, [this] { m_recording->stopRecording(); });
    connectButton(IDC_RESETR, [this] { m_recording->restartRecording(); });
    connect(this, &CTolvek2Dlg::keyActionRequested, this, [this](KeyAction action) {
        switch (action) {
        case KeyAction::StopRecording:
            m_recording->stopRecording();
            break;
        case KeyAction::RestartRecording:
            m_recording->restartRecording();
            break;
        case KeyAction::StartRecording:
            startRecordingCommand();
            break;
        case KeyAction::OpenAnalysis:
            openAnalysisView();
            break;
        default:
            break;
        }
    });
    initialise();
    m_playback = std::make_unique<PlaybackController>(
        PlaybackWindow{*this, m_state, *this, *this, m_displayFrame, m_layout});
    connect(&m_timer1, &QTimer::timeout, m_playback.get(), &PlaybackController::onTimer1);
    connect(this, &CTolvek2Dlg::keyActionRequested, m_playback.get(), &PlaybackController::onKeyAction);
    connect(m_playback.get(), &PlaybackController::frameReady, this, &CTolvek2Dlg::onFrameReady);
    wireListsAndPlayer();
    qApp->installEventFilter(this);
    // Tooltips also while another window is active: the examiner works beside the patient with
    // other programs open.
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

CTolvek2Dlg::~CTolvek2Dlg()
{
    // Its analysis thread and its calls into the player end before the player goes.
    delete m_analysisView;
    runDestroyHandler();
    // The capture thread works on this window's flags and picture: it must have ended before
    // they go, which the recording control's destructor waits for.
    delete m_recording;
    m_recording = nullptr;
}

QWidget* CTolvek2Dlg::control(int id) const
{
    return windowControl(*this, id);
}

QPushButton* CTolvek2Dlg::makeButton(int id, int imageId)
{
    auto* b = new QPushButton(this);
    b->setObjectName(idText(id));
    b->setAutoDefault(false); // Enter must never click a focused button behind the user's back
    b->setDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    if (imageId)
        setButtonImage(id, imageId);
    return b;
}

void CTolvek2Dlg::setButtonImage(int id, int imageId)
{
    auto* b = qobject_cast<QPushButton*>(control(id));
    if (!b)
        return;
    const QPixmap pm = buttonImage(imageId);
    b->setIcon(QIcon(pm));
    b->setIconSize(QSize(79, 79));
    b->setProperty("imageId", imageId);
}

void CTolvek2Dlg::createControls()
{
    auto* ok = makeButton(IDC_OK, 0);
    ok->hide();
    makeButton(IDC_QUIT, ImgExit);
    makeButton(IDC_RECORD, ImgRec);
    makeButton(IDC_RESETR, ImgRestart);
    makeButton(IDC_RESET_HEAD, ImgManualHead);
    makeButton(IDC_STOP, ImgStop);
    makeButton(IDC_SETID, ImgSetId);
    makeButton(IDC_MENU, ImgMenu);
    makeButton(IDC_TRIM, ImgTrimGrey);
    makeButton(IDC_LISTVIEW, ImgList);
    makeButton(IDC_TOTOP, ImgTop);

    auto makeList = [this](int id) {
        auto* list = new QTreeWidget(this);
        list->setObjectName(idText(id));
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->setAllColumnsShowFocus(true);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        // The selected video stays clearly marked while another window or list has the focus.
        QPalette pal = list->palette();
        pal.setColor(QPalette::Inactive, QPalette::Highlight,
                     pal.color(QPalette::Active, QPalette::Highlight));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     pal.color(QPalette::Active, QPalette::HighlightedText));
        list->setPalette(pal);
        return list;
    };
    makeList(IDC_ALL_LIST);
    makeList(IDC_ID_LIST);
    makeList(IDC_REFERENCE_LIST);

    auto makeLabel = [this](int id) {
        auto* label = new QLabel(this);
        label->setObjectName(idText(id));
        return label;
    };
    auto* panel = new FolderPanelLabel(this);
    panel->setObjectName(idText(IDC_FOLDER_PANEL));
    panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panel->setFrameShape(QFrame::StyledPanel);
    makeLabel(IDC_MEMO_TEXT);
    auto* time = makeLabel(IDC_TIME_TEXT);
    time->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* slider = new QWidget(this); // the playback slider draws itself into this control
    slider->setObjectName(idText(IDC_SLIDER));

    connect(qobject_cast<QPushButton*>(control(IDC_QUIT)), &QPushButton::clicked, this,
            &CTolvek2Dlg::quitApplication);
    connect(qobject_cast<QPushButton*>(control(IDC_RESET_HEAD)), &QPushButton::clicked, this,
            &CTolvek2Dlg::resetHead);
    connect(qobject_cast<QPushButton*>(control(IDC_MENU)), &QPushButton::clicked, this,
            &CTolvek2Dlg::showMainMenu);
    m_timer1.setInterval(100);
}

void CTolvek2Dlg::initialise()
{
    Settings& settings = appSettings();
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint);
    setSizeGripEnabled(true);
    resize(1280, 720); // the size the window opens with when no position is stored
    setWindowTitle(QString::fromUtf8(MainWindowTitle));

    m_state.flags.cameraCount = m_services.countCameras ? m_services.countCameras() : 0;

    // The serial ports, and a ComPort that names none of them replaced by the first one.
    refreshComPorts();
    reconcileComPortSetting(settings, m_comPorts);

    layoutMainWindow();

    setCurrentLanguage(languageFromSetting(settings.value(Language)));
    applyLanguageLook(currentLanguage());

    m_listFont = gothicFont(ListFontPoints, logicalDpiY());

    auto* all = qobject_cast<QTreeWidget*>(control(IDC_ALL_LIST));
    auto* ids = qobject_cast<QTreeWidget*>(control(IDC_ID_LIST));
    auto* refs = qobject_cast<QTreeWidget*>(control(IDC_REFERENCE_LIST));
    for (QTreeWidget* list : {all, ids, refs})
        list->setFont(m_listFont);
    all->setColumnCount(5);
    // The widths are the user's, kept as set: a stretching last column would save another width.
    all->header()->setStretchLastSection(false);
    const QList<int> widths = scanColumnWidths(settings.value(ListColumnWidths));
    for (int c = 0; c < 5; ++c)
        all->setColumnWidth(c, widths[c]);
    all->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    all->headerItem()->setText(0, QStringLiteral("ID"));
    ids->setColumnCount(2);
    ids->setColumnWidth(0, 230);
    ids->setColumnHidden(1, true); // holds the file name
    refs->setColumnCount(2);
    refs->setColumnWidth(0, 230);
    refs->setColumnHidden(1, true);

    m_state.toolTipsActive = !settings.contains(ShowToolTips, u'0');

    // The current ID is the most recent entry of the ID history.
    m_state.flags.currentPatientId = firstHistoryId(settings.value(IdHistory));
    ids->headerItem()->setText(0, QStringLiteral("ID:%1").arg(formatPatientId(currentPatientId())));

    m_state.playbackVideoName.clear();
    m_state.currentVideoName.clear();
    m_state.allListPendingName.clear();

    // The save folder's videos into the three lists.
    m_lists = new VideoLists({*this, m_state, *this, *this}, m_services.prompts, this);
    for (int id : {int(IDC_LISTVIEW), int(IDC_TOTOP), int(IDC_TRIM)})
        connectButton(id, [this, id] { executeCommand(id); });
    connect(this, &CTolvek2Dlg::commandRequested, m_lists, &VideoLists::onCommand);
    connect(this, &CTolvek2Dlg::idListRefillRequested, m_lists,
            [this](int id) { m_lists->refillIdList(id); });
    connect(this, &CTolvek2Dlg::keyActionRequested, m_lists, &VideoLists::onKeyAction);
    connect(m_lists, &VideoLists::commandChosen, this, &CTolvek2Dlg::executeCommand);
    m_lists->setMemoDialog([this](const QString& prompt, const QString& memo, QPoint at) {
        return CSetMemo::ask(this, prompt, memo, at);
    });
    m_lists->setFileBeingRecorded([this] { return m_recording ? m_recording->openedFileName() : QString(); });
    m_lists->recovery().setTools(&tools());
    m_lists->reload();

    m_initialised = true;
    if (m_state.flags.cameraCount > 0) {
        setWindowMode(ModeLive);
        QMetaObject::invokeMethod(this, &CTolvek2Dlg::startLiveCapture, Qt::QueuedConnection);
    } else {
        setWindowMode(ModeListAll);
        QMetaObject::invokeMethod(
            this, [this] { showMessage(uiText(TxtCameraNotAvailable), UserPrompts::Icon::Error); },
            Qt::QueuedConnection);
    }
}

void CTolvek2Dlg::showMessage(const QString& text, UserPrompts::Icon icon)
{
    if (m_services.prompts)
        m_services.prompts->message(this, text, icon);
}

void CTolvek2Dlg::setWindowMode(int mode)
{
    m_state.flags.windowMode = mode;
    applyMode(mode);
    if (m_analysisView)
        m_analysisView->onWindowMode(mode); // a recording never shares the machine with an analysis
    if (mode == ModeRecording)
        m_timer1.start();
    else if (mode == ModeListAll)
        m_timer1.stop();
}

void CTolvek2Dlg::runTimer1(bool run)
{
    if (run)
        m_timer1.start();
    else
        m_timer1.stop();
}

void CTolvek2Dlg::applyMode(int mode)
{
    for (int id : modeControlledIds())
        if (QWidget* w = control(id))
            w->setVisible(isShownInMode(id, mode));
    if (QWidget* menu = control(IDC_MENU))
        menu->setVisible(true);
    if (QWidget* quit = control(IDC_QUIT))
        quit->setEnabled(windowMode() != ModeRecording);
    setButtonImage(IDC_RESET_HEAD, appSettings().contains(SensorMode, u'0') ? ImgManualHead : ImgFrontHead);
    applyLanguage();
    update(m_layout.liveView);
}

void CTolvek2Dlg::applyLanguage()
{
    if (!m_initialised)
        return;
    const bool manualHead = appSettings().getInt(SensorMode) == 0;
    auto tip = [this](int id, MessageId msg) {
        if (QWidget* w = control(id))
            w->setToolTip(m_state.toolTipsActive ? Message(msg) : QString());
    };
    tip(IDC_TRIM, m_playback ? MessageId(m_playback->trimToolTipMessage()) : MsgTrimHowToTip);
    tip(IDC_ALL_LIST, MsgListTip);
    tip(IDC_REFERENCE_LIST, MsgListTip);
    tip(IDC_ID_LIST, MsgListTip);
    tip(IDC_SETID, MsgSetIdTip);
    tip(IDC_RESET_HEAD, manualHead ? MsgPostureTip : MsgResetHeadTip);
    tip(IDC_RESETR, MsgRestartTip);

    auto* all = qobject_cast<QTreeWidget*>(control(IDC_ALL_LIST));
    all->headerItem()->setText(1, Message(MsgDate));
    all->headerItem()->setText(2, Message(MsgLength));
    all->headerItem()->setText(3, Message(MsgMemo));
    all->headerItem()->setText(4, Message(MsgFileName));
    for (int c = 0; c < all->columnCount(); ++c)
        all->headerItem()->setToolTip(c, m_state.toolTipsActive ? Message(MsgColumnSortTip) : QString());
    auto* refs = qobject_cast<QTreeWidget*>(control(IDC_REFERENCE_LIST));
    refs->headerItem()->setText(0, Message(MsgReferences));
    applyWindowTexts(*this, m_state.toolTipsActive,
                     {m_playback ? MessageId(m_playback->trimToolTipMessage()) : MsgTrimHowToTip,
                      manualHead ? MsgPostureTip : MsgResetHeadTip});
}

void CTolvek2Dlg::setLanguage(int language)
{
    appSettings().setValue(Language, QString::number(language));
    setCurrentLanguage(languageFromSetting(appSettings().value(Language)));
    applyLanguageLook(currentLanguage());
    applyLanguage();
    if (windowMode() == ModeListAll)
        refreshFolderPanel(); // the panel's labels follow the language
}

QString CTolvek2Dlg::liveViewToolTip() const
{
    const int msg = liveViewToolTipMessage(windowMode(), appSettings().contains(SensorMode, u'0'));
    return msg ? Message(static_cast<MessageId>(msg)) : QString();
}

bool CTolvek2Dlg::event(QEvent* e)
{
    if (m_pendingFrame && (e->type() == QEvent::Move || e->type() == QEvent::Resize) && windowHandle() &&
        !windowHandle()->frameMargins().isNull()) {
        const QRect frame = *m_pendingFrame;
        m_pendingFrame.reset();
        applyStoredFrame(frame);
    }
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (m_state.toolTipsActive && m_layout.liveView.contains(help->pos())) {
            const QString text = liveViewToolTip();
            if (!text.isEmpty()) {
                QToolTip::showText(help->globalPos(), toolTipLayout(text), this, m_layout.liveView);
                return true;
            }
        }
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    return QDialog::event(e);
}

void CTolvek2Dlg::layoutMainWindow()
{
    const Settings& s = appSettings();
    m_layout = tolvek::layoutMainWindow(width(), height(), s.captureWidth(), s.captureHeight());
    for (const auto& [id, rect] : m_layout.controls)
        if (QWidget* w = control(id))
            w->setGeometry(rect);
}

void CTolvek2Dlg::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    layoutMainWindow();
    if (m_playback)
        m_playback->onLayoutChanged();
    update();
}

void CTolvek2Dlg::paintEvent(QPaintEvent*)
{
    if (isMinimized())
        return;
    QPainter p(this);
    const int mode = windowMode();
    const bool grid = (mode == ModeRecording || mode == ModeLive) && appSettings().contains(SensorMode, u'0');
    paintLiveView(p, m_layout.liveView, m_displayFrame.copy(), grid);
    if (mode == ModeRecording)
        paintRecordingMarks(p, m_layout.liveView, m_state.flags.recordingElapsedMs.load());
}

void CTolvek2Dlg::onFrameReady()
{
    update(m_layout.liveView);
}

void CTolvek2Dlg::startLiveCapture()
{
    Q_EMIT startLiveCaptureRequested();
    m_recording->startLiveCapture();
}

std::optional<int> CTolvek2Dlg::askForId(int form)
{
    if (!m_services.prompts)
        return std::nullopt;
    GetNewIdSetup setup;
    setup.setIdOnly = form;
    setup.mainClientSize = m_layout.rawClient;
    setup.profile = m_services.profile;
    setup.rezeroHead = [this] { m_head->rezero(); };
    return m_services.prompts->askPatientId(this, setup);
}

void CTolvek2Dlg::connectButton(int id, std::function<void()> handler)
{
    if (auto* b = qobject_cast<QPushButton*>(control(id)))
        connect(b, &QPushButton::clicked, this, [handler = std::move(handler)] { handler(); });
}

void CTolvek2Dlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_positionRestored) {
        m_positionRestored = true;
        restoreWindowPosition();
    }
}

void CTolvek2Dlg::restoreWindowPosition()
{
    if (!m_services.profile)
        return;
    const QString section = QStringLiteral("WindowPos");
    const int left = m_services.profile->readInt(section, QStringLiteral("Left"));
    const int top = m_services.profile->readInt(section, QStringLiteral("Top"));
    const int right = m_services.profile->readInt(section, QStringLiteral("Right"));
    const int bottom = m_services.profile->readInt(section, QStringLiteral("Bottom"));
    if (left == -1 || top == -1 || right == -1 || bottom == -1)
        return;
    const QRect frame(QPoint(left, top), QSize(std::max(1, right - left), std::max(1, bottom - top)));
    applyStoredFrame(frame);
    // A window manager frames the window only after it is shown: until its margins are known the
    // client takes the whole stored size, and is fitted once they are (see event()). Without a
    // frame (no window manager) the first fit was already exact.
    m_pendingFrame = frame;
    QTimer::singleShot(StoredFrameWaitMs, this, [this] { m_pendingFrame.reset(); });
}

void CTolvek2Dlg::applyStoredFrame(const QRect& frame)
{
    // The stored rectangle is the outer frame; the client is smaller by the frame's margins, which
    // the window system is asked for directly (the widget's own copy may lag behind).
    const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    resize(std::max(1, frame.width() - margins.left() - margins.right()),
           std::max(1, frame.height() - margins.top() - margins.bottom()));
    if (windowHandle())
        windowHandle()->setFramePosition(frame.topLeft());
    else
        move(frame.topLeft());
}

void CTolvek2Dlg::requestShowPlaybackVideo()
{
    if (!m_state.playbackVideoName.isEmpty())
        openVideo(m_state.playbackVideoName);
    Q_EMIT showVideoRequested(m_state.playbackVideoName);
}

void CTolvek2Dlg::openVideo(const QString& name)
{
    if (!m_playback)
        return;
    m_playback->stopPlayerAndWait();
    m_playback->resetSlider();
    m_playback->setPaused(true);
    blankPicture();
    m_playback->showVideoFrame(name, 0);
    m_playback->drawSlider(SliderDraw::Reset);
    m_playback->updateTimeDisplay();
    followInAnalysisView();
}

void CTolvek2Dlg::followInAnalysisView()
{
    if (m_analysisView && m_analysisView->isVisible())
        m_analysisView->followPlayedVideo();
}

void CTolvek2Dlg::showNoVideo()
{
    if (m_playback) {
        m_playback->stopPlayerAndWait();
        m_playback->resetSlider();
        m_playback->drawSlider(SliderDraw::Reset);
    }
    if (auto* time = qobject_cast<QLabel*>(control(IDC_TIME_TEXT)))
        time->clear();
    static constexpr std::array<std::uint8_t, 3> NoVideo{200, 200, 255};
    m_displayFrame.store(NoVideo.data(), 1, 1, 3);
    update(m_layout.liveView);
    followInAnalysisView();
}

void CTolvek2Dlg::blankPicture()
{
    m_displayFrame.clear();
    update(m_layout.liveView);
}

void CTolvek2Dlg::stopPlayback()
{
    if (m_playback)
        m_playback->stopPlayerAndWait();
}

bool CTolvek2Dlg::prepareToQuit()
{
    if (!settleRunningWork(false))
        return false;
    if (m_playback)
        m_playback->stopPlayer();
    m_recording->stopCapture();
    power().release();
    m_quitting = true;
    return true;
}

void CTolvek2Dlg::quitApplication()
{
    if (prepareToQuit())
        close();
}

void CTolvek2Dlg::closeEvent(QCloseEvent* e)
{
    // A close from the title bar or the window manager is the Quit command, unless a recording
    // runs. It quits here, in this event: a close() from inside it would be ignored.
    if (!m_quitting) {
        if (m_state.closeAllowed == 0) {
            if (m_services.prompts)
                m_services.prompts->beep();
            e->ignore();
            return;
        }
        if (!prepareToQuit()) {
            e->ignore();
            return;
        }
    }
    runDestroyHandler();
    e->accept();
}

void CTolvek2Dlg::onCameraLost()
{
    showMessage(uiText(TxtCameraLost), UserPrompts::Icon::Information);
    power().release();
    if (!settleRunningWork(true))
        return; // closes by itself once the export or backup has ended
    m_quitting = true;
    close();
}

BackupDlg* CTolvek2Dlg::runningBackup() const
{
    for (BackupDlg* dialog : findChildren<BackupDlg*>(Qt::FindDirectChildrenOnly))
        if (dialog->running())
            return dialog;
    return nullptr;
}

bool CTolvek2Dlg::settleRunningWork(bool closeLater)
{
    const QList<ExportMp4*> exports = ExportMp4::runningExports(this);
    BackupDlg* backup = runningBackup();
    const int running = int(exports.size()) + (backup ? 1 : 0);
    if (running == 0 || !m_services.prompts)
        return true;

    QStringList lines;
    if (exports.size() == 1)
        lines << uiText(TxtExportRunning);
    else if (exports.size() > 1)
        lines << uiText(TxtExportsRunning).arg(exports.size());
    if (backup)
        lines << uiText(TxtBackupRunning);
    QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n") +
                   uiText(running == 1 ? TxtStopItAndQuit : TxtStopThemAndQuit);
    if (closeLater)
        text +=
            QStringLiteral("\r\n") + uiText(running == 1 ? TxtNoClosesWhenItEnds : TxtNoClosesWhenTheyEnd);
    if (!m_services.prompts->question(this, text, QString(), true)) {
        if (closeLater) {
            m_quitWhenIdle = true;
            for (ExportMp4* e : exports)
                connect(e, &ExportMp4::finished, this, &CTolvek2Dlg::closeWhenIdle, Qt::UniqueConnection);
        }
        return false;
    }
    // Stopped, not cut off: an export removes its working file and leaves the target as it was; the
    // backup ends between two files, each of which is whole or absent.
    for (ExportMp4* e : exports)
        e->stop();
    if (backup)
        backup->reject();
    return true;
}

void CTolvek2Dlg::closeWhenIdle()
{
    if (!m_quitWhenIdle || !ExportMp4::runningExports(this).isEmpty() || runningBackup())
        return;
    m_quitWhenIdle = false;
    m_quitting = true;
    close();
}

QList<int> CTolvek2Dlg::allListColumnWidths() const
{
    QList<int> widths;
    if (auto* all = qobject_cast<QTreeWidget*>(control(IDC_ALL_LIST)))
        for (int c = 0; c < 5; ++c)
            widths << all->columnWidth(c);
    return widths;
}

void CTolvek2Dlg::runDestroyHandler()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_timer1.stop();
    power().release();
    if (m_playback)
        m_playback->shutdown();
    m_sensorLink->stop(SensorStopWaitMs);
    const QStringList messages =
        saveSettings(appSettings(), m_services.paths.configPath, allListColumnWidths());
    for (const QString& m : messages)
        showMessage(localizedConfigMessage(m, m_services.paths.configPath), UserPrompts::Icon::Warning);
    if (m_services.profile) {
        const QRect r = frameGeometry();
        const QString section = QStringLiteral("WindowPos");
        m_services.profile->writeInt(section, QStringLiteral("Left"), r.left());
        m_services.profile->writeInt(section, QStringLiteral("Top"), r.top());
        m_services.profile->writeInt(section, QStringLiteral("Right"), r.left() + r.width());
        m_services.profile->writeInt(section, QStringLiteral("Bottom"), r.top() + r.height());
    }
}

void CTolvek2Dlg::resetHead()
{
    Settings& settings = appSettings();
    if (settings.contains(SensorMode, u'0')) {
        settings.setValue(Posture,
                          settings.contains(Posture, u'1') ? QStringLiteral("2") : QStringLiteral("1"));
        return;
    }
    m_head->rezero();
}

QMenu* CTolvek2Dlg::createMainMenu()
{
    const Settings& s = appSettings();
    MainMenuState state;
    state.mode = windowMode();
    state.sensorMode = s.value(SensorMode);
    state.sensorDirection = s.value(SensorDirection);
    state.comPort = s.value(ComPort);
    state.showToolTips = s.value(ShowToolTips);
    state.playbackVideoName = m_state.playbackVideoName;
    state.cameraNumber = s.getInt(CameraNumber);
    state.languageSetting = s.getInt(Language);
    if (state.mode != ModeListAll) {
        refreshComPorts();
        state.serialPorts = m_comPorts;
        if (m_services.cameraNames)
            state.cameraNames = m_services.cameraNames();
    }
    return buildMainMenu(state, currentLanguage(), this);
}

void CTolvek2Dlg::showMainMenu()
{
    // At the pointer that clicked the button; from the keyboard (F10), below the button.
    QPoint at = QCursor::pos();
    if (const QWidget* button = control(IDC_MENU); !button->rect().contains(button->mapFromGlobal(at)))
        at = button->mapToGlobal(button->rect().bottomLeft());
    std::unique_ptr<QMenu> menu(createMainMenu());
    QAction* chosen = menu->exec(at);
    const int command = chosen ? chosen->data().toInt() : 0;
    menu.reset();
    if (command)
        executeCommand(command);
    else if (windowMode() == ModeLibrary)
        control(m_state.playbackVideoName.contains(QLatin1String(ReferenceIdText)) ? IDC_REFERENCE_LIST
                                                                                   : IDC_ID_LIST)
            ->setFocus();
    else if (windowMode() == ModeListAll)
        control(IDC_ALL_LIST)->setFocus();
}

void CTolvek2Dlg::executeCommand(int command)
{
    Settings& s = appSettings();
    if (const int language = languageForCommand(command); language >= 0) {
        setLanguage(language);
        return;
    }
    if (const auto direction = directionForCommand(command)) {
        m_head->selectDirection(*direction);
        s.setValue(SensorDirection, QString::number(*direction));
        return;
    }
    if (runSensorCommand(command))
        return;
    if (const int camera = cameraForCommand(command); camera >= 0) {
        selectCamera(s, camera); // the capture thread switches at its next frame
        return;
    }
    switch (command) {
    case CmdBackup:
        if (m_services.prompts)
            backupByDate(this, *m_services.prompts, s, currentLanguage(), m_layout.rawClient);
        closeWhenIdle();
        return;
    case CmdSetBackupFolder:
    case CmdChangeSaveFolder: {
        const bool save = command == CmdChangeSaveFolder;
        const SettingIndex which = save ? SaveFolder : BackupFolder;
        const QString before = s.value(which);
        const QString title =
            uiText(save ? TxtPickSaveFolder : TxtPickBackupFolder).arg(before).left(MaxSettingLength);
        const QString chosen =
            m_services.prompts ? m_services.prompts->pickFolder(this, title, before) : QString();
        const QString after = acceptedFolderChoice(before, chosen);
        s.setValue(which, after);
        // A folder accepted from the picker, even the one already set, is read again: the user
        // may have copied videos into it meanwhile.
        const bool accepted = !acceptedFolderChoice(QString(), chosen).isEmpty();
        if (save && accepted) {
            stopPlayback();
            m_state.flags.cameraOpened = false;
            m_state.playbackVideoName.clear();
            m_lists->reload();
        }
        refreshFolderPanel();
        return;
    }
    case CmdShowToolTips:
        m_state.toolTipsActive = !s.contains(ShowToolTips, u'1');
        s.setValue(ShowToolTips, m_state.toolTipsActive ? QStringLiteral("1") : QStringLiteral("0"));
        applyLanguage();
        return;
    case CmdHelp:
        openHelp(s);
        return;
    case CmdEyeAnalysis:
        openAnalysisView();
        return;
    case CmdTopPage:
        setWindowMode(ModeLibrary);
        Q_EMIT idListRefillRequested(currentPatientId());
        return;
    default:
        Q_EMIT commandRequested(command);
        return;
    }
}

AnalysisView* CTolvek2Dlg::analysisView() const
{
    return m_analysisView;
}

void CTolvek2Dlg::openAnalysisView()
{
    if (windowMode() == ModeRecording) {
        showMessage(analysisText(AnalysisText::RefusedWhileRecording), UserPrompts::Icon::Warning);
        return;
    }
    if (m_state.playbackVideoName.isEmpty()) {
        showMessage(analysisText(AnalysisText::NoVideo), UserPrompts::Icon::Information);
        return;
    }
    if (!m_analysisView) {
        AnalysisPlayer player;
        player.currentFrame = [this] { return m_playback->currentFrame(); };
        player.seek = [this](int frame) { m_playback->seekPaused(frame); };
        player.recording = [this] { return windowMode() == ModeRecording; };
        player.playedVideo = [this] {
            return m_state.playbackVideoName.isEmpty()
                       ? QString()
                       : makeSavePath(appSettings().value(SaveFolder), m_state.playbackVideoName);
        };
        m_analysisView = new AnalysisView(std::move(player), m_services.prompts, this);
    }
    m_analysisView->open(makeSavePath(appSettings().value(SaveFolder), m_state.playbackVideoName));
    m_analysisView->show();
    m_analysisView->raise();
    m_analysisView->activateWindow();
}

void CTolvek2Dlg::openHelp(const Settings& settings)
{
    const QString folder = m_services.executableFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                                 : m_services.executableFolder;
    const platform::HelpPageLookup help =
        platform::findHelpPage(folder, helpFolderCode(settings.getInt(Language)));
    if (help.page.isEmpty()) {
        showMessage(uiText(TxtHelpNotFound).arg(help.expected), UserPrompts::Icon::Warning);
        return;
    }
    const QUrl url = QUrl::fromLocalFile(help.page);
    const bool opened = m_services.openUrl ? m_services.openUrl(url) : QDesktopServices::openUrl(url);
    // Without a browser or a desktop to start one, the page can still be opened by hand.
    if (!opened)
        showMessage(uiText(TxtHelpNoBrowser).arg(help.page), UserPrompts::Icon::Warning);
}

bool CTolvek2Dlg::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w != this && w->window() == this && showWrappedToolTip(w, e))
            return true;
    }
    if (e->type() == QEvent::KeyPress) {
        auto* w = qobject_cast<QWidget*>(watched);
        // Only keys meant for this window, not for a dialog it opened.
        if (w && w->window() == this && QApplication::activeModalWidget() == nullptr) {
            auto* key = static_cast<QKeyEvent*>(e);
            if (handleKey(key->key(), key->modifiers()))
                return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

bool CTolvek2Dlg::handleKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
    KeyContext ctx;
    ctx.mode = windowMode();
    ctx.sensorActive = !appSettings().contains(SensorMode, u'0');
    ctx.manualHead = appSettings().getInt(SensorMode) == 0;
    ctx.shiftHeld = modifiers.testFlag(Qt::ShiftModifier);
    ctx.controlHeld = modifiers.testFlag(Qt::ControlModifier);
    ctx.altHeld = modifiers.testFlag(Qt::AltModifier);
    const auto now = m_keyClock ? m_keyClock() : static_cast<std::uint32_t>(m_clock.elapsed());
    ctx.msSinceLastSpace = now - m_lastSpaceMs;
    const KeyDecision d = decideKey(qtKey, ctx);
    if (d.updateLastSpace)
        m_lastSpaceMs = now;
    if (d.rezeroHead)
        m_head->rezero();
    if (d.action == KeyAction::PassOn)
        return false;
    runKeyAction(d);
    return true;
}

void CTolvek2Dlg::runKeyAction(const KeyDecision& d)
{
    switch (d.action) {
    case KeyAction::ManualSection:
        m_head->setManualPose(d.section);
        break;
    case KeyAction::Swallow:
    case KeyAction::PassOn:
        break;
    case KeyAction::PressButton: {
        // The button's own command, so the key does exactly what a click does, and nothing
        // where the button is not offered in this mode.
        auto* button = qobject_cast<QAbstractButton*>(control(d.button));
        if (button && button->isVisible() && button->isEnabled())
            button->click();
        else if (m_services.prompts)
            m_services.prompts->beep();
        break;
    }
    case KeyAction::OpenVideoMenu:
        if (m_state.playbackVideoName.size() == VideoFileNameLength)
            m_lists->showVideoPopupMenu(VideoMenuSource::Picture,
                                        mapToGlobal(m_layout.liveView.topLeft() + QPoint(40, 40)));
        break;
    default:
        Q_EMIT keyActionRequested(d.action);
        break;
    }
}

void CTolvek2Dlg::mousePressEvent(QMouseEvent* e)
{
    QDialog::mousePressEvent(e);
    const QPoint at = e->position().toPoint();
    // The picture only: the slider band reaches into the picture's lowest tenth.
    if (e->button() == Qt::RightButton && m_state.playbackVideoName.size() == VideoFileNameLength &&
        m_playback &&
        pictureHitTest({m_layout.liveView, m_playback->sliderLength()}, windowMode(), at.x(), at.y())) {
        m_lists->showVideoPopupMenu(VideoMenuSource::Picture, e->globalPosition().toPoint());
        return;
    }
    if (e->button() == Qt::LeftButton && m_playback)
        m_playback->leftButtonDown(e->position().toPoint());
}

void CTolvek2Dlg::mouseMoveEvent(QMouseEvent* e)
{
    QDialog::mouseMoveEvent(e);
    if (m_playback)
        m_playback->mouseMove(e->position().toPoint(), e->buttons() & Qt::LeftButton);
}

void CTolvek2Dlg::mouseDoubleClickEvent(QMouseEvent* e)
{
    // No base call: Qt's default turns a double click into a second press.
    if (e->button() == Qt::LeftButton && m_playback)
        m_playback->leftDoubleClick(e->position().toPoint());
}

void CTolvek2Dlg::mouseReleaseEvent(QMouseEvent* e)
{
    QDialog::mouseReleaseEvent(e);
    if (e->button() == Qt::RightButton && m_playback)
        m_playback->setSliderDrag(DragNone); // a right release only ends a slider drag
    if (e->button() != Qt::LeftButton)
        return;
    const int mode = windowMode();
    if (mode == ModeLibrary && m_playback) {
        m_playback->leftButtonUp(e->position().toPoint());
        return;
    }
    if (mode != ModeRecording && mode != ModeLive)
        return;
    if (appSettings().getInt(SensorMode) == 0)
        m_head->setManualPose(keypadSection(e->position().toPoint(), m_layout.liveView));
    else
        m_head->rezero();
}

void CTolvek2Dlg::onSensorLinkEnded(SensorKind kind, int, SensorLinkEnd reason)
{
    const QString port = appSettings().value(ComPort);
    const platform::DeviceDiagnosis device =
        kind == SensorKind::Serial
            ? platform::diagnoseDeviceOpenFailure(gyroPortLocation(port).value_or(QString()))
            : platform::DeviceDiagnosis{};
    const std::optional<QString> text = sensorOpenFailureText(kind, reason, port, device);
    // Told without waiting for OK: the link may fail at the start of a recording.
    if (text && m_services.prompts && m_sensorFailures.shouldTell(*text))
        m_services.prompts->notify(this, *text, UserPrompts::Icon::Warning);
}

void CTolvek2Dlg::refreshComPorts()
{
    m_comPorts = m_services.serialPorts ? m_services.serialPorts() : QList<ComPortEntry>{};
}

bool CTolvek2Dlg::runSensorCommand(int command)
{
    Settings& s = appSettings();
    const std::optional<SensorCommandEffect> e =
        sensorCommandEffect(command, s.value(SensorMode), windowMode(), m_comPorts);
    if (!e)
        return comPortItemForCommand(command).has_value() || command == PhoneSensorCommand ||
               command == ManualSensorCommand;
    if (e->sensorMode)
        s.setValue(SensorMode, *e->sensorMode);
    if (e->comPort)
        s.setValue(ComPort, *e->comPort);
    if (e->refreshTexts)
        applyLanguage();
    if (e->showPhoneSetup)
        showMessage(phoneSetupLines(localAddresses()).join(QStringLiteral("\r\n")),
                    UserPrompts::Icon::Information);
    if (e->stopLink)
        m_sensorLink->stop(SensorSwitchWaitMs);
    if (e->startLink && m_sensorLink->start() == SensorLink::StartResult::Failed)
        showMessage(Message(MsgSensorThreadFailed), UserPrompts::Icon::Error);
    if (e->reapplyMode)
        applyMode(windowMode());
    return true;
}

void CTolvek2Dlg::wireListsAndPlayer()
{
    PlaybackController* player = m_playback.get();
    connect(m_recording, &RecordingControl::slidersResetRequested, this, [player] { player->resetSlider(); });
    connect(m_recording, &RecordingControl::recordingListed, this,
            [this](const QString& name) { m_lists->addRecordedVideo(name); });
    connect(m_recording, &RecordingControl::recordingFinished, this, [this](const QString& name) {
        openVideo(name);
        Q_EMIT showVideoRequested(name);
    });
    connect(m_recording, &RecordingControl::idChosen, this, [this](int id) {
        m_lists->refillIdList(id);
        m_lists->sortList(m_lists->idList(), 0, false);
    });
    connect(this, &CTolvek2Dlg::showVideoRequested, this, [this](const QString& name) {
        if (!name.isEmpty())
            m_lists->selectRowByName(
                isReferenceVideoName(name) ? m_lists->referenceList() : m_lists->idList(), name, false);
    });

    connect(m_lists, &VideoLists::folderPanelRefreshRequested, this, &CTolvek2Dlg::refreshFolderPanel);
    m_management = new VideoManagement({*this, m_state, *this, power(), tools()}, *m_lists, *player,
                                       m_services.prompts, m_lists);
    connect(this, &CTolvek2Dlg::commandRequested, m_management, &VideoManagement::run);
    connect(m_management, &VideoManagement::folderPanelRefreshRequested, this,
            &CTolvek2Dlg::refreshFolderPanel);
    refreshFolderPanel(); // the all-videos view can be the first one shown
    m_lists->setPlayerBusy([player] { return player->hasPlayer(); });
    m_lists->setSubRangeMarked([player] { return player->subRangeMarked(); });
    connect(m_lists, &VideoLists::showVideo, this, &CTolvek2Dlg::openVideo);
    connect(m_lists, &VideoLists::playVideo, this, [player](const QString&) {
        player->resetSlider();
        player->drawSlider(SliderDraw::Current);
        player->setPaused(false);
        player->startPlayer();
    });
    connect(m_lists, &VideoLists::stopPlayer, this, [player](bool resetRange) {
        player->stopPlayerAndWait();
        if (resetRange)
            player->resetSlider();
    });
    connect(m_lists, &VideoLists::redisplayVideo, this, [player](const QString& name) {
        player->showVideoFrame(name, 0);
        player->drawSlider(SliderDraw::Current);
        player->updateTimeDisplay();
    });
}

void CTolvek2Dlg::refreshFolderPanel()
{
    auto* panel = qobject_cast<QLabel*>(control(IDC_FOLDER_PANEL));
    if (!panel)
        return;
    panel->setFont(gothicFont(FolderPanelFontPoints, logicalDpiY()));
    const Settings& s = appSettings();
    panel->setText(folderPanelText(s.value(BackupFolder), s.value(SaveFolder),
                                   m_lists->allList()->topLevelItemCount(), currentLanguage())
                       .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void CTolvek2Dlg::startRecordingCommand()
{
    // List All returns to the live picture only when the recording was started from there.
    m_lists->setListAllFromLive(windowMode() != ModeLibrary);
    m_recording->startRecording();
}

void CTolvek2Dlg::adoptFirstIdVideo()
{
    QTreeWidget* ids = m_lists->idList();
    m_state.playbackVideoName = ids->topLevelItemCount() > 0 ? ids->topLevelItem(0)->text(1) : QString();
}

void CTolvek2Dlg::setIdCommand()
{
    const std::optional<int> id = askForId(1);
    if (!id) {
        if (windowMode() == ModeLibrary)
            (isReferenceVideoName(m_state.playbackVideoName) ? m_lists->referenceList() : m_lists->idList())
                ->setFocus();
        return;
    }
    m_state.flags.currentPatientId = *id;
    m_lists->refillIdList(*id);
    m_state.flags.cameraOpened = false;
    stopPlayback();
    addToIdHistory(appSettings(), *id);
    QTreeWidget* ids = m_lists->idList();
    if (ids->topLevelItemCount() > 0) {
        m_lists->sortList(ids, 0, false);
        m_state.playbackVideoName = ids->topLevelItem(0)->text(1);
        openVideo(m_state.playbackVideoName);
        m_lists->selectRowByName(ids, m_state.playbackVideoName, false);
    } else {
        // No video of this ID: an empty, light blue picture says so.
        m_state.playbackVideoName.clear();
        showNoVideo();
    }
}

} // namespace tolvek
