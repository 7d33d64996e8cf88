#pragma once
// The main window's sequence frame: Start and Stop, the progress, the answer box. It gathers
// the run's settings from the other frames, hands them to a RunController and shows what that
// emits.
#include "measure/RunController.h"
#include <QObject>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QWidget;
class ConnectionPart;
class LogFilePart;
class TimingPart;
struct MainFormProbe;
namespace settings {
class Settings;
}

class RunPart : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QPushButton* Button_Start;
        QPushButton* Button_Stop;
        QProgressBar* ProgressBar1;
        QLabel* Label_CurrentSequence;
        QLabel* Label_RemainingSequences;
        QLabel* Label_ElapsedTime;
        QLabel* Label_RemainingTime;
        QLineEdit* Text_MeasResponse;
        QLineEdit* Text_MeasQuery;
        // What a run locks.
        QGroupBox* Frame1;
        QGroupBox* Frame2;
        QGroupBox* Frame3;
        QMenu* Menu_File;
        QMenu* Menu_Tools;
        // Where the run's settings come from.
        const ConnectionPart* connection;
        const TimingPart* timing;
        LogFilePart* logFile;
        const settings::Settings* settings;
        const bus::Instrument* instrument;
        const bus::Listeners* listeners;
        bus::ErrorPolicy* errors;
    };
    explicit RunPart(const Parts& parts);
    void ConnectHandlers();

    RunController& controller() { return run_; }
    bool running() const { return run_.running(); }
    // Start is enabled only when connected, a query is typed, the timing is applied and no
    // run is going on: whatever changes one of these asks here.
    void UpdateStartButton();
    // A loaded set shows no progress of an earlier run.
    void ClearProgress();
    void Button_Start_Click();
    void Button_Stop_Click();

signals:
    // Start was clicked and passed the first check.
    void starting();
    void finished(const RunResult& result);

private:
    friend struct MainFormProbe;
    Parts c;
    RunController run_;
    struct RunState {
        RunResult Result; // the last run's
        double SequenceCount = 0;
        float TotalSeconds = 0;
        ProgressScale Progress;
    } run;

    void LockWindow(bool locked);
    void Run_Started(const RunSettings& settings);
    void Run_Measuring(double seq);
    void Run_RowMeasured(const RunRow& row);
    void Run_Stopping();
    void Run_Finished(const RunResult& result);
};
