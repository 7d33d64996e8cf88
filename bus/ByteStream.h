#pragma once
// A two-way byte stream to a GPIB adapter, so that the adapter's protocol is one client for
// every transport (serial port, TCP) and for tests.
#include <QByteArray>
#include <QString>
#include <memory>

namespace gpib {

class ByteStream {
public:
    enum class Sent { All, Stalled, Gone };

    virtual ~ByteStream() = default;
    // Opens the stream; on failure returns false and sets error to what was tried and why.
    virtual bool open(QString* error) = 0;
    // Sends all bytes, waiting as long as the other side goes on taking them: Stalled when it
    // took nothing for stallMs, Gone when the stream is gone. Either failure leaves the stream
    // broken, since nobody knows how much of a line the adapter holds.
    virtual Sent write(const QByteArray& bytes, int stallMs) = 0;
    // The bytes that arrive within the time (at least one, unless the time passed in silence
    // or the stream is gone).
    virtual QByteArray read(int timeoutMs) = 0;
    // The stream is gone (port closed, connection reset) or stalled; it must be opened anew.
    virtual bool broken() const = 0;
};

// Time as the adapter client reads it, for its deadlines and pauses: the steady clock, or in
// tests and fuzzing a scripted one that a scripted stream moves on when it stays silent, so
// that waiting costs no real time there.
class AdapterClock {
public:
    virtual ~AdapterClock() = default;
    virtual qint64 nowMs() = 0;
    virtual void sleepMs(int ms) = 0;
};
AdapterClock& SteadyClock();

// A serial device, e.g. /dev/ttyUSB0, at the adapters' usual 115200 baud, 8N1.
std::unique_ptr<ByteStream> SerialStream(const QString& device);
// A TCP connection to host:port.
std::unique_ptr<ByteStream> TcpStream(const QString& host, quint16 port);

} // namespace gpib
