#pragma once
// A Prologix or AR488 adapter in front of a simulated bench, served on a pseudo-terminal or on
// a loopback TCP port, so the adapter back-end runs end to end without hardware. It speaks the
// "++" protocol on its own thread and can vanish the way real adapters do.
#include "bus/GpibDriver.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <thread>

class FakeAdapter {
public:
    enum class Kind { Prologix, Ar488 };
    enum class Transport { Pty, Tcp };
    FakeAdapter(gpib::Driver& bench, Kind kind, Transport transport);
    ~FakeAdapter();

    // What SEQUOR_BUS names after "prologix:": the terminal's device, or 127.0.0.1:<port>;
    // empty when it could not be made.
    QString target() const { return target_; }

    // The adapter disappears for good (terminal closed, connection reset) when this many
    // more reads have been asked of it (-1: never).
    std::atomic<int> readsLeft{-1};

private:
    bool open();
    void serve();
    void received(const QByteArray& bytes);
    void command(const QByteArray& text);
    void read();
    void reply(const QByteArray& bytes);
    void vanish();

    gpib::Driver& bench_;
    const bool ar488_, tcp_;
    int fd_ = -1;       // the terminal's master side, or the accepted connection
    int listener_ = -1; // TCP only
    QString target_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;

    // Adapter state, used by its thread only.
    int ud_ = 0; // on the bench, addressed as the adapter is
    bool eotEnable_ = false;
    char eotChar_ = 0;
    QByteArray line_;
    bool escaped_ = false, literalStart_ = false;
};

// Every address the bench has an instrument at.
QList<int> BenchAddresses(gpib::Driver& bench);
