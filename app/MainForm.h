#pragma once
// The program's one main window, composed of its parts: connection, timing, log file, settings
// sets, spreadsheet menus, the conditional command and the measurement run. The window builds
// them, hands each its controls and wires their signals.
#include "bus/Instrument.h"
#include "bus/Listeners.h"
#include "common/ProgramInfo.h"
#include "measure/RunConditions.h"
#include "settings/Settings.h"
#include "terminal/Selection.h"
#include "widgets/BusErrorBoxes.h"
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>

class frmAbout;
class ChartPart;
class CondPart;
class ConnectionPart;
class ExcelPart;
class LogFilePart;
class RunPart;
class SettingsSetsPart;
class TimingPart;
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
    // A run's wait armed its timer with this interval (lets a test follow the waits).
    void timerArmed(int intervalMs);
    // A run wrote a row to the log file.
    void rowLogged(const QByteArray& row);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend struct MainFormProbe;

    void BuildParts();
    void ConnectHandlers();
    void ConnectParts();
    void QueueFirstActivation();

    std::unique_ptr<Ui::MainForm> ui;

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
    void Menu_Exit_Click();
    void Menu_AboutSequor_Click();
    // Opens the bus terminal modally; the measuring instrument's address is kept across it.
    void Menu_GPIB_Click();

    // The bus: the listeners found at start-up, the instrument this window measures with (lent
    // to the terminal while that is open), and the terminal's selection between its openings.
    bus::Session& session;
    bus::Listeners listeners;
    bus::Instrument instrument;
    term::Selection terminalSelection;
    ctl::BusErrorBoxes busErrors;
    // The settings no control holds, and whether the entries differ from the start-up set.
    settings::Settings settings;

    std::unique_ptr<ConnectionPart> connectionPart;
    std::unique_ptr<TimingPart> timingPart;
    std::unique_ptr<LogFilePart> logFilePart;
    std::unique_ptr<ExcelPart> excelPart;
    std::unique_ptr<SettingsSetsPart> settingsSetsPart;
    std::unique_ptr<CondPart> condPart;
    std::unique_ptr<RunPart> runPart;
    std::unique_ptr<ChartPart> chartPart;
};
