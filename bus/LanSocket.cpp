#include "bus/LanSocket.h"
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gpib {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

// Waits for the socket to be ready; false on a timeout. A signal does not end the wait early.
bool Ready(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, MsLeft(deadline));
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) return true; // the next call reports the error
    }
}

} // namespace

LanSocket::~LanSocket() {
    close();
}

void LanSocket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool LanSocket::connect(const QString& host, quint16 port, int timeoutMs, QString* error) {
    close();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray name = host.toUtf8();
    const QByteArray service = QByteArray::number(port);
    if (const int rc = ::getaddrinfo(name.constData(), service.constData(), &hints, &found)) {
        if (error) *error = QString("%1 is not a known host (%2)").arg(host, gai_strerror(rc));
        return false;
    }
    QString why = "no address";
    for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) continue;
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            if (!Ready(fd, POLLOUT, deadline)) {
                ::close(fd);
                why = QString("no answer within %1 s").arg(timeoutMs / 1000.0);
                break;
            }
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
            errno = err;
            rc = err ? -1 : 0;
        }
        if (rc != 0) {
            why = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            continue;
        }
        // Requests are small and answered one at a time: they must not wait for more data.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        fd_ = fd;
    }
    ::freeaddrinfo(found);
    if (fd_ < 0 && error)
        *error = QString("no connection to %1 port %2: %3").arg(host).arg(port).arg(why);
    return fd_ >= 0;
}

LanSocket::Io LanSocket::send(const char* data, std::size_t size, int stallMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(stallMs);
    while (size > 0) {
        if (fd_ < 0) return Io::Gone;
        const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= std::size_t(n);
            deadline = Clock::now() + std::chrono::milliseconds(stallMs);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!Ready(fd_, POLLOUT, deadline)) return Io::TimedOut;
        } else {
            close();
            return Io::Gone;
        }
    }
    return Io::Done;
}

LanSocket::Io LanSocket::receive(QByteArray* into, std::size_t max, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (fd_ < 0) return Io::Gone;
        const qsizetype had = into->size();
        into->resize(had + qsizetype(max));
        const ssize_t n = ::recv(fd_, into->data() + had, max, 0);
        into->resize(had + (n > 0 ? qsizetype(n) : 0));
        if (n > 0) return Io::Done;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!Ready(fd_, POLLIN, deadline)) return Io::TimedOut;
            continue;
        }
        close(); // 0: the peer closed the connection
        return Io::Gone;
    }
}

LanSocket::Io LanSocket::receiveAll(QByteArray* into, std::size_t size, int stallMs) {
    const qsizetype want = into->size() + qsizetype(size);
    while (into->size() < want)
        if (const Io io = receive(into, std::size_t(want - into->size()), stallMs); io != Io::Done)
            return io;
    return Io::Done;
}

bool LanSocket::discardPending() {
    char junk[4096];
    for (;;) {
        if (fd_ < 0) return false;
        const ssize_t n = ::recv(fd_, junk, sizeof junk, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n < 0 && errno == EINTR) continue;
        close();
        return false;
    }
}

} // namespace gpib
