#include "measure/ui/ChartPart.h"

#include "condition/CondTracker.h"
#include "measure/RunController.h"
#include "measure/ui/ChartForm.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/ui/LogFilePart.h"
#include <QAction>
#include <QLineEdit>
#include <QPushButton>

void ChartPart::ConnectHandlers() {
    connect(c.Menu_ChartFile, &QAction::triggered, this, &ChartPart::Menu_ChartFile_Click);
    connect(c.Menu_Chart, &QAction::triggered, this, &ChartPart::Menu_Chart_Click);
    connect(c.Button_Chart, &QPushButton::clicked, this, &ChartPart::Menu_Chart_Click);
    connect(c.run, &RunController::started, this, &ChartPart::Run_Started);
    connect(c.run, &RunController::rowMeasured, this, &ChartPart::Run_RowMeasured);
}

ChartForm* ChartPart::runChart() const {
    return chart_;
}

void ChartPart::Menu_ChartFile_Click() {
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Open Log File in Chart");
    request.folder = c.Text_Path->text();
    request.filter = QStringLiteral("Semicolon delimited text (*.csv)|*.csv");
    request.defaultExtension = QStringLiteral("csv");
    const platform::FileDialogResult result = platform::Sys().openFileDialog(request);
    if (!result.cancelled) ChartForm::ShowFile(c.window, result.fullPath);
}

void ChartPart::Menu_Chart_Click() {
    if (chart_) {
        chart_->raise();
        chart_->activateWindow();
        return;
    }
    // Before any run, the log the next run will write: the chart fills as it does.
    const QString path = runLog_.isEmpty() ? c.logFile->csvFile() : runLog_;
    auto* form = new ChartForm(c.window);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->Open(path, true);
    form->SetLevels(c.run->running() ? levels_ : TargetLevels(c.settings->condCommand()));
    chart_ = form;
    form->show();
}

void ChartPart::Run_Started(const RunSettings& settings) {
    runLog_ = settings.logPath;
    levels_ = TargetLevels(c.settings->condCommand());
    if (!chart_) return;
    chart_->Open(runLog_, true);
    chart_->SetLevels(levels_);
}

void ChartPart::Run_RowMeasured(const RunRow& row) {
    if (!chart_) return;
    if (row.logged) chart_->RowWritten();
    if (row.judged && row.verdict.met) chart_->ConditionMet();
}
