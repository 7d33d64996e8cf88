#include "app/MainForm.h"
#include "bus/BusAccess.h"
#include "bus/Discovery.h"
#include "measure/LogFile.h"
#include "measure/Processing.h"
#include "platform/Platform.h"
#include "settings/IntroForm.h"
#include "settings/SettingsStore.h"
#include "settings/frmAbout.h"
#include "ui_MainForm.h"
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QTimer>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

QString VersionDate;

MainForm::MainForm(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainForm) {
    ui->setupUi(this);
    Option_ID = {ui->Option_ID_0, ui->Option_ID_1, ui->Option_ID_2};
    Text_Time = {ui->Text_Time_0, ui->Text_Time_1, ui->Text_Time_2};
    Option_Time = {ui->Option_Time_0, ui->Option_Time_1};
    Check_Log = {ui->Check_Log_0, ui->Check_Log_1, ui->Check_Log_2};
    Menu_OpenExcel = {nullptr, ui->Menu_OpenExcel_1, ui->Menu_OpenExcel_2};
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
    ConnectHandlers();
}

MainForm::~MainForm() = default;

void MainForm::ConnectHandlers() {
    connect(Timer1, &QTimer::timeout, this, &MainForm::Timer1_Timer);
    connect(ui->Menu_Exit, &QAction::triggered, this, &MainForm::Menu_Exit_Click);
    connect(ui->Menu_AboutSequor, &QAction::triggered, this, &MainForm::Menu_AboutSequor_Click);
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

    // The run
    connect(ui->Button_Start, &QPushButton::clicked, this, &MainForm::Button_Start_Click);
    connect(ui->Button_Stop, &QPushButton::clicked, this, &MainForm::Button_Stop_Click);

    // Key, double-click and focus events of the text boxes arrive through eventFilter.
    for (QWidget* w :
         {static_cast<QWidget*>(ui->Text_DeviceID), static_cast<QWidget*>(ui->Text_MeasQuery),
          static_cast<QWidget*>(ui->Text_FileName), static_cast<QWidget*>(Text_Time[0]),
          static_cast<QWidget*>(Text_Time[1]), static_cast<QWidget*>(Text_Time[2])})
        w->installEventFilter(this);
}

// Turns a key event into the character code the key handlers filter: 13 Enter, 8 Backspace,
// otherwise the typed character; 0 for keys that are not typing (arrows, shortcuts).
static int KeyAsciiOf(const QKeyEvent* ke) {
    if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) return 13;
    if (ke->key() == Qt::Key_Backspace) return 8;
    if (ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return 0;
    const QString text = ke->text();
    if (text.size() != 1 || text.at(0).unicode() < 32) return 0;
    return text.at(0).unicode();
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit) return QMainWindow::eventFilter(watched, event);
    const int timeIndex =
        int(std::find(Text_Time.begin(), Text_Time.end(), edit) - Text_Time.begin());

    switch (event->type()) {
    case QEvent::KeyPress: {
        const int original = KeyAsciiOf(static_cast<QKeyEvent*>(event));
        if (original == 0) return false;
        int key = original;
        if (edit == ui->Text_DeviceID)
            Text_DeviceID_KeyPress(key);
        else if (edit == ui->Text_MeasQuery)
            Text_MeasQuery_KeyPress(key);
        else if (edit == ui->Text_FileName)
            Text_FileName_KeyPress(key);
        else if (timeIndex < 3)
            Text_Time_KeyPress(timeIndex, key);
        if (key == 0 || original == 13) return true;
        if (key != original) {
            edit->insert(QString(QChar(key)));
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonDblClick:
        if (edit == ui->Text_DeviceID)
            Text_DeviceID_DblClick();
        else if (edit == ui->Text_MeasQuery)
            Text_MeasQuery_DblClick();
        else if (edit == ui->Text_FileName)
            Text_FileName_DblClick();
        else if (timeIndex < 3)
            Text_Time_DblClick(timeIndex);
        return true;
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        if (edit != ui->Text_FileName) return false;
        // Focus that only follows a window change (a box appearing, another program) is not
        // the user leaving or entering the box.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
        if (event->type() == QEvent::FocusIn)
            Text_FileName_GotFocus();
        else
            Text_FileName_LostFocus();
        return false;
    }
    default:
        return false;
    }
}

void MainForm::Form_Load() {
    AppTitle = "Sequor";
    AppVersion = QStringLiteral("%1.%2%3")
                     .arg(SEQUOR_VERSION_MAJOR)
                     .arg(SEQUOR_VERSION_MINOR)
                     .arg(SEQUOR_VERSION_PATCH);
    VersionDate = "July 2009 rev. March 2023";
    setWindowTitle(AppTitle + ", v" + AppVersion + " - " + VersionDate);
    IoTimeout = 12;
    FindListeners();
    DeviceUd = FindDevice();
    ui->Combo_Addr->clear();
    ui->Combo_Addr->addItem("None");
    for (int i = 1; i <= ListenerList[0]; ++i)
        ui->Combo_Addr->addItem(QString::number(ListenerList[i]));
    ui->Button_Connect->setEnabled(false);
}

void MainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The first activation shows a modal splash; run it after the event, not inside it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !Activated)
        QMetaObject::invokeMethod(this, &MainForm::Form_Activate, Qt::QueuedConnection);
}

void MainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // A desktop without a window manager never activates the window; showing it counts too.
    if (!Activated) QMetaObject::invokeMethod(this, &MainForm::Form_Activate, Qt::QueuedConnection);
}

void MainForm::Form_Activate() {
    if (Activated) return;
    // Until named settings sets exist, the entries start as an empty store recalls them.
    ui->Text_Path->setText(DefaultFolder());
    ui->Text_FileName->setText("Test.csv");
    Option_Time[0]->setChecked(true);
    Text_Time[0]->setText("30");
    Text_Time[1]->setText("21");
    Check_Log[0]->setChecked(false);
    Check_Log[1]->setChecked(false);
    Check_Log[2]->setChecked(true);
    CondOnIndicator(false);
    if (ui->Button_ApplyTime->isEnabled()) Button_ApplyTime_Click();
    SettingsChanged = false;

    DecimalSeparator = SystemDecimalSeparator();
    CsvFile = LogFilePath(ui->Text_Path->text(), ui->Text_FileName->text());
    SetCsvMenus();
    Intro(SplashSeconds, AppTitle, AppVersion, VersionDate);
    Activated = true;
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
    TimerFired = true;
}

void MainForm::Menu_Exit_Click() {
    close();
}

void MainForm::Check_Log_Click(int) {
    SettingsChanged = true;
}

void MainForm::Menu_AboutSequor_Click() {
    auto* about = new frmAbout(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (Running) {
        // Never leave the run going behind a closed window: stop it, let it close the log,
        // and ask the exit question once it has ended.
        CloseAfterRun = true;
        Button_Stop_Click();
        event->ignore();
        return;
    }
    if (SettingsChanged) {
        const Answer a = platform::MsgBox("Exit", "Do you want to save the Startup settings ?",
                                          Buttons::YesNoCancel, Icon::Question, Answer::Yes);
        if (a == Answer::Cancel) {
            event->ignore();
            return;
        }
        // Yes saves the start-up set once named settings sets exist; now it just closes.
    }
    event->accept();
}

QString MainForm::DefaultFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\");
#else
    return QDir::homePath();
#endif
}
