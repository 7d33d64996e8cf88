#pragma once
// LAN instruments in front of a simulated bench, on 127.0.0.1 only: a VXI-11 host (its
// portmapper and core channel share one port; device "gpib0,N" is the bench's address N) and
// raw sockets (one port per address, a line that ends in "?" is a query). It serves on its own
// thread; destroyed, it closes every connection as a host that went away does.
#include "bus/GpibDriver.h"
#include "bus/Vxi11.h"
#include <QByteArray>
#include <QList>
#include <atomic>
#include <map>
#include <thread>

class QEventLoop;
class QTcpSocket;

class FakeLan {
public:
    // rawAddresses get a raw socket each; timeScale is the bench's, to turn a call's io
    // timeout into the bench's timeout code.
    FakeLan(gpib::Driver& bench, double timeScale, const QList<int>& rawAddresses = {});
    ~FakeLan();

    quint16 portmapperPort() const { return ports_.at(0); }
    quint16 rawPort(int pad) const { return ports_.count(pad) ? ports_.at(pad) : 0; }

    // create_link answers "device not accessible".
    std::atomic<bool> refuseLinks{false};
    // Connections are taken, and nothing is ever answered.
    std::atomic<bool> mute{false};

private:
    // What came on a connection to the raw address, or (0) to the RPC channel.
    void receive(QTcpSocket& c, int pad);
    QByteArray core(quint32 procedure, gpib::vxi11::XdrReader& r);
    // The bench's descriptor for the address, its timeout the longest that a caller waiting
    // ioMs sees end.
    int descriptor(int pad, quint32 ioMs);

    gpib::Driver& bench_;
    double timeScale_;
    std::map<int, quint16> ports_;   // by address; 0: the RPC channel
    std::map<int, int> descriptors_; // address -> bench descriptor
    QEventLoop* loop_ = nullptr;
    std::thread thread_;
};
