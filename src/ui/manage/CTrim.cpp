#include "ui/manage/CTrim.h"

#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/settings/Settings.h"
#include "ui/shared/Fonts.h"
#include "ui/shared/LanguageLook.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <chrono>

namespace tolvek {

namespace {

// The template, in dialog units.
constexpr QSize DialogUnits(156, 52);
constexpr QRect StatusUnits(12, 4, 109, 8);
constexpr QRect KeepUnits(12, 16, 132, 10);
constexpr QRect OkUnits(32, 32, 50, 14);
constexpr QRect CancelUnits(88, 32, 50, 14);

QFont templateFont()
{
    return meiryoFont(12.0);
}

} // namespace

CTrim::CTrim(QWidget* parent)
    : QDialog(parent), m_worker(QStringLiteral("TrimWorker"), std::chrono::milliseconds(FinishWaitMs))
{
    setObjectName(QStringLiteral("154"));
    setWindowTitle(uiText(TxtTrimTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(templateFont());

    // Dialog units to pixels from the template font, as dialog templates are laid out.
    const DialogUnitScale units(font());
    auto px = [&units](const QRect& du) { return units.toPixels(du); };

    m_status = new QLabel(uiText(TxtTrimStatus), this);
    m_status->setGeometry(px(StatusUnits));
    m_keep = new QCheckBox(Message(MsgKeepOriginal), this);
    m_keep->setGeometry(px(KeepUnits));
    auto* ok = new QPushButton(uiText(TxtOk), this);
    ok->setGeometry(px(OkUnits));
    ok->setDefault(true);
    auto* cancel = new QPushButton(uiText(TxtCancel), this);
    cancel->setGeometry(px(CancelUnits));
    m_controls = {{IDC_STATUS, m_status}, {IDC_KEEP_ORIGINAL, m_keep}, {IDC_OK, ok}, {IDC_CANCEL, cancel}};
    for (const auto& [id, widget] : m_controls)
        widget->setObjectName(QString::number(id));

    connect(ok, &QPushButton::clicked, this, &CTrim::accept);
    connect(cancel, &QPushButton::clicked, this, &CTrim::reject);
    // The checkbox only shows the status text again.
    connect(m_keep, &QCheckBox::clicked, this, [this] { m_status->setText(statusText); });
    m_timer.setInterval(ProgressIntervalMs);
    m_timer.setObjectName(QString::number(ProgressTimerId));
    connect(&m_timer, &QTimer::timeout, this, &CTrim::onTimer);
    setFixedSize(px(QRect(QPoint(0, 0), DialogUnits)).size());
    adaptPixelLayout(*this);
}

CTrim::~CTrim()
{
    finishWorker();
}

QWidget* CTrim::control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

TrimResult CTrim::result() const
{
    return m_state ? m_state->result.load() : TrimResult::NotRun;
}

void CTrim::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_initialised) {
        m_initialised = true;
        initDialog();
    }
}

void CTrim::initDialog()
{
    m_keep->setChecked(false);
    m_status->setText(statusText);

    m_state = std::make_shared<TrimWorkerState>();
    const Settings& settings = appSettings();
    m_state->rangeStart = rangeStart;
    m_state->rangeEnd = rangeEnd;
    m_state->newId = newId;
    m_state->frameWidth = settings.captureWidth();
    m_state->frameHeight = settings.captureHeight();
    m_state->fps = settings.getInt(CaptureFps);
    m_state->sliderLength = std::max(1, sliderLength);
    m_state->sourcePath = sourcePath;
    m_state->targetPath = targetPath;
    m_state->memo = memo;

    if (reIdMode()) {
        m_keep->hide();
        startWorker();
    } else {
        m_keep->setText(Message(MsgKeepOriginal));
    }
}

void CTrim::startWorker()
{
    m_started = true;
    // Set before the thread exists, so the end-of-work test can never see a worker that has not
    // yet begun.
    m_state->running = true;
    const auto work = reIdMode() ? &ReburnIdWorker : &TrimWorker;
    // The worker shares only the state, so one left behind by finishWorker() reaches nothing else.
    if (!m_worker.start([work, state = m_state](platform::WorkerRun&) { work(state); })) {
        m_state->result = TrimResult::NotRun;
        m_state->running = false;
    }
    m_timer.start();
}

void CTrim::accept()
{
    if (!m_state || m_started || m_state->running)
        return;
    keepOriginal = m_keep->isChecked();
    if (!reIdMode())
        startWorker();
}

void CTrim::reject()
{
    if (m_state)
        m_state->running = false;
    m_timer.stop();
    QDialog::reject();
}

void CTrim::onTimer()
{
    statusText = uiText(TxtTrimFrames)
                     .arg(m_state->framesDone.load(), 4, 10, QChar(u'0'))
                     .arg(std::max(0, m_state->expectedFrames()), 4, 10, QChar(u'0'));
    m_status->setText(statusText);
    if (!m_started || m_state->running)
        return;
    m_timer.stop();
    // A worker that could not write its output must not end the dialog as a success.
    if (m_state->result == TrimResult::Done)
        QDialog::accept();
    else
        QDialog::reject();
}

void CTrim::finishWorker()
{
    m_timer.stop();
    if (m_state)
        m_state->running = false;
    // The worker checks running before every frame, so this waits for at most one frame and the
    // closing of its file.
    if (!m_worker.wait(std::chrono::milliseconds(FinishWaitMs)))
        m_worker.abandon();
}

} // namespace tolvek
