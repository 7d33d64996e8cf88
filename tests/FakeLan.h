#pragma once
// LAN instruments in front of a simulated bench, on 127.0.0.1 only: a VXI-11 host (its
// portmapper and core channel; device "gpib0,N" is the bench's address N) and raw sockets
// (one port per address, a line that ends in "?" is a query). It serves on its own thread
// and can fail the way hosts and gateways do.
#include "bus/GpibDriver.h"
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

    quint16 portmapperPort() const { return portmapper_; }
    quint16 rawPort(int pad) const;

    // create_link answers "device not accessible".
    std::atomic<bool> refuseLinks{false};
    // Connections are taken, and nothing is ever answered.
    std::atomic<bool> mute{false};
    // After this many more reads (device_read or raw queries; -1: never) every connection
    // closes and the host is gone for good.
    std::atomic<int> readsLeft{-1};

private:
    struct Connection {
        int fd;
        int kind; // 0 portmapper, 1 core, else 100 + the raw address
        QByteArray in;
    };
    void serve();
    void receive(Connection& c);
    QByteArray rpc(const QByteArray& call);
    QByteArray core(quint32 procedure, const QByteArray& call, qsizetype at);
    QByteArray rawQuery(int pad, const QByteArray& line);
    int descriptor(int pad, int ioMs = -1);
    bool readAllowed();
    void vanish();

    gpib::Driver& bench_;
    double timeScale_;
    quint16 portmapper_ = 0, corePort_ = 0;
    std::vector<std::pair<int, int>> listeners_; // a listening socket, the kind it serves
    std::map<int, quint16> rawPorts_;            // address -> port
    std::vector<Connection> connections_;
    std::map<int, int> descriptors_;        // address -> bench descriptor
    std::map<quint32, int> links_;          // lid -> address
    std::map<quint32, QByteArray> partial_; // lid -> a message without END yet
    quint32 nextLid_ = 1;
    bool gone_ = false;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
