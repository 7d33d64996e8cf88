#pragma once
// A Prologix or AR488 adapter in front of a simulated bench, served on a pseudo-terminal or
// on a loopback TCP port, so the adapter back-end runs end to end without hardware. It speaks
// the adapter's "++" protocol on its own thread and passes data to the bench's instruments,
// and it can misbehave the way real adapters do.
#include "bus/GpibDriver.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

class FakeAdapter {
public:
    enum class Kind { Prologix, Ar488 };
    enum class Transport { Pty, Tcp };

    FakeAdapter(gpib::Driver& bench, Kind kind, Transport transport);
    ~FakeAdapter();
    FakeAdapter(const FakeAdapter&) = delete;
    FakeAdapter& operator=(const FakeAdapter&) = delete;

    // What SEQUOR_BUS names after "prologix:": a link to the terminal's device, which follows
    // the terminal when it comes back, or 127.0.0.1:<port>.
    QString target() const { return target_; }

    // An answer of more than one line pauses this long after its first line. Past the
    // adapter's ++read_tmo_ms the adapter gives up waiting, and the next ++read goes on.
    std::atomic<int> answerPauseMs{0};
    // The adapter takes no bytes for this long once the next ones arrive: the host's writes
    // stall.
    std::atomic<int> stallMs{0};
    // The adapter disappears (terminal closed, connection reset) when this many more reads
    // have been asked of it (-1: never), and comes back after backAfterMs (-1: never).
    std::atomic<int> readsLeft{-1};
    std::atomic<int> backAfterMs{-1};
    // Every "++" command received, one per line.
    QByteArray commands() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Unsent {
        QByteArray bytes;
        bool eoi = false;
    };

    bool openPty();
    bool listen();
    void serve();
    void received(const QByteArray& bytes);
    void command(const QByteArray& text);
    void read();
    void reply(const QByteArray& bytes);
    int descriptor(int pad);
    void vanish();

    gpib::Driver& bench_;
    Kind kind_;
    Transport transport_;
    int fd_ = -1;       // the terminal's master side, or the accepted connection
    int listener_ = -1; // TCP only
    int port_ = 0;
    std::string folder_; // holds the link to the terminal
    QString target_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;

    // Adapter state, used by its thread only.
    Clock::time_point goneAt_;
    bool gone_ = false;
    int address_ = 0;
    int readTimeoutMs_ = 500;
    bool eotEnable_ = false;
    char eotChar_ = 0;
    QByteArray line_;
    bool escaped_ = false, literalStart_ = false;
    std::map<int, int> descriptors_; // by address
    std::map<int, Unsent> unsent_;   // by address: the rest of an answer the adapter gave up on
    mutable std::mutex mutex_;
    QByteArray commands_;
};

// Every address the bench has an instrument at.
QList<int> BenchAddresses(gpib::Driver& bench);
