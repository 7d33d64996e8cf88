#include "measure/ui/RunPart.h"
#include "common/Numbers.h"
#include "measure/Connection.h"
#include "measure/ui/ConnectionPart.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/ui/LogFilePart.h"
#include "settings/ui/TimingPart.h"
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

using platform::Buttons;
using platform::Icon;

namespace {
void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}

void SetBackground(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Base, colour);
    widget->setPalette(p);
}
} // namespace

RunPart::RunPart(const Parts& parts)
    : c(parts), run_(*parts.instrument, *parts.listeners, *parts.errors) {}

void RunPart::ConnectHandlers() {
    connect(c.Button_Start, &QPushButton::clicked, this, &RunPart::Button_Start_Click);
    connect(c.Button_Stop, &QPushButton::clicked, this, &RunPart::Button_Stop_Click);
    connect(&run_, &RunController::started, this, &RunPart::Run_Started);
    connect(&run_, &RunController::measuring, this, &RunPart::Run_Measuring);
    connect(&run_, &RunController::rowMeasured, this, &RunPart::Run_RowMeasured);
    connect(&run_, &RunController::stopping, this, &RunPart::Run_Stopping);
    connect(&run_, &RunController::finished, this, &RunPart::Run_Finished);
    connect(&run_, &RunController::failed, this, [](const QString& title, const QString& text) {
        platform::MsgBox(title, text, Buttons::Ok, Icon::Critical);
    });
}

void RunPart::UpdateStartButton() {
    c.Button_Start->setEnabled(StartEnabled(c.connection->connected(),
                                            HoldsMoreThanSpaces(c.Text_MeasQuery->text()),
                                            c.timing->applied(), run_.running()));
}

void RunPart::ClearProgress() {
    for (QLabel* progress : {c.Label_CurrentSequence, c.Label_RemainingSequences,
                             c.Label_ElapsedTime, c.Label_RemainingTime})
        progress->clear();
    c.Text_MeasResponse->clear();
}

void RunPart::LockWindow(bool locked) {
    c.Button_Stop->setEnabled(locked);
    c.Menu_File->menuAction()->setEnabled(!locked);
    c.Menu_Tools->menuAction()->setEnabled(!locked);
    c.Frame1->setEnabled(!locked);
    c.Frame2->setEnabled(!locked);
    c.Frame3->setEnabled(!locked);
    UpdateStartButton();
}

void RunPart::Button_Stop_Click() {
    run_.stop();
}

void RunPart::Button_Start_Click() {
    if (run_.running()) return;
    RunSettings s;
    s.columns = c.logFile->columns();
    if (!s.columns[0] && !s.columns[1] && !s.columns[2]) {
        platform::MsgBox("X-data Error", "At least one option for X-data must be selected.",
                         Buttons::Ok, Icon::Critical);
        return;
    }
    emit starting();
    run.Result = {};
    if (!run_.prepare()) return;
    if (!c.logFile->ChooseLogFile()) return;
    s.query = c.Text_MeasQuery->text().toLatin1();
    s.sequenceCount = c.timing->sequenceCount();
    s.intervalSeconds = c.timing->intervalSeconds();
    s.totalSeconds = c.timing->totalSeconds();
    s.logName = c.logFile->fileName();
    s.logPath = c.logFile->logPath();
    s.measurement = c.settings->measurement();
    if (!run_.run(s)) UpdateStartButton();
}

void RunPart::Run_Started(const RunSettings& settings) {
    run.SequenceCount = settings.sequenceCount;
    run.TotalSeconds = settings.totalSeconds;
    SetTextColour(c.Label_CurrentSequence, QApplication::palette().color(QPalette::ButtonText));
    run.Progress = ProgressFor(settings.sequenceCount);
    c.ProgressBar1->setMinimum(0);
    c.ProgressBar1->setMaximum(run.Progress.maximum);
    c.ProgressBar1->setValue(0);
    LockWindow(true);
}

void RunPart::Run_Measuring(double seq) {
    c.ProgressBar1->setValue(run.Progress.valueAt(seq));
}

void RunPart::Run_RowMeasured(const RunRow& row) {
    if (row.judged)
        SetBackground(c.Text_MeasResponse, row.verdict.highlight
                                               ? QColor(192, 255, 192)
                                               : QApplication::palette().color(QPalette::Base));
    c.Text_MeasResponse->setText(QString::fromLatin1(row.value.shown));
    const ProgressLabels labels =
        LabelsAfter(row.seq, run.SequenceCount, row.elapsed, run.TotalSeconds);
    c.Label_CurrentSequence->setText(labels.current);
    c.Label_RemainingSequences->setText(labels.remaining);
    c.Label_ElapsedTime->setText(labels.elapsed);
    c.Label_RemainingTime->setText(labels.remainingTime);
}

void RunPart::Run_Stopping() {
    c.ProgressBar1->setValue(0);
    c.Button_Stop->setEnabled(false);
}

void RunPart::Run_Finished(const RunResult& result) {
    run.Result = result;
    if (result.end != RunResult::Completed)
        SetTextColour(c.Label_CurrentSequence, QColor(255, 0, 0));
    c.Label_CurrentSequence->setText(result.endText());
    LockWindow(false);
    emit finished(result);
}
