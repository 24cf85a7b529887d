#include "ui/analysis/AnalysisView.h"

#include "core/capture/CaptureFlags.h"
#include "core/i18n/AnalysisTexts.h"
#include "core/i18n/Messages.h"
#include "ui/analysis/AnalysisReport.h"
#include "ui/analysis/TraceWidget.h"
#include "ui/shared/UserPrompts.h"

#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tolvek {

namespace {

constexpr int FollowIntervalMs = 40;

QPushButton* button(const char* name, QWidget* parent)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

AnalysisView::AnalysisView(AnalysisPlayer player, UserPrompts* prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), m_player(std::move(player)), m_prompts(prompts)
{
    setObjectName(QStringLiteral("EyeAnalysisView"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1100, 560);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("AnalysisStatus"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("AnalysisProgress"));
    m_progress->setRange(0, 100);
    m_cancel = button("AnalysisCancel", this);
    m_traces = new TraceWidget(this);
    m_table = new QTableWidget(0, 5, this);
    m_table->setObjectName(QStringLiteral("AnalysisTable"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->setMinimumWidth(420);
    m_ppdLabel = new QLabel(this);
    m_ppd = new QDoubleSpinBox(this);
    m_ppd->setObjectName(QStringLiteral("PixelsPerDegree"));
    m_ppd->setRange(0.0, 1000.0);
    m_ppd->setDecimals(1);
    m_ppd->setSingleStep(0.5);
    m_again = button("AnalyseAgain", this);
    m_save = button("SaveReport", this);
    m_print = button("PrintReport", this);

    auto* top = new QHBoxLayout;
    top->addWidget(m_status, 1);
    top->addWidget(m_progress, 1);
    top->addWidget(m_cancel);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_traces);
    splitter->addWidget(m_table);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({700, 480});
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_ppdLabel);
    bottom->addWidget(m_ppd);
    bottom->addStretch(1);
    bottom->addWidget(m_again);
    bottom->addWidget(m_save);
    bottom->addWidget(m_print);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);

    connect(m_cancel, &QPushButton::clicked, &m_runner, &AnalysisRunner::cancel);
    connect(m_again, &QPushButton::clicked, this, [this] { open(m_video, true); });
    connect(m_save, &QPushButton::clicked, this, [this] { saveReport(); });
    connect(m_print, &QPushButton::clicked, this, &AnalysisView::printReport);
    connect(m_ppd, &QDoubleSpinBox::valueChanged, this, [this](double) {
        TraceStyle style = m_traces->style();
        style.pixelsPerDegree = m_ppd->value();
        m_traces->setStyle(style);
        fillTable();
    });
    connect(m_traces, &TraceWidget::frameClicked, this, [this](int frame) {
        if (m_player.seek && showsPlayedVideo())
            m_player.seek(frame);
        m_traces->setCursorFrame(frame);
    });
    connect(&m_runner, &AnalysisRunner::progress, this, [this](int percent) {
        m_progress->setValue(percent);
        m_status->setText(analysisText(AnalysisText::Analysing).arg(percent));
    });
    connect(&m_runner, &AnalysisRunner::finished, this, &AnalysisView::onFinished);
    connect(&m_runner, &AnalysisRunner::failed, this, [this](const QString& reason) {
        setRunning(false);
        m_status->setText(analysisText(AnalysisText::AnalysisFailed) + QStringLiteral(" (%1)").arg(reason));
        Q_EMIT analysisSettled();
    });
    connect(&m_runner, &AnalysisRunner::cancelled, this, [this] {
        setRunning(false);
        m_status->setText(analysisText(AnalysisText::Cancelled));
        Q_EMIT analysisSettled();
    });
    m_follow.setInterval(FollowIntervalMs);
    connect(&m_follow, &QTimer::timeout, this, [this] {
        // The window opens a video through followPlayedVideo() as well; the tick catches every
        // other way the played video changes or goes.
        followPlayedVideo();
        followPlayer();
    });
    applyTexts();
    setRunning(false);
}

AnalysisView::~AnalysisView()
{
    m_runner.cancel();
}

void AnalysisView::applyTexts()
{
    m_cancel->setText(analysisText(AnalysisText::Cancel));
    m_ppdLabel->setText(analysisText(AnalysisText::PixelsPerDegree));
    m_ppd->setSpecialValueText(analysisText(AnalysisText::NotCalibrated));
    m_again->setText(analysisText(AnalysisText::AnalyseAgain));
    m_save->setText(analysisText(AnalysisText::SaveReport));
    m_print->setText(analysisText(AnalysisText::PrintReport));
    m_table->setHorizontalHeaderLabels(summaryHeader(currentLanguage()));
    setWindowTitle(m_video.isEmpty()
                       ? analysisText(AnalysisText::MenuItem)
                       : analysisText(AnalysisText::WindowTitle).arg(QFileInfo(m_video).fileName()));
    TraceStyle style = m_traces->style();
    style.language = currentLanguage();
    m_traces->setStyle(style);
}

void AnalysisView::setPixelsPerDegree(double value)
{
    m_ppd->setValue(value);
}

void AnalysisView::open(const QString& videoPath, bool force)
{
    if (m_player.recording && m_player.recording()) {
        if (m_prompts)
            m_prompts->message(this, analysisText(AnalysisText::RefusedWhileRecording),
                               UserPrompts::Icon::Warning);
        return;
    }
    if (m_runner.isRunning()) {
        if (videoPath == m_video && !force)
            return;
        m_runner.cancel();
        m_runner.wait(3000);
    }
    m_video = videoPath;
    applyTexts();
    clearResult();
    m_progress->setValue(0);
    m_status->setText(analysisText(AnalysisText::Analysing).arg(0));
    setRunning(m_runner.start(videoPath, force));
}

void AnalysisView::onWindowMode(int mode)
{
    if (mode == ModeRecording)
        m_runner.cancel();
}

void AnalysisView::followPlayedVideo()
{
    if (!m_player.playedVideo)
        return;
    const QString played = m_player.playedVideo();
    if (played == m_video)
        return;
    if (played.isEmpty()) {
        showNoVideo();
        return;
    }
    if (m_player.recording && m_player.recording())
        return;
    open(played);
}

void AnalysisView::showNoVideo()
{
    // Whatever the run of the last video still reports belongs to no video shown here.
    m_runner.discard();
    m_video.clear();
    applyTexts();
    clearResult();
    m_status->setText(analysisText(AnalysisText::NoVideo));
    setRunning(false);
}

void AnalysisView::clearResult()
{
    m_result.reset();
    m_data.reset();
    m_traces->setData(nullptr);
    m_table->setRowCount(0);
}

void AnalysisView::setRunning(bool running)
{
    m_progress->setVisible(running);
    m_cancel->setVisible(running);
    m_again->setEnabled(!running && !m_video.isEmpty());
    m_save->setEnabled(!running && m_result);
    m_print->setEnabled(!running && m_result);
}

void AnalysisView::onFinished(std::shared_ptr<const analysis::VideoAnalysis> result, bool fromCache,
                              const QString& cacheError)
{
    m_result = std::move(result);
    m_fromCache = fromCache;
    m_data = TraceData::from(*m_result);
    m_traces->setData(m_data);
    m_status->setText(QStringLiteral("%1  —  %2 s")
                          .arg(QFileInfo(m_video).fileName())
                          .arg(m_data->frameCount / m_data->fps, 0, 'f', 1));
    fillTable();
    setRunning(false);
    followPlayer();
    if (!cacheError.isEmpty() && m_prompts)
        m_prompts->message(this,
                           analysisText(AnalysisText::CacheNotSaved) + QStringLiteral("\n") + cacheError,
                           UserPrompts::Icon::Warning);
    Q_EMIT analysisSettled();
}

void AnalysisView::fillTable()
{
    if (!m_result)
        return;
    const std::vector<QStringList> rows =
        summaryRows(m_result->nystagmus.segments, m_ppd->value(), currentLanguage());
    m_table->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            m_table->setItem(r, c, new QTableWidgetItem(rows[r][c]));
}

bool AnalysisView::showsPlayedVideo() const
{
    return !m_player.playedVideo || QFileInfo(m_player.playedVideo()) == QFileInfo(m_video);
}

void AnalysisView::followPlayer()
{
    // The player has moved on to another video: its frames are not this trace's.
    if (m_player.currentFrame && m_data && showsPlayedVideo())
        m_traces->setCursorFrame(std::clamp(m_player.currentFrame(), 0, std::max(m_data->frameCount - 1, 0)));
}

QString AnalysisView::saveReport()
{
    if (!m_result)
        return {};
    QString target = defaultReportPath(m_video);
    // The proposed file exists: replace it only when the user says so, else let them pick another
    // name, asked again about a name that exists too.
    while (QFileInfo::exists(target)) {
        if (m_prompts && m_prompts->question(this, analysisText(AnalysisText::ReplaceQuestion).arg(target),
                                             analysisText(AnalysisText::ReportTitle), true))
            break;
        target = m_prompts ? m_prompts->pickSaveFile(this, analysisText(AnalysisText::SaveReport), target,
                                                     analysisText(AnalysisText::PdfFilter))
                           : QString();
        if (target.isEmpty())
            return {};
        if (!target.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            target += QStringLiteral(".pdf");
    }
    const ReportInput input = reportInput();
    QString error;
    if (!writeReportPdf(target, input, error)) {
        if (m_prompts)
            m_prompts->message(this, analysisText(AnalysisText::ReportNotWritten).arg(error),
                               UserPrompts::Icon::Error);
        return {};
    }
    m_status->setText(analysisText(AnalysisText::ReportSaved).arg(QDir::toNativeSeparators(target)));
    return target;
}

ReportInput AnalysisView::reportInput() const
{
    return {m_video,
            m_result,
            m_data,
            reportStills(m_video, m_result->nystagmus.segments),
            m_ppd->value(),
            currentLanguage(),
            QDateTime::currentDateTime()};
}

void AnalysisView::printReport()
{
    if (!m_result)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ReportInput input = reportInput();
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (m_prompts)
            m_prompts->message(this, analysisText(AnalysisText::ReportNotWritten).arg(QString()),
                               UserPrompts::Icon::Error);
        return;
    }
    paintReport(printer, painter, input);
}

void AnalysisView::showEvent(QShowEvent* event)
{
    m_follow.start();
    QWidget::showEvent(event);
}

void AnalysisView::hideEvent(QHideEvent* event)
{
    m_follow.stop();
    QWidget::hideEvent(event);
}

void AnalysisView::closeEvent(QCloseEvent* event)
{
    m_runner.cancel();
    m_follow.stop();
    QWidget::closeEvent(event);
}

} // namespace tolvek
