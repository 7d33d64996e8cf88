#pragma once
// GPIB through a Prologix GPIB-USB/-Ethernet adapter or an AR488, which speak the "++"
// protocol over a byte stream. Commands to the adapter start with "++"; everything else is
// data for the addressed instrument.
#include "bus/ByteStream.h"
#include "bus/GpibDriver.h"
#include <QByteArray>
#include <QList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace gpib {

// Data for an instrument: CR, LF, ESC and "+" each get an ESC in front, so the adapter takes
// them as data, not as the end of a line or the start of a command.
QByteArray PrologixEscaped(const QByteArray& data);
// A serial poll answer: the status byte in decimal on a line of its own.
std::optional<int> PrologixPollByte(const QByteArray& line);
// AR488's listener list: addresses separated by commas; the valid ones, ascending, once each.
QList<int> PrologixListeners(const QByteArray& line);

class Prologix : public Driver {
public:
    struct Options {
        int versionDeadlineMs = 10000; // some AR488 boards reset when the port opens
        int adapterReadMs = 500;       // ++read_tmo_ms: the adapter's own wait for a byte
        int scanPollMs = 300;          // deadline of one serial poll in the listener search
        double timeoutScale = 1.0;     // for tests over a fast simulated bench
        int minDeadlineMs = 100;       // no answer comes back through an adapter sooner
        long maxAnswer = 16 << 20;     // an adapter that never stops talking is cut off here
    };

    using StreamFactory = std::function<std::unique_ptr<ByteStream>()>;
    // The stream is made by start(), on the thread that will use it: Qt's serial port and
    // socket belong to the thread that made them.
    Prologix(StreamFactory makeStream, const QString& name, Options options);
    Prologix(StreamFactory makeStream, const QString& name);
    ~Prologix() override;

    // Opens the stream, waits for the adapter's ++ver and sets it up. On failure returns
    // false and sets error to the text the user is shown.
    bool start(QString* error);
    QByteArray version() const { return version_; }
    bool isAr488() const { return ar488_; }

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

private:
    struct Descriptor {
        int pad;
        int tmo;
        QByteArray unread; // the rest of an answer longer than the caller's buffer
    };

    Descriptor* descriptor(int ud);
    int deadlineMs(int tmo) const;
    bool send(const QByteArray& bytes);
    bool command(const QByteArray& text);
    bool address(int pad);
    void discardStale();
    std::optional<QByteArray> line(int timeoutMs);
    std::optional<QByteArray> answer(int timeoutMs);
    std::optional<int> poll(int pad, int timeoutMs);
    int lost();
    int write(Descriptor& u, const QByteArray& data);

    StreamFactory makeStream_;
    std::unique_ptr<ByteStream> stream_;
    QString name_;
    Options options_;
    QByteArray version_;
    bool ar488_ = false;
    int addressed_ = -1;
    QByteArray inbox_; // received, not yet taken
    std::vector<Descriptor> descriptors_;
};

} // namespace gpib
