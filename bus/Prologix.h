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

// The byte the adapter is told to append after the byte that carried EOI (++eot_char).
constexpr char PrologixEot = 4;

// Where an answer ends in what the adapter sends for ++read eoi. The eot byte may be data as
// well, so it counts as the end only where it cannot be: right after the length that an
// IEEE 488.2 definite-length block (#<n><length><data>) declares, or right after a line end,
// the usual last byte of an answer. Anywhere else the adapter is asked whether it is done.
class PrologixAnswerEnd {
public:
    enum class Verdict { More, End, Ask };
    // Takes the next bytes of the answer; the verdict on the answer as it now stands.
    Verdict feed(const QByteArray& bytes);

private:
    QByteArray head_;       // the first bytes, as far as a block header reaches
    qint64 size_ = 0;       // bytes fed
    char last_[2] = {0, 0}; // the last two of them, the last one at [1]
    qint64 blockEnd_ = -1;  // where a definite-length block ends; 0: not one; -1: not known
};

class Prologix : public Driver {
public:
    struct Options {
        int versionDeadlineMs = 10000;    // some AR488 boards reset when the port opens
        int adapterReadMs = 500;          // ++read_tmo_ms: the adapter's own wait for a byte
        int scanPollMs = 300;             // deadline of one serial poll in the listener search
        double timeoutScale = 1.0;        // for tests over a fast simulated bench
        int minDeadlineMs = 100;          // no answer comes back through an adapter sooner
        long maxAnswer = 16 << 20;        // a read holds no more in memory; more is an error
        qint64 maxFileAnswer = 1LL << 30; // nor a read into a file: a talker that never ends
        AdapterClock* clock = nullptr;    // null: the steady clock
    };

    using StreamFactory = std::function<std::unique_ptr<ByteStream>()>;
    // The stream is made by start(), on the thread that will use it: Qt's serial port and
    // socket belong to the thread that made them. A stream that breaks is made and opened
    // anew at the next call.
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
    enum class Outcome { Whole, TimedOut, TooLong, Lost, SinkFailed };
    // Takes the bytes of an answer as they come; false when it cannot keep them.
    using Sink = std::function<bool(const QByteArray&)>;

    Descriptor* descriptor(int ud);
    int deadlineMs(int tmo) const;
    bool connect(QString* error);
    bool ready();
    bool send(const QByteArray& bytes);
    bool command(const QByteArray& text);
    bool address(int pad);
    bool sync(int timeoutMs);
    qsizetype versionReply(const QByteArray& data, qsizetype* end) const;
    bool discardStale();
    std::optional<QByteArray> line(int timeoutMs);
    Outcome answer(int timeoutMs, const Sink& sink, qint64 cap);
    std::optional<int> poll(int pad, int timeoutMs);
    int failed();
    int readFailed(Outcome outcome, long count);
    int write(Descriptor& u, const QByteArray& data);

    StreamFactory makeStream_;
    std::unique_ptr<ByteStream> stream_;
    QString name_;
    Options options_;
    AdapterClock& clock_;
    QByteArray version_;
    bool ar488_ = false;
    int addressed_ = -1;
    bool opened_ = false;   // the stream was open before: this is a reconnection
    int stallMs_ = 3000;    // how long a write may stand still: the call's own timeout
    bool unsynced_ = false; // the adapter may still send for an earlier request
    int markers_ = 0;       // ++ver sent whose reply has not come yet
    bool stalled_ = false;  // the stream broke because a write stood still
    QByteArray inbox_;      // received, not yet taken
    std::vector<Descriptor> descriptors_;
};

} // namespace gpib
