#pragma once
// The log file: free-name proposal, header, row fields, and a writer that hands every line
// to the operating system as it is written.
#include <QByteArray>
#include <QString>
#include <QTime>
#include <array>
#include <functional>

// The name proposed when a file of this name exists ("Test_05.csv" -> "Test_06.csv").
QString ProposeFreeName(const QString& fileName);

// Settles the log file's name before a run, asking as the window does: "File Name Error" for
// no name; while a file of the name exists, "File Error" proposes a free name (Yes takes it and
// asks again, No replaces the file, Cancel refuses). renamed hears every name taken.
// False: the run must not start.
bool ChooseLogFile(const QString& folder, QString* name,
                   const std::function<void(const QString&)>& renamed = {});

// "sep=;" line (only with a "." separator) is separate; this is the header without CR LF.
// columns: PC time, time from start, sequence number.
QByteArray HeaderLine(const std::array<bool, 3>& columns);
// The x-axis fields of one row, each followed by ";".
QByteArray RowPrefix(const std::array<bool, 3>& columns, const QTime& pcTime, float elapsed,
                     qint64 sequence);
// A row as a run without a window prints it: the sequence number, the ticked time columns
// and the measured field, separated by tabs.
QByteArray ConsoleLine(qint64 sequence, const std::array<bool, 3>& columns, const QTime& pcTime,
                       float elapsed, const QByteArray& measured);
// Time of day in the user's locale, with seconds and without a time zone.
QString PcTimeText(const QTime& time);
// A locale's long time format made fit for a log column: no time zone, seconds present.
QString TimeOfDayFormat(const QString& longFormat);

enum class OpenFailure { None, NotFound, PermissionDenied, Other };
// The "File Error" box text for a failure to open.
QString OpenFailureText(OpenFailure failure, const QString& fileName);

// False for a name that holds a path separator or NUL, is empty, or is "." / "..".
bool NameStaysInFolder(const QString& fileName);
// Folder + name, joined with the platform's separator. A name that holds a path separator
// or is "." / ".." would leave the folder: then empty.
QString LogFilePath(const QString& folder, const QString& fileName);

// How often a written row is forced to the disk (every row reaches the OS at once anyway).
enum class SyncPolicy { EveryRow, AtMostOncePerSecond };

class LogWriter {
public:
    LogWriter() = default;
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    OpenFailure open(const QString& path, SyncPolicy policy = SyncPolicy::EveryRow);
    // Writes the bytes plus CR LF; returns false when the OS refused them.
    bool writeLine(const QByteArray& line);
    void close();
    bool isOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    SyncPolicy policy_ = SyncPolicy::EveryRow;
    qint64 lastSyncMs_ = 0;
};
