#include "ui/playback/PlaybackController.h"

#include "core/capture/DisplayFrame.h"
#include "core/i18n/Messages.h"
#include "core/playback/FramePresentation.h"
#include "core/playback/SliderMath.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "ui/playback/PlaybackSlider.h"
#include "ui/shared/ButtonImages.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/Fonts.h"
#include "ui/shared/KeyCommands.h"
#include "ui/shared/MainLayout.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace tolvek {

namespace {

// The still decoder only serves single frames: a small cache is enough.
constexpr std::size_t StillCacheBytes = std::size_t(16) << 20;

QFont timeTextFont(int dpiY)
{
    return gothicFont(17.0, dpiY);
}

} // namespace

PlaybackController::PlaybackController(PlaybackWindow window)
    : QObject(nullptr), m_window(window), m_stillReader(StillCacheBytes)
{
    // The erased slider area must match the dialog's own background.
    m_slider = new PlaybackSlider(windowControl(window.widget, IDC_SLIDER),
                                  window.widget.palette().color(QPalette::Window));
    m_timeText = qobject_cast<QLabel*>(windowControl(window.widget, IDC_TIME_TEXT));
    m_trimButton = qobject_cast<QPushButton*>(windowControl(window.widget, IDC_TRIM));

    const MainLayout& layout = window.layout;
    m_state.sliderLength = layout.sliderLength;
    m_state.viewWidth = layout.liveView.width();
    m_state.viewHeight = layout.liveView.height();
    m_state.rangeEnd = layout.sliderLength;
}

PlaybackController::~PlaybackController()
{
    shutdown();
    // The slider picture belongs to this controller: once it is gone, nothing of it may paint
    // over the control (the control may have gone first; the pointer knows).
    delete m_slider;
}

// ---- The player -------------------------------------------------------------------------

void PlaybackController::startPlayer()
{
    stopPlayer();
    reapRetiring();
    const QString name = videoName();
    if (name.isEmpty())
        return;

    PlayerThread::Options options;
    options.path = savePath(name).toStdString();
    options.state = &m_state;
    options.display = &m_window.display;
    auto* thread = new PlayerThread(std::move(options), this);
    const quint64 id = m_nextPlayerId++;
    connect(thread, &PlayerThread::frameShown, this, &PlaybackController::frameReady);
    connect(thread, &PlayerThread::ended, this, [this, id] { onPlayerEnded(id); });
    m_player = {id, thread};
    m_window.modes.runTimer1(true);
    thread->start();
}

void PlaybackController::stopPlayer()
{
    if (!m_player.thread)
        return;
    m_player.thread->stop();
    m_retiring.push_back(m_player);
    m_player = {};
}

void PlaybackController::stopPlayerAndWait()
{
    stopPlayer();
    reapRetiring();
}

void PlaybackController::shutdown()
{
    stopPlayerAndWait();
}

void PlaybackController::reapRetiring()
{
    // Each stopped loop ends within one decode or sleep slice, so joining here stays short; it
    // keeps two players from ever writing the shared state at the same time.
    for (Player& p : m_retiring) {
        p.thread->stop();
        p.thread->wait();
        delete p.thread;
    }
    m_retiring.clear();
}

bool PlaybackController::hasPlayer() const
{
    return m_player.thread && m_player.thread->isRunning() && !m_player.thread->hasEnded();
}

void PlaybackController::onPlayerEnded(quint64 id)
{
    if (m_player.thread && m_player.id == id) {
        m_player.thread->wait();
        delete m_player.thread;
        m_player = {};
    } else {
        auto it =
            std::find_if(m_retiring.begin(), m_retiring.end(), [id](const Player& p) { return p.id == id; });
        if (it == m_retiring.end())
            return; // already joined and deleted
        it->thread->wait();
        delete it->thread;
        m_retiring.erase(it);
    }
    // The picture returns to the first frame, unless another player has taken over meanwhile or
    // the window has left the library mode.
    if (!m_player.thread && windowMode() == ModeLibrary && !videoName().isEmpty())
        showVideoFrame(videoName(), 0);
    Q_EMIT playerEnded();
}

// ---- Operations -------------------------------------------------------------------------

void PlaybackController::showVideoFrame(const QString& name, int frame)
{
    if (name.isEmpty() || !m_stillReader.openIfChanged(savePath(name).toStdString()))
        return;
    const int c = int(std::lround(m_stillReader.frameCountProperty()));
    int a = frame;
    if (a >= std::max(c, 1))
        a = c < 1 ? 0 : c - 1;
    const cv::Mat decoded = m_stillReader.frameAt(std::max(a, 0));
    if (decoded.empty())
        return;
    // Slider presses map pixels to frames before a player has opened the file.
    if (name == videoName() && c > 0)
        m_state.frameCount = c;
    bool stored = false;
    if (m_state.paused.load()) {
        cv::Mat marked = decoded.clone();
        drawStillPauseMark(marked);
        stored = storeBgrFrame(marked, m_window.display);
    } else {
        stored = storeBgrFrame(decoded, m_window.display);
    }
    if (stored)
        m_window.video.repaintPicture();
}

void PlaybackController::togglePlayback()
{
    const int mode = windowMode();
    if (mode == ModeLibrary) {
        const QString name = videoName();
        if (name.size() < 10)
            return;
        if (hasPlayer()) {
            if (m_state.paused.load()) {
                m_state.paused = false;
            } else {
                m_state.requestedFrame =
                    pauseRequestFrame(m_state.currentFrame.load(), m_state.frameCount.load());
                m_state.paused = true;
            }
            return;
        }
        if (!QFileInfo::exists(savePath(name)))
            return;
        m_sliderDrag = DragNone;
        m_state.currentFrame = 0;
        drawSlider(SliderDraw::Current);
        m_state.paused = false;
        startPlayer();
        showVideoFrame(name, 0);
        return;
    }
    if (mode == ModeListAll) {
        m_window.modes.setWindowMode(ModeLibrary);
        m_sliderDrag = DragNone;
        m_state.rangeStart = 0;
        m_state.rangeEnd = m_state.sliderLength.load();
        m_state.currentFrame = 0;
        drawSlider(SliderDraw::Current);
        m_state.paused = false;
        startPlayer();
        focusVideoList();
    }
}

void PlaybackController::updateTimeDisplay()
{
    if (!m_timeText)
        return;
    m_timeText->setFont(timeTextFont(m_timeText->logicalDpiY()));
    const int mode = windowMode();
    if (mode == ModeLibrary) {
        const int fps = appSettings().getInt(CaptureFps);
        const int elapsed = framesToSeconds(m_state.currentFrame.load(), fps);
        int total = m_totalSeconds.lookup(appSettings().value(SaveFolder), videoName());
        if (total == -1)
            total = framesToSeconds(m_state.frameCount.load(), fps);
        m_timeText->setText(playbackTimeText(elapsed, total));
    } else if (mode == ModeRecording) {
        m_timeText->setText(recordingTimeText(m_window.state.flags.recordingElapsedMs.load()));
    }
}

void PlaybackController::drawSlider(SliderDraw kind)
{
    if (!m_slider)
        return;
    if (videoName().isEmpty()) {
        m_slider->clear();
        return;
    }
    const SliderPicture picture =
        sliderPicture(kind, m_state.rangeStart.load(), m_state.rangeEnd.load(), m_state.sliderLength.load(),
                      m_state.currentFrame.load(), m_state.frameCount.load());
    if (!picture.draw)
        return;
    m_state.rangeEnd = picture.rangeEnd;
    m_slider->render(picture);
    updateTrimButton();
}

void PlaybackController::resetSlider()
{
    m_sliderDrag = DragNone;
    m_state.rangeStart = 0;
    m_state.rangeEnd = m_state.sliderLength.load();
    m_state.currentFrame = 0;
}

bool PlaybackController::subRangeMarked() const
{
    return isSubRange(m_state.rangeStart.load(), m_state.rangeEnd.load(), m_state.sliderLength.load());
}

void PlaybackController::setRange(int start, int end)
{
    m_state.rangeStart = start;
    m_state.rangeEnd = end;
}

void PlaybackController::onLayoutChanged()
{
    const MainLayout& layout = m_window.layout;
    m_state.sliderLength = layout.sliderLength;
    m_state.viewWidth = layout.liveView.width();
    m_state.viewHeight = layout.liveView.height();
    m_state.rangeEnd = layout.sliderLength;
    m_state.rangeStart = 0;
    m_state.currentFrame = 0;
    // The reset slider is drawn at once for an open video, whatever the new size; it is not
    // left blank until playback starts.
    drawSlider(SliderDraw::Reset);
}

int PlaybackController::trimToolTipMessage() const
{
    return m_trimRangeSelected ? MsgTrimRangeTip : MsgTrimHowToTip;
}

void PlaybackController::updateTrimButton()
{
    const bool sub = subRangeMarked();
    if (sub == m_trimRangeSelected)
        return;
    m_trimRangeSelected = sub;
    if (!m_trimButton)
        return;
    m_trimButton->setToolTip(m_window.state.toolTipsActive ? Message(MessageId(trimToolTipMessage()))
                                                           : QString());
    m_trimButton->setAccessibleName(
        Message(MessageId(trimToolTipMessage())).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const int image = sub ? ImgTrim : ImgTrimGrey;
    m_trimButton->setIcon(QIcon(buttonImage(image)));
    m_trimButton->setIconSize(QSize(79, 79));
    m_trimButton->setProperty("imageId", image);
    m_trimButton->update();
}

// ---- Timer and keys ----------------------------------------------------------------------

void PlaybackController::onTimer1()
{
    const bool odd = (m_timerTicks++ & 1u) != 0;
    const int mode = windowMode();
    if (mode == ModeLibrary && videoName().size() == VideoFileNameLength) {
        if (odd)
            updateTimeDisplay();
        drawSlider(SliderDraw::Current);
    } else if (mode == ModeRecording && odd) {
        updateTimeDisplay();
    }
}

void PlaybackController::onKeyAction(KeyAction action)
{
    if (windowMode() != ModeLibrary)
        return;
    switch (action) {
    case KeyAction::TogglePlayback:
        togglePlayback();
        return;
    case KeyAction::StepBack:
    case KeyAction::StepForward:
    case KeyAction::JumpForward:
    case KeyAction::JumpBack:
        stepFrame(action);
        return;
    default:
        return;
    }
}

void PlaybackController::stepFrame(KeyAction action)
{
    FrameStep step = FrameStep::Back;
    switch (action) {
    case KeyAction::StepForward:
        step = FrameStep::Forward;
        break;
    case KeyAction::JumpForward:
        step = FrameStep::JumpForward;
        break;
    case KeyAction::JumpBack:
        step = FrameStep::JumpBack;
        break;
    default:
        break;
    }
    togglePlayback();
    m_state.requestedFrame = steppedFrame(step, m_state.requestedFrame.load(), m_state.currentFrame.load(),
                                          m_state.frameCount.load());
    m_state.seekRequested = true;
}

// ---- Mouse ------------------------------------------------------------------------------

void PlaybackController::seekTo(int frame)
{
    m_state.requestedFrame = frame;
    m_state.currentFrame = frame;
    m_state.paused = true;
    m_state.seekRequested = true;
}

void PlaybackController::seekPaused(int frame)
{
    if (videoName().isEmpty())
        return;
    if (!hasPlayer() && m_stillReader.openIfChanged(savePath(videoName()).toStdString()))
        m_state.frameCount = int(std::lround(m_stillReader.frameCountProperty()));
    const int f = std::clamp(frame, 0, std::max(m_state.frameCount.load() - 1, 0));
    seekTo(f);
    drawSlider(SliderDraw::Current);
    showVideoFrame(videoName(), f);
    if (!hasPlayer())
        startPlayer(); // it starts paused on f
}

void PlaybackController::leftButtonDown(QPoint pos)
{
    const SliderGeometry g = geometry();
    m_pressedOnPicture = pictureHitTest(g, windowMode(), pos.x(), pos.y());
    if (windowMode() != ModeLibrary)
        return;
    int p = sliderHitTest(g, pos.x(), pos.y());
    if (p < 0)
        return;
    p = std::min(p, g.sliderLength - 1);
    m_pointerPosition = p;
    // Without a player nobody has read this video's frame count yet; the mapping needs it.
    if (!hasPlayer() && !videoName().isEmpty() &&
        m_stillReader.openIfChanged(savePath(videoName()).toStdString()))
        m_state.frameCount = int(std::lround(m_stillReader.frameCountProperty()));
    const DragChoice drag = chooseDrag(p, m_state.rangeStart.load(), m_state.rangeEnd.load());
    m_sliderDrag = drag.kind;
    if (drag.kind != DragPosition)
        m_dragOffset = drag.offset;
    const int f = sliderToFrameClamped(p, g.sliderLength, m_state.frameCount.load());
    seekTo(f);
    drawSlider(SliderDraw::Current);
    if (!videoName().isEmpty())
        showVideoFrame(videoName(), f);
    if (!hasPlayer())
        startPlayer(); // it starts paused on f
}

void PlaybackController::mouseMove(QPoint pos, bool leftButtonHeld)
{
    if (windowMode() != ModeLibrary)
        return;
    if (m_sliderDrag != DragNone && !leftButtonHeld) {
        m_pressedOnPicture = false;
        m_sliderDrag = DragNone;
        return;
    }
    const SliderGeometry g = geometry();
    const int hit = sliderHitTest(g, pos.x(), pos.y());
    if (m_sliderDrag == DragNone) {
        if (hit >= 0)
            m_pointerPosition = std::min(hit, g.sliderLength - 1);
        return;
    }
    const int p = dragPointer(hit, m_pointerPosition, g.sliderLength);
    m_pointerPosition = p;
    const int frames = m_state.frameCount.load();
    if (m_sliderDrag == DragPosition) {
        seekTo(sliderToFrameClamped(p, g.sliderLength, frames));
        drawSlider(SliderDraw::Current);
        return;
    }
    int marker = 0;
    if (m_sliderDrag == DragStartMarker) {
        marker = draggedRangeStart(p, m_dragOffset, m_state.rangeEnd.load(), g.sliderLength);
        m_state.rangeStart = marker;
    } else {
        marker = draggedRangeEnd(p, m_dragOffset, m_state.rangeStart.load(), g.sliderLength);
        m_state.rangeEnd = marker;
    }
    // The player shows the frame under the marker; the slider follows at the next timer tick.
    m_state.requestedFrame = sliderToFrame(marker, g.sliderLength, frames);
    m_state.paused = true;
    m_state.seekRequested = true;
}

void PlaybackController::leftButtonUp(QPoint pos)
{
    if (windowMode() != ModeLibrary)
        return;
    const SliderGeometry g = geometry();
    if (m_sliderDrag == DragPosition) {
        const int p = dragPointer(sliderHitTest(g, pos.x(), pos.y()), m_pointerPosition, g.sliderLength);
        m_pointerPosition = p;
        const int f = sliderToFrameClamped(p, g.sliderLength, m_state.frameCount.load());
        seekTo(f);
        drawSlider(SliderDraw::Current);
        if (!videoName().isEmpty())
            showVideoFrame(videoName(), f);
    } else if (m_sliderDrag == DragStartMarker || m_sliderDrag == DragEndMarker) {
        const SliderRange r =
            normalizeRange(m_state.rangeStart.load(), m_state.rangeEnd.load(), g.sliderLength);
        m_state.rangeStart = r.start;
        m_state.rangeEnd = r.end;
    } else if (pictureHitTest(g, windowMode(), pos.x(), pos.y()) && m_pressedOnPicture) {
        togglePlayback();
    }
    m_sliderDrag = DragNone;
    m_pressedOnPicture = false;
}

void PlaybackController::leftDoubleClick(QPoint pos)
{
    if (windowMode() == ModeLibrary && sliderHitTest(geometry(), pos.x(), pos.y()) >= 0)
        togglePlayback();
}

// ---- Helpers ----------------------------------------------------------------------------

SliderGeometry PlaybackController::geometry() const
{
    return {m_window.layout.liveView, m_state.sliderLength.load()};
}

int PlaybackController::windowMode() const
{
    return m_window.state.windowMode();
}

const QString& PlaybackController::videoName() const
{
    return m_window.state.playbackVideoName;
}

QString PlaybackController::savePath(const QString& name) const
{
    return makeSavePath(appSettings().value(SaveFolder), name);
}

void PlaybackController::focusVideoList()
{
    const int list = isReferenceVideoName(videoName()) ? IDC_REFERENCE_LIST : IDC_ID_LIST;
    if (QWidget* w = windowControl(m_window.widget, list))
        w->setFocus();
}

} // namespace tolvek
