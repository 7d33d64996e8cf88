// The measurement run on the main window: start checks, one sequence, the end; Stop. What it
// decides is in Run.h, the conditions it consults behind RunConditions.h.
#include "app/MainForm.h"
#include "common/Numbers.h"
#include "measure/Connection.h"
#include "measure/LogFile.h"
#include "measure/Processing.h"
#include "measure/Run.h"
#include "platform/Platform.h"
#include "ui_MainForm.h"
#include "widgets/BusErrorBoxes.h"
#include <QApplication>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTime>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

// The values of one run.
struct MainForm::RunPlan {
    std::array<bool, 3> columns{};
    double sequenceCount = 0;
    ProgressScale progress;
    QByteArray query;
    QString fileName;
    RunHooks hooks;
    bool conditionsTakePart = false;
    bool conditionEnded = false; // a condition was met and asked the run to end
    bool writeFailed = false;
    QByteArray lastAnswer; // the measured field of the last row
};

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

void MainForm::UpdateStartButton() {
    ui->Button_Start->setEnabled(StartEnabled(connection.Connected,
                                              HoldsMoreThanSpaces(ui->Text_MeasQuery->text()),
                                              timing.TimeApplied, run.Running));
}

void MainForm::SetRunConditions(std::unique_ptr<RunConditions> conditions) {
    run.Conditions = conditions ? std::move(conditions) : std::make_unique<NoConditions>();
}

RunHooks MainForm::MakeRunHooks() {
    RunHooks hooks;
    hooks.isListener = [this](int address) { return listeners.contains(address); };
    hooks.sendToAddress = [this](int address, const QByteArray& command) {
        ctl::ShowBusError(instrument.sendTo(std::int16_t(address), command));
    };
    hooks.conditionSwitchedOff = [this] {
        settings.SwitchCondOff();
        CondOnIndicator(false);
    };
    return hooks;
}

bool MainForm::ChooseLogFile() {
    if (ui->Text_FileName->text().isEmpty()) {
        platform::MsgBox("File Name Error", "File Name not defined.", Buttons::Ok, Icon::Warning);
        return false;
    }
    for (;;) {
        const QString name = ui->Text_FileName->text();
        const QString path = LogFilePath(ui->Text_Path->text(), name);
        if (path.isEmpty() || !QFileInfo::exists(path)) return true;
        const QString proposed = ProposeFreeName(name);
        const Answer a =
            platform::MsgBox("File Error",
                             "The file " + name + " already exists.\n\nSelect:\nYes to use  " +
                                 proposed + "  instead.\nNo to replace  " + name + " .",
                             Buttons::YesNoCancel, Icon::Warning, Answer::Yes);
        if (a == Answer::Cancel) return false;
        if (a == Answer::No) return true;
        ui->Text_FileName->setText(proposed);
        // The spreadsheet menus must open the file this run writes, not the old one.
        UpdateCsvFile();
    }
}

void MainForm::LockWindow(bool locked) {
    ui->Button_Stop->setEnabled(locked);
    ui->Menu_File->menuAction()->setEnabled(!locked);
    ui->Menu_Tools->menuAction()->setEnabled(!locked);
    ui->Frame1->setEnabled(!locked);
    ui->Frame2->setEnabled(!locked);
    ui->Frame3->setEnabled(!locked);
    UpdateStartButton();
}

void MainForm::Button_Stop_Click() {
    ui->ProgressBar1->setValue(0);
    run.StopRequested = true;
    timing.TimerFired = true;
    ui->Button_Stop->setEnabled(false);
}

void MainForm::Button_Start_Click() {
    if (run.Running) return;
    RunPlan plan;
    if (!RunBegin(plan)) return;
    // Whatever ends the run, even the program ending from an error box, the flag goes down.
    const auto running = qScopeGuard([this] { run.Running = false; });
    // A double counts on where a single-precision count would stop at 2^24.
    for (double seq = 1; seq <= plan.sequenceCount && !run.StopRequested; seq += 1)
        if (!RunSequence(plan, seq)) break;
    RunFinish(plan);
}

bool MainForm::RunBegin(RunPlan& plan) {
    plan.columns = {Check_Log[0]->isChecked(), Check_Log[1]->isChecked(),
                    Check_Log[2]->isChecked()};
    if (!plan.columns[0] && !plan.columns[1] && !plan.columns[2]) {
        platform::MsgBox("X-data Error", "At least one option for X-data must be selected.",
                         Buttons::Ok, Icon::Critical);
        return false;
    }
    ui->Menu_ViewTerm->setEnabled(false);
    run.Result = {};

    plan.hooks = MakeRunHooks();
    if (!run.Conditions->begin(plan.hooks)) return false;
    plan.conditionsTakePart = run.Conditions->takesPart();

    if (!ChooseLogFile()) return false;
    plan.sequenceCount = NumericValue(Text_Time[1]->text());
    plan.fileName = ui->Text_FileName->text();
    const QString path = LogFilePath(ui->Text_Path->text(), plan.fileName);
    auto log = std::make_unique<LogWriter>();
    const OpenFailure failure =
        path.isEmpty() ? OpenFailure::NotFound : log->open(path, SyncPolicy::EveryRow);
    if (failure != OpenFailure::None) {
        platform::MsgBox("File Error", OpenFailureText(failure, plan.fileName), Buttons::Ok,
                         Icon::Critical);
        UpdateStartButton();
        return false;
    }
    run.Log = std::move(log);

    run.StopRequested = false;
    SetTextColour(ui->Label_CurrentSequence, QApplication::palette().color(QPalette::ButtonText));
    plan.progress = ProgressFor(plan.sequenceCount);
    ui->ProgressBar1->setMinimum(0);
    ui->ProgressBar1->setMaximum(plan.progress.maximum);
    ui->ProgressBar1->setValue(0);
    run.Running = true;
    LockWindow(true);
    if (settings.measurement().DecimalSeparator == ".") WriteRow(plan, "sep=;");
    WriteRow(plan, HeaderLine(plan.columns));
    plan.query = ui->Text_MeasQuery->text().toLatin1();
    return true;
}

bool MainForm::WriteRow(RunPlan& plan, const QByteArray& line) {
    // A line the system refused (disk full, file size limit) must not pass as logged: the
    // run ends with a box instead of going on to "Completed" with rows missing.
    if (plan.writeFailed) return false;
    if (run.Log->writeLine(line)) return true;
    plan.writeFailed = true;
    platform::MsgBox("File Error", "Can't write file " + plan.fileName + ".", Buttons::Ok,
                     Icon::Critical);
    Button_Stop_Click();
    return false;
}

bool MainForm::RunSequence(RunPlan& plan, double seq) {
    const float elapsed = float(seq - 1) * timing.IntervalSeconds;
    ui->ProgressBar1->setValue(plan.progress.valueAt(seq));
    QByteArray row = RowPrefix(plan.columns, QTime::currentTime(), elapsed, qint64(seq));

    const MeasurementSettings& m = settings.measurement();
    const QByteArray excluded = ApplyExclusions(
        ctl::AnswerOf(instrument.query(plan.query, &run.StopRequested)), m.Exclude1, m.Exclude2);
    if (plan.conditionsTakePart) {
        const AnswerVerdict verdict = run.Conditions->answer(excluded, plan.hooks);
        SetBackground(ui->Text_MeasResponse, verdict.highlight
                                                 ? QColor(192, 255, 192)
                                                 : QApplication::palette().color(QPalette::Base));
        plan.conditionEnded = plan.conditionEnded || verdict.endRun;
    }
    const ProcessedAnswer answer = ProcessAnswer(excluded, m.DecNotation, m.DecimalSeparator);
    if (!answer.valid) {
        platform::MsgBox("Measurement format error", MeasurementFormatText(excluded), Buttons::Ok,
                         Icon::Critical);
        Button_Stop_Click();
        row = InvalidMeasurementRow;
    }
    ui->Text_MeasResponse->setText(QString::fromLatin1(answer.shown));
    plan.lastAnswer = answer.text;

    row += answer.text;
    if (WriteRow(plan, row)) emit rowLogged(row);

    const ProgressLabels labels =
        LabelsAfter(seq, plan.sequenceCount, elapsed, timing.TotalSeconds);
    ui->Label_CurrentSequence->setText(labels.current);
    ui->Label_RemainingSequences->setText(labels.remaining);
    ui->Label_ElapsedTime->setText(labels.elapsed);
    ui->Label_RemainingTime->setText(labels.remainingTime);

    if (plan.conditionEnded) return false;
    if (seq < plan.sequenceCount) StartTimer(timing.IntervalSeconds);
    return true;
}

void MainForm::RunFinish(RunPlan& plan) {
    run.Log->close();
    run.Log.reset();
    SetCsvMenus();
    run.Conditions->end(plan.hooks);

    if (run.StopRequested)
        run.Result.end = RunResult::Stopped;
    else if (plan.conditionEnded)
        run.Result = {RunResult::Terminated, run.Conditions->terminationReport(plan.lastAnswer)};
    if (run.Result.end != RunResult::Completed)
        SetTextColour(ui->Label_CurrentSequence, QColor(255, 0, 0));
    ui->Label_CurrentSequence->setText(run.Result.endText());
    run.Running = false;
    LockWindow(false);
    if (!run.Result.TermReason.isEmpty()) ShowTermination();

    if (startup.CloseAfterRun) {
        startup.CloseAfterRun = false;
        close();
    }
}
