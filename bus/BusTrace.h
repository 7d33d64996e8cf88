#pragma once
// A record of what went over the wire: one line per driver call, whatever the back-end. It
// is one layer around the back-end, always there, so a trace can start and stop while the
// program runs; while no trace is open the layer only passes the calls on.
//
// A line: the call's start (local time, milliseconds), the call, the descriptor and the
// address it was addressed to (or the board), the call's values, the bytes written or read
// between double quotes, ibsta, iberr and ibcntl after the call, and how long it took.
#include "bus/GpibDriver.h"
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <functional>
#include <map>

namespace gpib {

// Bytes as trace text, every byte visible: printable ASCII stands for itself, except
// backslash and double quote, which get a backslash; CR, LF and tab are \r, \n and \t; every
// other byte (NUL, control bytes, 127 and above) is \x and two hex digits.
QByteArray TraceEscaped(const char* bytes, long count);

// Where the trace goes when the program starts: SEQUOR_TRACE when set, else the per-user
// store (application "Sequor", section "Bus", key "Trace"); empty: no trace.
QString ChosenTraceFile();

// The layer's clocks; tests script them.
struct TraceClock {
    std::function<QDateTime()> now; // wall time at a call's start
    std::function<qint64()> nanos;  // steady time, for durations
};

class TracedDriver : public Driver {
public:
    explicit TracedDriver(Driver& inner, TraceClock clock = {});
    ~TracedDriver() override;
    TracedDriver(const TracedDriver&) = delete;
    TracedDriver& operator=(const TracedDriver&) = delete;

    // Appends the lines of every call from now on to the file; false, with the reason in
    // error, when the file cannot be opened for appending.
    bool start(const QString& file, QString* error);
    void stop();
    bool active() const { return file_.isOpen(); }
    QString fileName() const { return file_.fileName(); }

    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
    int ibpad(int ud, int pad) override;
    int ibwrt(int ud, const void* buf, long count) override;
    int ibrd(int ud, void* buf, long count) override;
    int ibwait(int ud, int mask) override;
    int ibask(int ud, int option, int* value) override;
    int ibtmo(int ud, int v) override;
    int ibrsp(int ud, char* spr) override;
    int ibclr(int ud) override;
    int ibsre(int ud, int v) override;
    int ibrdf(int ud, const char* fileName) override;
    int ibwrtf(int ud, const char* fileName) override;
    void SendIFC(int board) override;
    void FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList, int limit) override;
    void DevClear(int board, Addr4882_t address) override;
    void reportCallsTo(BusActivity* activity) override { inner_.reportCallsTo(activity); }

private:
    struct Started {
        QDateTime at;
        qint64 nanos;
    };
    int pass(int result);
    Started begin() const;
    QByteArray onDescriptor(int ud) const;
    void write(const Started& started, const char* call, const QByteArray& what);

    Driver& inner_;
    TraceClock clock_;
    QFile file_;
    std::map<int, int> pads_; // the address each descriptor is addressed to, kept while off too
};

} // namespace gpib
