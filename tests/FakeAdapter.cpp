#include "FakeAdapter.h"
#include <QList>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace gpib;

FakeAdapter::FakeAdapter(Driver& bench, Kind kind, Transport transport)
    : bench_(bench), kind_(kind), transport_(transport) {
    if (transport == Transport::Pty) {
        fd_ = posix_openpt(O_RDWR | O_NOCTTY);
        termios raw{};
        if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0 || tcgetattr(fd_, &raw) != 0) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = -1;
            return;
        }
        cfmakeraw(&raw); // no echo, no line editing: bytes pass as they are
        tcsetattr(fd_, TCSANOW, &raw);
        target_ = QString::fromLocal8Bit(ptsname(fd_));
    } else {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&at), size) != 0 ||
            ::listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
            if (listener_ >= 0) ::close(listener_);
            listener_ = -1;
            return;
        }
        target_ = QString("127.0.0.1:%1").arg(ntohs(at.sin_port));
    }
    thread_ = std::thread([this] { serve(); });
}

FakeAdapter::~FakeAdapter() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    if (listener_ >= 0) ::close(listener_);
}

QByteArray FakeAdapter::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

void FakeAdapter::serve() {
    char buffer[4096];
    while (!stopping_) {
        if (transport_ == Transport::Tcp && fd_ < 0) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) fd_ = ::accept(listener_, nullptr, nullptr);
            continue;
        }
        if (fd_ < 0) return; // vanished
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            received(QByteArray(buffer, n));
        } else if (transport_ == Transport::Tcp) {
            ::close(fd_); // the client went away; wait for the next one
            fd_ = -1;
        } else {
            ::usleep(20000); // a terminal nobody holds open reads as an error
        }
    }
}

void FakeAdapter::received(const QByteArray& bytes) {
    for (char c : bytes) {
        if (fd_ < 0) return;
        if (escaped_) {
            if (line_.size() < 2) literalStart_ = true;
            line_ += c;
            escaped_ = false;
        } else if (c == 27) {
            escaped_ = true;
        } else if (c == '\r' || c == '\n') {
            const QByteArray line = line_;
            const bool isCommand = !literalStart_ && line.startsWith("++");
            line_.clear();
            literalStart_ = false;
            if (isCommand)
                command(line.mid(2).trimmed());
            else if (!line.isEmpty())
                bench_.ibwrt(descriptor(address_), line.constData(), line.size());
        } else {
            line_ += c;
        }
    }
}

int FakeAdapter::descriptor(int pad) {
    auto it = descriptors_.find(pad);
    if (it != descriptors_.end()) return it->second;
    // The adapter waits for a byte as long as ++read_tmo_ms says; on the bench that is the
    // nearest timeout code (scaled by the bench).
    int code = 11;
    for (int c = 1; c <= 17; ++c)
        if (TimeoutSeconds(c) * 1000 >= readTimeoutMs) {
            code = c;
            break;
        }
    const int ud = bench_.ibdev(0, pad, 0, code, 1, 0);
    descriptors_[pad] = ud;
    return ud;
}

void FakeAdapter::reply(const QByteArray& bytes) {
    qsizetype done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR && errno != EAGAIN) return;
        if (n > 0) done += n;
    }
}

void FakeAdapter::vanish() {
    if (transport_ == Transport::Tcp) {
        linger reset{1, 0}; // closing then sends a reset, as a crashed adapter's stack does
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(listener_);
        listener_ = -1;
    }
    ::close(fd_);
    fd_ = -1;
}

void FakeAdapter::command(const QByteArray& text) {
    {
        std::lock_guard lock(mutex_);
        commands_ += text + '\n';
    }
    const qsizetype space = text.indexOf(' ');
    const QByteArray name = space < 0 ? text : text.left(space);
    const QByteArray arg = space < 0 ? QByteArray() : text.mid(space + 1).trimmed();
    if (name == "ver") {
        if (silentVersions > 0) {
            --silentVersions;
            return;
        }
        reply(kind_ == Kind::Ar488 ? "AR488 GPIB controller, ver. 0.51.29, 18/03/2024\r\n"
                                   : "Prologix GPIB-USB Controller version 6.107\r\n");
    } else if (name == "addr") {
        address_ = arg.toInt();
    } else if (name == "read_tmo_ms") {
        readTimeoutMs = std::max(1, arg.toInt());
        descriptors_.clear(); // made again with the new wait
    } else if (name == "read") {
        if (readsLeft > 0 && --readsLeft == 0) return vanish();
        const int ud = descriptor(address_);
        QByteArray answer;
        char chunk[512];
        for (;;) {
            const int sta = bench_.ibrd(ud, chunk, sizeof chunk);
            if (sta & ERR) break;
            answer.append(chunk, bench_.ibcntl());
            if (sta & END) break;
        }
        reply(answer);
    } else if (name == "spoll") {
        const int pad = arg.isEmpty() ? address_ : arg.toInt();
        char byte = 0;
        if (!(bench_.ibrsp(descriptor(pad), &byte) & ERR))
            reply(QByteArray::number(uchar(byte)) + "\r\n");
    } else if (name == "clr") {
        bench_.ibclr(descriptor(address_));
    } else if (name == "ifc") {
        bench_.SendIFC(0);
    } else if (name == "srq") {
        // The SRQ line: asserted while any instrument requests service.
        bool asserted = false;
        for (int pad = 1; pad <= 30 && !asserted; ++pad) {
            const int ud = descriptor(pad);
            int code = 11;
            bench_.ibask(ud, IbaTMO, &code);
            bench_.ibtmo(ud, 0); // look, do not wait
            asserted = bench_.ibwait(ud, TIMO | RQS) & RQS;
            bench_.ibtmo(ud, code);
        }
        reply(asserted ? "1\r\n" : "0\r\n");
    } else if (name == "fndl" && kind_ == Kind::Ar488) {
        Addr4882_t pads[32], found[32] = {};
        for (int i = 0; i < 31; ++i)
            pads[i] = Addr4882_t(i);
        pads[31] = NOADDR;
        bench_.FindLstn(0, pads, found, 32);
        QByteArrayList list;
        for (long i = 1; !(bench_.ibsta() & ERR) && i < bench_.ibcntl(); ++i)
            list << QByteArray::number(found[i]);
        reply(list.join(',') + "\r\n");
    }
    // mode, auto, eoi, eos, eot_enable and the rest need nothing from a fake.
}
