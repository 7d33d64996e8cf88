#pragma once
// A TCP connection on plain sockets, for the LAN back-ends, which are used on the bus worker
// thread only. Every wait has a limit, and a peer that resets the connection makes a write
// fail instead of raising SIGPIPE.
#include <QByteArray>
#include <QString>
#include <cstddef>

namespace gpib {

class LanSocket {
public:
    enum class Io { Done, TimedOut, Gone };

    LanSocket() = default;
    ~LanSocket();
    LanSocket(const LanSocket&) = delete;
    LanSocket& operator=(const LanSocket&) = delete;

    // Connects within the time, trying each address the host name has; on failure returns
    // false and sets error to why.
    bool connect(const QString& host, quint16 port, int timeoutMs, QString* error);
    bool isOpen() const { return fd_ >= 0; }
    void close();

    // Sends all bytes; TimedOut when the peer took nothing for stallMs.
    Io send(const char* data, std::size_t size, int stallMs);
    // Appends what arrives within the time, at least one byte and at most max.
    Io receive(QByteArray* into, std::size_t max, int timeoutMs);
    // Appends exactly size bytes; the time counts from the last byte that came.
    Io receiveAll(QByteArray* into, std::size_t size, int stallMs);
    // Drops what the peer sent unasked; false when the connection is gone.
    bool discardPending();

private:
    int fd_ = -1;
};

} // namespace gpib
