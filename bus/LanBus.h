#pragma once
// Instruments on the LAN behind the driver interface: a GPIB-LAN gateway that speaks VXI-11,
// where GPIB address N is the gateway's device "<interface>,N", and LAN instruments of their
// own, each at the address the user gave it, reached by VXI-11 or by a raw socket.
#include "bus/GpibDriver.h"
#include "bus/LanSocket.h"
#include "bus/Vxi11.h"
#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace gpib {

struct LanTarget {
    enum class Kind { Vxi11, Raw };
    Kind kind = Kind::Raw;
    QString host;
    quint16 port = 0;           // the raw socket's, or the portmapper's for VXI-11
    QByteArray device;          // the VXI-11 device name
    bool behindGateway = false; // a GPIB address: it listens only if it answers a poll

    bool operator==(const LanTarget&) const = default;
};

constexpr quint16 RawPort = 5025;
// "vxi11://<host>[:<portmapper port>][/<device>]" (device inst0 unless given) or
// "raw://<host>[:<port>]" (port 5025 unless given); nothing for any other text.
std::optional<LanTarget> ParseLanTarget(const QString& text);
// The instruments the store lists under the keys 1 to 30 (stored gives a key's text), by
// address; nothing when none is listed or one is not understood, and error says which.
std::optional<std::map<int, LanTarget>> LanInstruments(const std::function<QString(int)>& stored,
                                                       QString* error);

class LanBus : public Driver {
public:
    struct Options {
        int connectMs = 3000;      // a host that does not answer within this is not there
        int scanPollMs = 300;      // a silent address behind a gateway costs this in a search
        double timeoutScale = 1.0; // for tests over a fast simulated bench
        int minDeadlineMs = 100;   // no answer comes back over the network sooner
        int slackMs = 2000;        // beyond a call's own timeout, for the network
        long maxAnswer = 16 << 20; // a read holds no more in memory; more is an error
        qint64 maxFileAnswer = 1LL << 30;
    };
    // Which instrument, if any, stands at a GPIB address 1..30.
    using Targets = std::function<std::optional<LanTarget>(int pad)>;

    LanBus(Targets targets, Options options);
    ~LanBus() override;
    // Every address N of the interface behind a VXI-11 gateway.
    static Targets Gateway(const QString& host, quint16 pmPort, const QString& interface);
    // The listed instruments at their addresses.
    static Targets Listed(std::map<int, LanTarget> instruments);

    // Reaches the host of a gateway before the program relies on it; on failure returns
    // false and sets error to the text the user is shown.
    bool start(const QString& host, quint16 pmPort, QString* error);

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
    };
    // An open way to one instrument.
    struct Link {
        LanTarget target;
        vxi11::CoreClient* core = nullptr; // VXI-11: the host's channel
        std::uint32_t lid = 0;
        std::uint32_t maxWrite = 1024;
        LanSocket raw;                   // raw: the instrument's socket
        QByteArray inbox;                // raw: received, not yet read
        std::optional<char> pendingPoll; // a status byte ibwait took; ibrsp hands it on
    };
    using Sink = std::function<bool(const QByteArray&)>;

    Descriptor* descriptor(int ud);
    int deadlineMs(int tmo) const;
    Link* link(int pad);
    vxi11::CoreClient* channel(const LanTarget& target, QString* error);
    void drop(int pad);
    int vxiFailed(int pad, const vxi11::Result& r, long count);
    int rawFailed(int pad, LanSocket::Io io, long count);
    int write(const Descriptor& u, const QByteArray& data, bool end);
    int read(const Descriptor& u, const Sink& sink, long want, qint64 cap);
    int poll(Link& l, int pad, int timeoutMs, char* spr);
    int clear(int pad, int tmo);

    Targets targets_;
    Options options_;
    std::vector<Descriptor> descriptors_;
    std::map<int, std::unique_ptr<Link>> links_;                     // by address
    std::map<QString, std::unique_ptr<vxi11::CoreClient>> channels_; // by host and port
};

} // namespace gpib
