#include "app/MainForm.h"
#include "bus/Session.h"
#include "condition/CondTracker.h"
#include "condition/ui/CondPart.h"
#include "measure/Processing.h"
#include "measure/ui/ChartPart.h"
#include "measure/ui/ConnectionPart.h"
#include "measure/ui/RunPart.h"
#include "platform/Platform.h"
#include "settings/ui/ExcelPart.h"
#include "settings/ui/IntroForm.h"
#include "settings/ui/LogFilePart.h"
#include "settings/ui/SettingsSetsPart.h"
#include "settings/ui/TimingPart.h"
#include "settings/ui/frmAbout.h"
#include "terminal/ui/ManualForm.h"
#include "ui_MainForm.h"
#include "widgets/BusErrorBoxes.h"
#include "widgets/BusGate.h"
#include "widgets/ControlEvents.h"
#include <QCloseEvent>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

MainForm::MainForm(bus::Session& session, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainForm), session(session), instrument(session) {
    ui->setupUi(this);
    ctl::PreferMenuAccessKeys(ui->menubar, this);
    BuildParts();
    SetRunConditions(std::make_unique<CondTracker>(settings.condCommand()));
    ConnectHandlers();
}

MainForm::~MainForm() = default;

void MainForm::SetSplashSeconds(int seconds) {
    startup.SplashSeconds = seconds;
}

void MainForm::SetRunConditions(std::unique_ptr<RunConditions> conditions) {
    runPart->controller().setConditions(std::move(conditions));
}

void MainForm::BuildParts() {
    const std::array<QLineEdit*, 3> Text_Time{ui->Text_Time_0, ui->Text_Time_1, ui->Text_Time_2};
    const std::array<QRadioButton*, 2> Option_Time{ui->Option_Time_0, ui->Option_Time_1};
    const std::array<QRadioButton*, 3> Option_ID{ui->Option_ID_0, ui->Option_ID_1, ui->Option_ID_2};
    const std::array<QCheckBox*, 3> Check_Log{ui->Check_Log_0, ui->Check_Log_1, ui->Check_Log_2};
    connectionPart.reset(new ConnectionPart(
        {this, ui->Frame1, Option_ID, ui->Combo_Addr, ui->Text_DeviceID, ui->Label10,
         ui->Text_IDResponse, ui->Label5, ui->Button_Connect, ui->Text_MeasQuery, ui->Button_Test,
         &session, &instrument, &listeners, &settings, &startup.Activated}));
    timingPart.reset(new TimingPart({ui->Frame3, Text_Time, Option_Time, ui->Button_Clear,
                                     ui->Button_ApplyTime, &settings, &startup.Activated}));
    logFilePart.reset(
        new LogFilePart({this, ui->Text_Path, ui->Text_FileName, ui->Button_Path, ui->Button_File,
                         Check_Log, ui->Menu_LogFilePath, ui->Menu_LogFileName, ui->Menu_File,
                         ui->Menu_Tools, ui->Menu_About, &settings, &startup.Activated}));
    excelPart.reset(new ExcelPart({ui->Menu_ExcelPath,
                                   ui->Menu_PlotbookPath,
                                   {nullptr, ui->Menu_OpenExcel_1, ui->Menu_OpenExcel_2},
                                   &settings,
                                   logFilePart.get()}));
    settingsSetsPart.reset(
        new SettingsSetsPart({this,
                              {ui->Menu_RecallStartUp, ui->Menu_Recall1, ui->Menu_Recall2,
                               ui->Menu_Recall3, ui->Menu_Recall4, ui->Menu_Recall5},
                              {ui->Menu_SaveStartUp, ui->Menu_Save1, ui->Menu_Save2, ui->Menu_Save3,
                               ui->Menu_Save4, ui->Menu_Save5},
                              ui->Menu_RecallDefault,
                              ui->Text_Path,
                              ui->Text_FileName,
                              Text_Time,
                              Option_Time,
                              Check_Log,
                              ui->Combo_Addr,
                              Option_ID,
                              ui->Text_DeviceID,
                              ui->Text_MeasQuery,
                              &settings}));
    condPart.reset(new CondPart({this, ui->Frame4, ui->Button_CondCommand, ui->Menu_Conditional,
                                 ui->Menu_ShowConditional, ui->Menu_ViewTerm, &settings,
                                 &instrument, &listeners}));
    runPart.reset(new RunPart({ui->Button_Start,
                               ui->Button_Stop,
                               ui->ProgressBar1,
                               ui->Label_CurrentSequence,
                               ui->Label_RemainingSequences,
                               ui->Label_ElapsedTime,
                               ui->Label_RemainingTime,
                               ui->Text_MeasResponse,
                               ui->Text_MeasQuery,
                               ui->Frame1,
                               ui->Frame2,
                               ui->Frame3,
                               ui->Menu_File,
                               ui->Menu_Tools,
                               connectionPart.get(),
                               timingPart.get(),
                               logFilePart.get(),
                               &settings,
                               &instrument,
                               &listeners,
                               &busErrors}));
    chartPart.reset(
        new ChartPart({this, ui->Menu_ChartFile, ui->Menu_Chart, ui->Button_Chart, ui->Text_Path,
                       &runPart->controller(), logFilePart.get(), &settings}));
}

void MainForm::ConnectHandlers() {
    connect(ui->Menu_Exit, &QAction::triggered, this, &MainForm::Menu_Exit_Click);
    connect(ui->Menu_AboutSequor, &QAction::triggered, this, &MainForm::Menu_AboutSequor_Click);
    connect(ui->Menu_GPIB, &QAction::triggered, this, &MainForm::Menu_GPIB_Click);
    connectionPart->ConnectHandlers();
    timingPart->ConnectHandlers();
    logFilePart->ConnectHandlers();
    excelPart->ConnectHandlers();
    settingsSetsPart->ConnectHandlers();
    condPart->ConnectHandlers();
    runPart->ConnectHandlers();
    chartPart->ConnectHandlers();
    ConnectParts();
    // What starts bus traffic or changes the instrument a search or run talks to waits while
    // one is under way, in any window: the connection frame, Start, the tools, every recall.
    ctl::RefuseDuringBus(session.activity(), this, {ui->Frame1, ui->Button_Start},
                         ui->Menu_RecallSettings->actions()
                             << ui->Menu_GPIB << ui->Menu_Conditional);
}

// What one part does tells the others.
void MainForm::ConnectParts() {
    RunPart* run = runPart.get();
    connect(connectionPart.get(), &ConnectionPart::startStateChanged, run,
            &RunPart::UpdateStartButton);
    connect(timingPart.get(), &TimingPart::startStateChanged, run, &RunPart::UpdateStartButton);
    connect(logFilePart.get(), &LogFilePart::csvFileChanged, excelPart.get(),
            &ExcelPart::SetCsvMenus);
    SettingsSetsPart* sets = settingsSetsPart.get();
    connect(sets, &SettingsSetsPart::idOptionClicked, connectionPart.get(),
            &ConnectionPart::Option_ID_Click);
    connect(sets, &SettingsSetsPart::addressClicked, connectionPart.get(),
            &ConnectionPart::Combo_Addr_Click);
    connect(sets, &SettingsSetsPart::loaded, this, [this] {
        condPart->CondOnIndicator(settings.condOn());
        runPart->ClearProgress();
        timingPart->ApplyIfPending();
        // The log file the run would open follows the loaded folder and name.
        logFilePart->UpdateCsvFile();
    });
    connect(run, &RunPart::starting, condPart.get(), &CondPart::RunStarting);
    connect(run, &RunPart::finished, this, [this](const RunResult& result) {
        excelPart->SetCsvMenus();
        if (!result.TermReason.isEmpty()) condPart->ShowTermination(result.TermReason);
        if (startup.CloseAfterRun) {
            startup.CloseAfterRun = false;
            close();
        }
    });
    RunController& controller = run->controller();
    connect(&controller, &RunController::conditionSwitchedOff, this, [this] {
        settings.SwitchCondOff();
        condPart->CondOnIndicator(false);
    });
    connect(&controller, &RunController::rowMeasured, this, [this](const RunRow& row) {
        if (row.logged) emit rowLogged(row.line);
    });
    connect(&controller, &RunController::timerArmed, this, &MainForm::timerArmed);
}

void MainForm::Form_Load() {
    startup.AppTitle = AppTitle;
    startup.AppVersion = AppVersion();
    const QString title = TitleText();
    settingsSetsPart->SetTitleLine(title);
    setWindowTitle(title);
    ctl::ShowBusError(listeners.find(session.driver()));
    ctl::ShowBusError(instrument.open(listeners));
    connectionPart->FillAddresses();
}

void MainForm::QueueFirstActivation() {
    // The first activation shows a modal splash; run it after the event, not inside it, and
    // only once, however the window manager orders showing and activating.
    if (startup.ActivationQueued || startup.ActivationStarted) return;
    startup.ActivationQueued = true;
    QMetaObject::invokeMethod(this, &MainForm::Form_Activate, Qt::QueuedConnection);
}

void MainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) QueueFirstActivation();
}

void MainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // A desktop without a window manager never activates the window; showing it counts too.
    QueueFirstActivation();
}

void MainForm::Form_Activate() {
    // Set before the splash: an activation that arrives while the splash is up is no first one.
    if (startup.ActivationStarted) return;
    startup.ActivationStarted = true;
    settingsSetsPart->SetTitleLine(windowTitle());
    settingsSetsPart->ReadSetNames();
    settingsSetsPart->RecallSettings(0);
    settings.setDecimalSeparator(SystemDecimalSeparator());
    excelPart->ReadExcelPaths();
    logFilePart->UpdateCsvFile();
    Intro(startup.SplashSeconds, startup.AppTitle, startup.AppVersion, VersionDate);
    startup.Activated = true;
}

void MainForm::Menu_Exit_Click() {
    close();
}

void MainForm::Menu_GPIB_Click() {
    bus::Instrument::Loan loan = instrument.lend();
    // A fresh terminal each time: it opens as it did the first time, from its stored options.
    ManualForm terminal(loan, listeners, terminalSelection, this);
    terminal.ShowModal();
}

void MainForm::Menu_AboutSequor_Click() {
    if (!startup.About) {
        startup.About = new frmAbout(this);
        startup.About->setAttribute(Qt::WA_DeleteOnClose);
    }
    startup.About->show();
    startup.About->raise();
    startup.About->activateWindow();
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (runPart->running()) {
        // Never leave the run going behind a closed window: stop it, let it close the log,
        // and ask the exit question once it has ended.
        startup.CloseAfterRun = true;
        runPart->Button_Stop_Click();
        event->ignore();
        return;
    }
    if (ctl::CloseWaitsForBus(this, event)) return; // a search stops before its next listener
    if (settings.changed()) {
        const Answer a = platform::MsgBox("Exit", "Do you want to save the Startup settings ?",
                                          Buttons::YesNoCancel, Icon::Question, Answer::Yes);
        if (a == Answer::Cancel) {
            event->ignore();
            return;
        }
        // Settings the store refused are not given up silently: the window stays open.
        if (a == Answer::Yes && !settingsSetsPart->SaveSettings(0)) {
            event->ignore();
            return;
        }
    }
    event->accept();
}
