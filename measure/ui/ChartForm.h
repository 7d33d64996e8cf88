#pragma once
// The chart of a log: the measured values against the logged x column, read from the log file
// and read again as it grows, so it shows a finished log and a run's log as the rows arrive.
// Rows that are not numbers leave gaps; the conditional command's target shows as levels and
// the rows where a condition was met as marks.
#include "measure/ChartData.h"
#include "measure/LogReader.h"
#include "ui_ChartForm.h"
#include <QDialog>
#include <QPointer>
#include <vector>

class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QTimer;
class QChart;

class ChartForm : public QDialog {
    Q_OBJECT
public:
    explicit ChartForm(QWidget* parent = nullptr);
    ~ChartForm() override;

    // Opens the chart of a log file beside the main window; a file that is not a log gets a
    // box naming the line that could not be read, and no window. Null then.
    static ChartForm* ShowFile(QWidget* mainWindow, const QString& path);

    // Reads the log from the start; a file with no header yet is fine when live (a run is
    // about to write it). False, with error(), when it is not a log.
    bool Open(const QString& path, bool live = false);
    // The run wrote a row: read it now rather than at the next look at the file.
    void RowWritten();
    // The conditional command's target levels (a band: both ends), drawn across the plot.
    void SetLevels(const QList<double>& levels);
    // A condition was met at the last row read.
    void ConditionMet();
    QString error() const { return error_; }
    QString path() const { return path_; }

    // What the plot draws: each segment joined, single points as dots.
    QList<QList<QPointF>> DrawnSegments() const;
    const chart::ChartData& data() const { return data_; }

    Ui::ChartForm ui;
    void Button_Reset_Click();
    void Check_Follow_Click();
    void Button_ExportPng_Click();
    void Button_ExportSvg_Click();
    void Chart_Plot_UserMoved();
    void Chart_Plot_PointerAt(QPointF value);
    void Timer_Tail_Timer();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ConnectHandlers();
    // Reads what the file has gained; false when it stopped being a log.
    bool ReadMore();
    // The axes around all points (when following), then the reduction to the plot's columns.
    void Redraw(bool full);
    void ShowSeries();
    void ShowStatus();
    double PlotX(double logX) const;
    QString XText(double plotX) const;
    QString ExportName(const QString& extension) const;

    QString path_;
    qint64 offset_ = 0;
    bool live_ = false;
    QString error_;
    chart::LogReader reader_;
    chart::ChartData data_;
    chart::Reduced reduced_;
    QList<double> levels_;
    QList<QPointF> marks_;
    bool settingRange_ = false;
    bool redrawQueued_ = false;

    QChart* chart_ = nullptr;
    QValueAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
    std::vector<QLineSeries*> lines_;
    QScatterSeries* dots_ = nullptr;
    QScatterSeries* marksSeries_ = nullptr;
    std::vector<QLineSeries*> levelSeries_;
    QTimer* Timer_Tail = nullptr;
};
