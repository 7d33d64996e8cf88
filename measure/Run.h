#pragma once
// What a run decides outside the window: the state of the Start button, one answer's
// processing, the progress bar's scale and the progress labels, how a wait is cut into timer
// periods, and how it ended.
#include <QByteArray>
#include <QString>

// Start can be clicked: connected, a query typed, the timing applied and no run going on.
bool StartEnabled(bool connected, bool queryPresent, bool timeApplied, bool running);

struct ProcessedAnswer {
    QByteArray text;   // the measured field of the row, converted and with the user's separator
    QByteArray shown;  // what the answer box shows: the text without outer spaces
    float value = 0;   // the number the answer starts with, before any conversion
    bool valid = true; // false: decimal notation was asked for and the answer has no number
};
// The rest of an answer's processing after the exclusions.
ProcessedAnswer ProcessAnswer(const QByteArray& excluded, bool decNotation,
                              const QString& separator);

// The text of the box an answer with no number gets under decimal notation.
QString MeasurementFormatText(const QByteArray& answer);
extern const char* const InvalidMeasurementRow;

// A progress bar holds an int; a count above that range is shown in proportion.
struct ProgressScale {
    int maximum = 0;
    double perStep = 1;
    int valueAt(double seq) const;
};
ProgressScale ProgressFor(double sequenceCount);

struct ProgressLabels {
    QString current;
    QString remaining;
    QString elapsed;
    QString remainingTime;
};
ProgressLabels LabelsAfter(double seq, double sequenceCount, float elapsed, float totalSeconds);

// One wait as timer periods: whole minutes of 60000 ms each, then the rest in whole seconds.
struct WaitPlan {
    qint64 minutes = 0;
    int restMs = 0;
};
WaitPlan PlanWait(float seconds);

// How a run ended: the sequence frame shows it, and the main window keeps it for "View Reason
// for Terminated Sequence".
struct RunResult {
    enum End { Completed, Stopped, Terminated } end = Completed;
    QString TermReason; // the termination report when a condition ended the run, else empty
    // "Completed", "Stop'd by User" or "Terminated".
    QString endText() const;
};
