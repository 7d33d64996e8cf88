#pragma once
// The program's one main window: connection, timing, log file and the measurement run.
#include "bus/Instrument.h"
#include "bus/Listeners.h"
#include "common/ProgramInfo.h"
#include "measure/Run.h"
#include "measure/RunConditions.h"
#include "settings/Settings.h"
#include "terminal/Selection.h"
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTimer;
class LogWriter;
class frmAbout;
struct MainFormProbe;
namespace Ui {
class MainForm;
}

class MainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit MainForm(bus::Session& session, QWidget* parent = nullptr);
    ~MainForm() override;

    // Start-up when the window is loaded: title, bus scan, descriptor, address list.
    void Form_Load();
    // First activation: entries, decimal separator, log file path, splash. Runs once.
    void Form_Activate();

    // The conditions every later run consults; NoConditions until another is installed.
    void SetRunConditions(std::unique_ptr<RunConditions> conditions);
    // How long the splash shows at the first activation (0: not at all).
    void SetSplashSeconds(int seconds);

signals:
    // StartTimer armed Timer1 with this interval (lets a test follow the waits).
    void timerArmed(int intervalMs);
    // A run wrote a row to the log file.
    void rowLogged(const QByteArray& row);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend struct MainFormProbe;

    void ConnectHandlers();
    void QueueFirstActivation();
    // Start is enabled only when connected, a query is typed, the timing is applied and no
    // run is going on; every handler that changes one of these asks here.
    void UpdateStartButton();

    std::unique_ptr<Ui::MainForm> ui;
    // Control arrays, filled after setupUi.
    std::array<QRadioButton*, 3> Option_ID{};
    std::array<QLineEdit*, 3> Text_Time{};
    std::array<QRadioButton*, 2> Option_Time{};
    std::array<QCheckBox*, 3> Check_Log{};
    std::array<QAction*, 3> Menu_OpenExcel{}; // indices 1 and 2
    QTimer* Timer1 = nullptr;

    // Start-up, closing and the about box.
    struct StartupState {
        bool Activated = false;         // the first activation has finished
        bool ActivationStarted = false; // ... or is under way (its splash may be up)
        bool ActivationQueued = false;
        QString AppTitle;
        QString AppVersion;
        int SplashSeconds = 2;
        bool CloseAfterRun = false; // the window was closed during a run
        QPointer<frmAbout> About;   // the open about box, brought forward by a second click
    } startup;
    void CondOnIndicator(bool turnOn);
    void Timer1_Timer();
    void Menu_Exit_Click();
    void Check_Log_Click(int index);
    void Menu_AboutSequor_Click();
    // Opens the bus terminal modally; the measuring instrument's address is kept across it.
    void Menu_GPIB_Click();

    // The bus: the listeners found at start-up, the instrument this window measures with (lent
    // to the terminal while that is open), and the terminal's selection between its openings.
    bus::Session& session;
    bus::Listeners listeners;
    bus::Instrument instrument;
    term::Selection terminalSelection;

    // Connection to the measuring instrument.
    struct ConnectionState {
        bool Connected = false;
        int LastIdOption = 0;
    } connection;
    void Button_Connect_Click();
    void Option_ID_Click(int index);
    void Combo_Addr_Click();
    void Text_DeviceID_Change();
    void Text_DeviceID_DblClick();
    void Text_DeviceID_KeyPress(int& keyAscii);
    void Text_MeasQuery_Change();
    void Text_MeasQuery_DblClick();
    void Text_MeasQuery_KeyPress(int& keyAscii);
    void DropConnection();

    // Timing and the wait between sequences.
    struct TimingState {
        bool TimeApplied = false;
        bool TimerFired = false;
        bool TimeChangeGuard = false; // the change handler is clearing a box itself
        float IntervalSeconds = 0;
        float TotalSeconds = 0;
    } timing;
    void Text_Time_KeyPress(int index, int& keyAscii);
    void Text_Time_Change(int index);
    void Text_Time_DblClick(int index);
    void Option_Time_Click(int index);
    void Button_Clear_Click();
    void Button_ApplyTime_Click();
    void StartTimer(float seconds);
    void WaitForTimer(int intervalMs);

    // Log file location and name, and the spreadsheet menus.
    struct LogFileState {
        QString CsvFile; // always LogFilePath of the path and name boxes
        QString FileNameOnFocus;
        QString ExcelPath; // the spreadsheet program and the chart workbook
        QString PlotbookPath;
    } logFile;
    void Text_FileName_KeyPress(int& keyAscii);
    void Text_FileName_DblClick();
    void Text_FileName_GotFocus();
    void Text_FileName_LostFocus();
    void Text_Path_Change();
    void Button_Path_Click();
    void Button_File_Click();
    void Menu_LogFilePath_Click();
    void Menu_LogFileName_Click();
    void Menu_File_Click();
    void Menu_Tools_Click();
    void Menu_About_Click();
    void SetCsvMenus();
    void UpdateCsvFile();

    // The settings no control holds, and whether the entries differ from the start-up set.
    settings::Settings settings;

    // Settings sets: the start-up set (0) and the five named ones.
    struct SettingsSetsState {
        std::array<QString, 6> SetNames; // 1 to 5, as read at the first activation
        QString TitleLine;               // the title as loading left it, bus name included
    } settingsSets;
    std::array<QAction*, 6> Menu_Recall{}; // 0 is the start-up item
    std::array<QAction*, 6> Menu_Save{};
    QString TitleLine() const;
    QString FieldValue(settings::Field field) const;
    void ApplyField(settings::Field field, const QString& value, bool recall);
    void FinishLoading();
    void ReadSetNames();
    bool SaveSettings(int index); // false when the store refused it (the user has been told)
    void RecallSettings(int index);
    void RestoreDefaults();
    void Menu_Recall_Click(int index);
    void Menu_Save_Click(int index);
    void Menu_RecallDefault_Click();

    // The query test dialog and the spreadsheet hand-off.
    void Button_Test_Click();
    void ReadExcelPaths();
    void Menu_ExcelPath_Click();
    void Menu_PlotbookPath_Click();
    void Menu_OpenExcel_Click(int index);

    // The measurement run.
    struct RunState {
        bool Running = false;
        bool StopRequested = false;
        std::unique_ptr<RunConditions> Conditions;
        std::unique_ptr<LogWriter> Log;
        RunResult Result; // the last run's, kept for the termination report
    } run;
    void Button_Start_Click();
    void Button_Stop_Click();
    struct RunPlan;
    bool RunBegin(RunPlan& plan);
    // One sequence; false when the run is to end after it.
    bool RunSequence(RunPlan& plan, double seq);
    void RunFinish(RunPlan& plan);
    // Writes one line of the log; a refusal ends the run with a box.
    bool WriteRow(RunPlan& plan, const QByteArray& line);
    bool ChooseLogFile();
    void LockWindow(bool locked);
    RunHooks MakeRunHooks();

    // The conditional command: its dialog, its reports.
    void Button_CondCommand_Click();
    void Menu_Conditional_Click();
    void Menu_ShowConditional_Click();
    void Menu_ViewTerm_Click();
    // After a run a condition ended: the report window, and the menu item that shows it again.
    void ShowTermination();
};
