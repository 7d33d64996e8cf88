#pragma once
// The program's one main window: connection, timing, log file and the measurement run.
#include <QMainWindow>
#include <QString>
#include <array>
#include <memory>

// Program-wide: the release date text shown in the title and the splash.
extern QString VersionDate;

class QAction;
class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTimer;
class LogWriter;
namespace Ui {
class MainForm;
}

class MainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit MainForm(QWidget* parent = nullptr);
    ~MainForm() override;

    // Start-up when the window is loaded: title, bus scan, descriptor, address list.
    void Form_Load();
    // First activation: decimal separator, log file path, splash. Later calls do nothing.
    void Form_Activate();

    std::unique_ptr<Ui::MainForm> ui;
    // Control arrays, filled after setupUi.
    std::array<QRadioButton*, 3> Option_ID{};
    std::array<QLineEdit*, 3> Text_Time{};
    std::array<QRadioButton*, 2> Option_Time{};
    std::array<QCheckBox*, 3> Check_Log{};
    std::array<QAction*, 3> Menu_OpenExcel{}; // indices 1 and 2
    QTimer* Timer1 = nullptr;

    // Window state.
    bool Activated = false;
    bool Connected = false;
    bool TimeApplied = false;
    bool TimerFired = false;
    bool StopRequested = false;
    int LastIdOption = 0;
    QString AppTitle;
    QString AppVersion;
    float IntervalSeconds = 0;
    float TotalSeconds = 0;
    QString CsvFile;
    QString FileNameOnFocus;
    bool Running = false;       // a run is in progress
    bool CloseAfterRun = false; // the window was closed during a run
    int SplashSeconds = 2;      // how long the splash shows at first activation
    QString ExcelPath;          // the spreadsheet program and the chart workbook
    QString PlotbookPath;

    // Start-up and closing.
    void CondOnIndicator(bool turnOn);
    void Timer1_Timer();
    void Menu_Exit_Click();
    void Check_Log_Click(int index);
    void Menu_AboutSequor_Click();

    // Connection.
    void Button_Connect_Click();
    void Option_ID_Click(int index);
    void Combo_Addr_Click();
    void Text_DeviceID_Change();
    void Text_DeviceID_DblClick();
    void Text_DeviceID_KeyPress(int& keyAscii);
    void Text_MeasQuery_Change();
    void Text_MeasQuery_DblClick();
    void Text_MeasQuery_KeyPress(int& keyAscii);

    // Timing.
    void Text_Time_KeyPress(int index, int& keyAscii);
    void Text_Time_Change(int index);
    void Text_Time_DblClick(int index);
    void Option_Time_Click(int index);
    void Button_Clear_Click();
    void Button_ApplyTime_Click();
    void StartTimer(float seconds);

    // Log file location and name.
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
    // The default folder of the platform ("c:\" where drives exist, the home folder here).
    static QString DefaultFolder();

    // The run.
    void Button_Start_Click();
    void Button_Stop_Click();

signals:
    // StartTimer armed Timer1 with this interval (lets a test follow the waits).
    void timerArmed(int intervalMs);
    // A run wrote a row to the log file.
    void rowLogged(const QByteArray& row);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ConnectHandlers();
    void WaitForTimer(int intervalMs);
    bool ChooseLogFile();
    void LockWindow(bool locked);

    bool TimeChangeGuard = false; // the change handler is clearing a box itself
    std::unique_ptr<LogWriter> Log;
};
