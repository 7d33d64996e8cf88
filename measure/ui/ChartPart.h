#pragma once
// The main window's ways into the chart: File > "Open Log File in Chart…" for any log, and
// Tools > "Chart" or the Chart button for the running or the last run, which the chart follows
// row by row from the run's signals, with the conditional command's levels and its marks.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class ChartForm;
class LogFilePart;
class QAction;
class QLineEdit;
class QPushButton;
class QWidget;
class RunController;
struct RunRow;
struct RunSettings;
namespace settings {
class Settings;
}

class ChartPart : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window;
        QAction* Menu_ChartFile;
        QAction* Menu_Chart;
        QPushButton* Button_Chart;
        QLineEdit* Text_Path;
        RunController* run;
        const LogFilePart* logFile;
        const settings::Settings* settings;
    };
    explicit ChartPart(const Parts& parts) : c(parts) {}
    void ConnectHandlers();

    void Menu_ChartFile_Click();
    void Menu_Chart_Click();
    // The run's chart, while it is open.
    ChartForm* runChart() const;

private:
    void Run_Started(const RunSettings& settings);
    void Run_RowMeasured(const RunRow& row);

    Parts c;
    QPointer<ChartForm> chart_;
    QString runLog_; // the log of the running or the last run; empty before the first
    QList<double> levels_;
};
