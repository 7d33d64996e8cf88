#pragma once
// LAN instruments in front of a simulated bench, on 127.0.0.1 only: a VXI-11 host (its
// portmapper and core channel; device "gpib0,N" is the bench's address N) and raw sockets
// (one port per address, a line that ends in "?" is a query). It serves on its own thread;
// destroyed, it closes every connection as a host that went away does.
#include "bus/GpibDriver.h"
#include "bus/Vxi11.h"
#include <QByteArray>
#include <QList>
#include <atomic>
#include <map>
#include <thread>
#include <vector>

class FakeLan {
public:
    // rawAddresses get a raw socket each; timeScale is the bench's, to turn a call's io
    // timeout into the bench's timeout code.
    FakeLan(gpib::Driver& bench, double timeScale, const QList<int>& rawAddresses = {});
    ~FakeLan();
    FakeLan(const FakeLan&) = delete;
    FakeLan& operator=(const FakeLan&) = delete;

    quint16 portmapperPort() const { return listeners_.at(Portmapper).port; }
    quint16 rawPort(int pad) const { return listeners_.count(pad) ? listeners_.at(pad).port : 0; }

    // create_link answers "device not accessible".
    std::atomic<bool> refuseLinks{false};
    // Connections are taken, and nothing is ever answered.
    std::atomic<bool> mute{false};

private:
    // What a socket serves: the portmapper, the core channel, or the raw address (1 to 30).
    enum Kind { Portmapper = -1, Core = 0 };
    struct Listener {
        int fd = -1;
        quint16 port = 0;
    };
    struct Connection {
        int fd;
        int kind;
        QByteArray in;
    };
    static Listener Listen();
    void serve();
    void receive(Connection& c);
    QByteArray rpc(const QByteArray& call);
    QByteArray core(quint32 procedure, gpib::vxi11::XdrReader& r);
    QByteArray rawQuery(int pad, const QByteArray& line);
    // The bench's descriptor for the address; a code above 0 sets its timeout.
    int descriptor(int pad, int code = 0);
    int timeoutCode(quint32 ioMs) const;

    gpib::Driver& bench_;
    double timeScale_;
    std::map<int, Listener> listeners_; // by kind
    std::vector<Connection> connections_;
    std::map<int, int> descriptors_; // address -> bench descriptor
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
