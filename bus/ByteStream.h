#pragma once
// A two-way byte stream to a GPIB adapter, so that the adapter's protocol is one client for
// every transport (serial port, TCP) and for tests.
#include <QByteArray>
#include <QString>
#include <memory>

namespace gpib {

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Opens the stream; on failure returns false and sets error to what was tried and why.
    virtual bool open(QString* error) = 0;
    // Sends all bytes; false when the stream is gone.
    virtual bool write(const QByteArray& bytes) = 0;
    // The bytes that arrive within the time (at least one, unless the time passed in silence
    // or the stream is gone).
    virtual QByteArray read(int timeoutMs) = 0;
    // The stream is gone (port closed, connection reset) and will not come back.
    virtual bool broken() const = 0;
};

// A serial device, e.g. /dev/ttyUSB0, at the adapters' usual 115200 baud, 8N1.
std::unique_ptr<ByteStream> SerialStream(const QString& device);
// A TCP connection to host:port.
std::unique_ptr<ByteStream> TcpStream(const QString& host, quint16 port);

} // namespace gpib
