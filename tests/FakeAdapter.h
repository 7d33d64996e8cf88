#pragma once
// A Prologix or AR488 adapter in front of a simulated bench, served on a pseudo-terminal or
// on a loopback TCP port, so the adapter back-end runs end to end without hardware. It speaks
// the adapter's "++" protocol on its own thread and passes data to the bench's instruments.
#include "bus/GpibDriver.h"
#include <QByteArray>
#include <QString>
#include <atomic>
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

    bool ok() const { return fd_ >= 0 || listener_ >= 0; }
    // What SEQUOR_BUS names after "prologix:": the terminal's device, or 127.0.0.1:<port>.
    QString target() const { return target_; }

    // Before it answers, the adapter ignores this many ++ver (a board resetting on open).
    std::atomic<int> silentVersions{0};
    // The adapter disappears (terminal closed, connection reset) when this many more reads
    // have been asked of it; -1: never.
    std::atomic<int> readsLeft{-1};
    // Every "++" command received, one per line.
    QByteArray commands() const;

private:
    void serve();
    void received(const QByteArray& bytes);
    void command(const QByteArray& text);
    void reply(const QByteArray& bytes);
    int descriptor(int pad);
    void vanish();

    gpib::Driver& bench_;
    Kind kind_;
    Transport transport_;
    int fd_ = -1;       // the terminal's master side, or the accepted connection
    int listener_ = -1; // TCP only
    QString target_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;

    // Adapter state, used by its thread only.
    int address_ = 0;
    int readTimeoutMs = 500;
    QByteArray line_;
    bool escaped_ = false, literalStart_ = false;
    std::map<int, int> descriptors_; // by address
    mutable std::mutex mutex_;
    QByteArray commands_;
};
