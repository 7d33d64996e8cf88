#include "app/MainForm.h"
#include "bus/Session.h"
#include "condition/CondTracker.h"
#include "measure/LogFile.h"
#include "measure/Processing.h"
#include "platform/Platform.h"
#include "settings/LogFileLocation.h"
#include "settings/ui/IntroForm.h"
#include "settings/ui/frmAbout.h"
#include "terminal/ui/ManualForm.h"
#include "ui_MainForm.h"
#include "widgets/BusErrorBoxes.h"
#include "widgets/BusGate.h"
#include "widgets/ControlEvents.h"
#include <QCloseEvent>
#include <QTimer>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

MainForm::MainForm(bus::Session& session, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainForm), session(session), instrument(session) {
    ui->setupUi(this);
    Option_ID = {ui->Option_ID_0, ui->Option_ID_1, ui->Option_ID_2};
    Text_Time = {ui->Text_Time_0, ui->Text_Time_1, ui->Text_Time_2};
    Option_Time = {ui->Option_Time_0, ui->Option_Time_1};
    Check_Log = {ui->Check_Log_0, ui->Check_Log_1, ui->Check_Log_2};
    Menu_OpenExcel = {nullptr, ui->Menu_OpenExcel_1, ui->Menu_OpenExcel_2};
    Menu_Recall = {ui->Menu_RecallStartUp, ui->Menu_Recall1, ui->Menu_Recall2,
                   ui->Menu_Recall3,       ui->Menu_Recall4, ui->Menu_Recall5};
    Menu_Save = {ui->Menu_SaveStartUp, ui->Menu_Save1, ui->Menu_Save2,
                 ui->Menu_Save3,       ui->Menu_Save4, ui->Menu_Save5};
    // Only the sequence frame's caption turns bold with the indicator, not its controls.
    for (QWidget* child : ui->Frame4->findChildren<QWidget*>()) {
        QFont font = child->font();
        font.setBold(false);
        child->setFont(font);
    }
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setSingleShot(false);
    // A coarse timer may end a wait up to 5 % early or late, which shifts every measurement.
    Timer1->setTimerType(Qt::PreciseTimer);
    // The ID answer row keeps its space when the address mode hides it: nothing below moves
    // under the user's mouse.
    for (QWidget* w :
         {static_cast<QWidget*>(ui->Label10), static_cast<QWidget*>(ui->Text_IDResponse)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    ctl::PreferMenuAccessKeys(ui->menubar, this);
    SetRunConditions(std::make_unique<CondTracker>(settings.condCommand()));
    ConnectHandlers();
}

MainForm::~MainForm() = default;

void MainForm::SetSplashSeconds(int seconds) {
    startup.SplashSeconds = seconds;
}

void MainForm::ConnectHandlers() {
    connect(Timer1, &QTimer::timeout, this, &MainForm::Timer1_Timer);
    connect(ui->Menu_Exit, &QAction::triggered, this, &MainForm::Menu_Exit_Click);
    connect(ui->Menu_AboutSequor, &QAction::triggered, this, &MainForm::Menu_AboutSequor_Click);
    connect(ui->Menu_GPIB, &QAction::triggered, this, &MainForm::Menu_GPIB_Click);
    for (int i = 0; i < 3; ++i)
        connect(Check_Log[i], &QCheckBox::clicked, this, [this, i] { Check_Log_Click(i); });

    // Connection
    connect(ui->Button_Connect, &QPushButton::clicked, this, &MainForm::Button_Connect_Click);
    for (int i = 0; i < 3; ++i)
        connect(Option_ID[i], &QRadioButton::clicked, this, [this, i] { Option_ID_Click(i); });
    connect(ui->Combo_Addr, &QComboBox::activated, this, &MainForm::Combo_Addr_Click);
    connect(ui->Text_DeviceID, &QLineEdit::textChanged, this, &MainForm::Text_DeviceID_Change);
    connect(ui->Text_MeasQuery, &QLineEdit::textChanged, this, &MainForm::Text_MeasQuery_Change);

    // Timing
    for (int i = 0; i < 3; ++i)
        connect(Text_Time[i], &QLineEdit::textChanged, this, [this, i] { Text_Time_Change(i); });
    for (int i = 0; i < 2; ++i)
        connect(Option_Time[i], &QRadioButton::clicked, this, [this, i] { Option_Time_Click(i); });
    connect(ui->Button_Clear, &QPushButton::clicked, this, &MainForm::Button_Clear_Click);
    connect(ui->Button_ApplyTime, &QPushButton::clicked, this, &MainForm::Button_ApplyTime_Click);

    // Log file
    connect(ui->Text_Path, &QLineEdit::textChanged, this, &MainForm::Text_Path_Change);
    connect(ui->Button_Path, &QPushButton::clicked, this, &MainForm::Button_Path_Click);
    connect(ui->Button_File, &QPushButton::clicked, this, &MainForm::Button_File_Click);
    connect(ui->Menu_LogFilePath, &QAction::triggered, this, &MainForm::Menu_LogFilePath_Click);
    connect(ui->Menu_LogFileName, &QAction::triggered, this, &MainForm::Menu_LogFileName_Click);
    connect(ui->Menu_File, &QMenu::aboutToShow, this, &MainForm::Menu_File_Click);
    connect(ui->Menu_Tools, &QMenu::aboutToShow, this, &MainForm::Menu_Tools_Click);
    connect(ui->Menu_About, &QMenu::aboutToShow, this, &MainForm::Menu_About_Click);

    // The conditional command
    connect(ui->Button_CondCommand, &QPushButton::clicked, this,
            &MainForm::Button_CondCommand_Click);
    connect(ui->Menu_Conditional, &QAction::triggered, this, &MainForm::Menu_Conditional_Click);
    connect(ui->Menu_ShowConditional, &QAction::triggered, this,
            &MainForm::Menu_ShowConditional_Click);
    connect(ui->Menu_ViewTerm, &QAction::triggered, this, &MainForm::Menu_ViewTerm_Click);

    // Settings sets
    for (int i = 0; i <= 5; ++i) {
        connect(Menu_Recall[i], &QAction::triggered, this, [this, i] { Menu_Recall_Click(i); });
        connect(Menu_Save[i], &QAction::triggered, this, [this, i] { Menu_Save_Click(i); });
    }
    connect(ui->Menu_RecallDefault, &QAction::triggered, this, &MainForm::Menu_RecallDefault_Click);

    // The query test dialog and the spreadsheet hand-off
    connect(ui->Button_Test, &QPushButton::clicked, this, &MainForm::Button_Test_Click);
    connect(ui->Menu_ExcelPath, &QAction::triggered, this, &MainForm::Menu_ExcelPath_Click);
    connect(ui->Menu_PlotbookPath, &QAction::triggered, this, &MainForm::Menu_PlotbookPath_Click);
    for (int i = 1; i <= 2; ++i)
        connect(Menu_OpenExcel[i], &QAction::triggered, this,
                [this, i] { Menu_OpenExcel_Click(i); });

    // The run
    connect(ui->Button_Start, &QPushButton::clicked, this, &MainForm::Button_Start_Click);
    connect(ui->Button_Stop, &QPushButton::clicked, this, &MainForm::Button_Stop_Click);

    // Keys, double clicks and focus of the text boxes, through the shared translation.
    ctl::Attach(ui->Text_DeviceID, {.keyPress = [this](int& k) { Text_DeviceID_KeyPress(k); },
                                    .dblClick = [this] { Text_DeviceID_DblClick(); }});
    ctl::Attach(ui->Text_MeasQuery, {.keyPress = [this](int& k) { Text_MeasQuery_KeyPress(k); },
                                     .dblClick = [this] { Text_MeasQuery_DblClick(); }});
    ctl::Attach(ui->Text_FileName, {.keyPress = [this](int& k) { Text_FileName_KeyPress(k); },
                                    .dblClick = [this] { Text_FileName_DblClick(); },
                                    .gotFocus = [this] { Text_FileName_GotFocus(); },
                                    .lostFocus = [this] { Text_FileName_LostFocus(); }});
    for (int i = 0; i < 3; ++i)
        ctl::Attach(Text_Time[i], {.keyPress = [this, i](int& k) { Text_Time_KeyPress(i, k); },
                                   .dblClick = [this, i] { Text_Time_DblClick(i); }});

    // What starts bus traffic or changes the instrument a search or run talks to waits while
    // one is under way, in any window: the connection frame, Start, the tools, every recall.
    ctl::RefuseDuringBus(session.activity(), this, {ui->Frame1, ui->Button_Start},
                         ui->Menu_RecallSettings->actions()
                             << ui->Menu_GPIB << ui->Menu_Conditional);
}

void MainForm::Form_Load() {
    startup.AppTitle = AppTitle;
    startup.AppVersion = AppVersion();
    setWindowTitle(TitleLine());
    ctl::ShowBusError(listeners.find(session.driver()));
    ctl::ShowBusError(instrument.open(listeners));
    ui->Combo_Addr->clear();
    ui->Combo_Addr->addItem("None");
    for (int i = 1; i <= listeners.count(); ++i)
        ui->Combo_Addr->addItem(QString::number(listeners.at(i)));
    ui->Button_Connect->setEnabled(false);
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
    settingsSets.TitleLine = windowTitle();
    ReadSetNames();
    RecallSettings(0);
    settings.setDecimalSeparator(SystemDecimalSeparator());
    ReadExcelPaths();
    UpdateCsvFile();
    Intro(startup.SplashSeconds, startup.AppTitle, startup.AppVersion, VersionDate);
    startup.Activated = true;
}

void MainForm::CondOnIndicator(bool turnOn) {
    ui->Frame4->setTitle(turnOn ? " Sequence - Conditional Command ON "
                                : " Sequence - Conditional Command OFF ");
    QFont font = ui->Frame4->font();
    font.setBold(turnOn);
    ui->Frame4->setFont(font);
    const QColor colour = turnOn ? QColor(0, 0, 255) : palette().color(QPalette::ButtonText);
    ui->Frame4->setStyleSheet(
        QStringLiteral("QGroupBox#Frame4::title { color: %1; }").arg(colour.name()));
    ui->Menu_ShowConditional->setEnabled(turnOn);
}

void MainForm::Timer1_Timer() {
    timing.TimerFired = true;
}

void MainForm::Menu_Exit_Click() {
    close();
}

void MainForm::Check_Log_Click(int) {
    settings.markChanged();
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
    if (run.Running) {
        // Never leave the run going behind a closed window: stop it, let it close the log,
        // and ask the exit question once it has ended.
        startup.CloseAfterRun = true;
        Button_Stop_Click();
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
        if (a == Answer::Yes && !SaveSettings(0)) {
            event->ignore();
            return;
        }
    }
    event->accept();
}
