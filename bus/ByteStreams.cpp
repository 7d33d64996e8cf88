// The serial and TCP transports. Both are used on the bus worker thread only, with Qt's
// blocking calls, so they need no event loop of their own.
#include "bus/ByteStream.h"
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTcpSocket>
#include <QThread>
#include <algorithm>
#include <poll.h>

namespace gpib {

namespace {

constexpr int ConnectMs = 3000;

// The reading and writing that both transports share; only opening differs.
class DeviceStream : public ByteStream {
public:
    Sent write(const QByteArray& bytes, int stallMs) override {
        if (broken() || (lost() && fail())) return Sent::Gone;
        if (device().write(bytes) != bytes.size()) return fail(), Sent::Gone;
        // The device queues what it could not send yet; the time limit applies to a drain
        // that stands still, not to a long one that moves.
        QElapsedTimer still;
        still.start();
        qint64 queued = device().bytesToWrite();
        while (queued > 0) {
            const qint64 left = stallMs - still.elapsed();
            if (left <= 0) return fail(), Sent::Stalled;
            if (!device().waitForBytesWritten(int(std::min<qint64>(left, 100))) && lost())
                return fail(), Sent::Gone;
            if (const qint64 now = device().bytesToWrite(); now < queued) {
                queued = now;
                still.restart();
            }
        }
        return Sent::All;
    }

    QByteArray read(int timeoutMs) override {
        if (broken()) return {};
        if (device().bytesAvailable() == 0 && !device().waitForReadyRead(std::max(timeoutMs, 0))) {
            if (lost()) fail();
            return {};
        }
        return device().readAll();
    }

    bool broken() const override { return broken_; }

protected:
    virtual QIODevice& device() = 0;
    // The last wait failed because the other side is gone, not because of silence.
    virtual bool lost() const = 0;
    bool fail() {
        broken_ = true;
        return false;
    }

private:
    bool broken_ = false;
};

class Steady : public AdapterClock {
public:
    Steady() { clock_.start(); }
    qint64 nowMs() override { return clock_.elapsed(); }
    void sleepMs(int ms) override { QThread::msleep(ulong(std::max(ms, 0))); }

private:
    QElapsedTimer clock_;
};

class Serial : public DeviceStream {
public:
    explicit Serial(const QString& device) { port_.setPortName(device); }

    bool open(QString* error) override {
        port_.setBaudRate(QSerialPort::Baud115200);
        port_.setDataBits(QSerialPort::Data8);
        port_.setParity(QSerialPort::NoParity);
        port_.setStopBits(QSerialPort::OneStop);
        port_.setFlowControl(QSerialPort::NoFlowControl);
        if (port_.open(QIODevice::ReadWrite)) return true;
        if (error)
            *error = QString("The serial port %1 cannot be opened (%2).")
                         .arg(port_.portName(), port_.errorString());
        return false;
    }

protected:
    QIODevice& device() override { return port_; }
    bool lost() const override {
        const auto e = port_.error();
        if (e != QSerialPort::NoError && e != QSerialPort::TimeoutError) return true;
        // An unplugged adapter (or a closed terminal) hangs the line up; writes to it may
        // still seem to succeed.
        pollfd p{int(port_.handle()), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
    }

private:
    QSerialPort port_;
};

class Tcp : public DeviceStream {
public:
    Tcp(const QString& host, quint16 port) : host_(host), port_(port) {}

    bool open(QString* error) override {
        socket_.connectToHost(host_, port_);
        if (socket_.waitForConnected(ConnectMs)) return true;
        if (error)
            *error = QString("No connection to %1 port %2 (%3).")
                         .arg(host_)
                         .arg(port_)
                         .arg(socket_.errorString());
        return false;
    }

protected:
    QIODevice& device() override { return socket_; }
    bool lost() const override {
        return socket_.state() != QAbstractSocket::ConnectedState ||
               (socket_.error() != QAbstractSocket::UnknownSocketError &&
                socket_.error() != QAbstractSocket::SocketTimeoutError);
    }

private:
    QTcpSocket socket_;
    QString host_;
    quint16 port_;
};

} // namespace

AdapterClock& SteadyClock() {
    static Steady clock;
    return clock;
}

std::unique_ptr<ByteStream> SerialStream(const QString& device) {
    return std::make_unique<Serial>(device);
}

std::unique_ptr<ByteStream> TcpStream(const QString& host, quint16 port) {
    return std::make_unique<Tcp>(host, port);
}

} // namespace gpib
