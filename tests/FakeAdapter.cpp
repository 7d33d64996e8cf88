#include "FakeAdapter.h"
#include "TestBench.h"
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace gpib;

QList<int> BenchAddresses(Driver& bench) {
    Addr4882_t all[31], found[32] = {};
    for (int a = 1; a <= 30; ++a)
        all[a - 1] = Addr4882_t(a);
    all[30] = NOADDR;
    bench.FindLstn(0, all, found, 32);
    QList<int> pads;
    for (long i = 1; !(bench.ibsta() & ERR) && i < bench.ibcntl(); ++i)
        pads << found[i];
    return pads;
}

FakeAdapter::FakeAdapter(Driver& bench, Kind kind, Transport transport)
    : bench_(bench), ar488_(kind == Kind::Ar488), tcp_(transport == Transport::Tcp) {
    ud_ = bench_.ibdev(0, 1, 0, 11, 1, 0);
    if (open()) thread_ = std::thread([this] { serve(); });
}

FakeAdapter::~FakeAdapter() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    if (listener_ >= 0) ::close(listener_);
}

// The terminal, or the listening socket; target_ names it.
bool FakeAdapter::open() {
    if (tcp_) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&at), size) != 0 ||
            ::listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            return false;
        target_ = QString("127.0.0.1:%1").arg(ntohs(at.sin_port));
        return true;
    }
    fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    termios raw{};
    if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0 || tcgetattr(fd_, &raw) != 0)
        return false;
    cfmakeraw(&raw); // no echo, no line editing: bytes pass as they are
    tcsetattr(fd_, TCSANOW, &raw);
    target_ = QString::fromLocal8Bit(ptsname(fd_));
    return true;
}

void FakeAdapter::serve() {
    char buffer[4096];
    while (!stopping_) {
        pollfd p{fd_ < 0 ? listener_ : fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        if (fd_ < 0) {
            fd_ = ::accept(listener_, nullptr, nullptr);
            continue;
        }
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            received(QByteArray(buffer, n));
        } else if (tcp_) {
            ::close(fd_); // the client went away; wait for the next one
            fd_ = -1;
        } else {
            ::usleep(5000); // nobody holds the terminal open
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
            const QByteArray line = std::exchange(line_, {});
            if (!std::exchange(literalStart_, false) && line.startsWith("++"))
                command(line.mid(2).trimmed());
            else if (!line.isEmpty())
                bench_.ibwrt(ud_, line.constData(), line.size());
        } else {
            line_ += c;
        }
    }
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
    if (tcp_) {
        linger reset{1, 0}; // closing then sends a reset, as a crashed adapter's stack does
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(listener_);
        listener_ = -1;
    }
    ::close(fd_);
    fd_ = -1;
}

// ++read eoi: the instrument's answer, the eot byte after the byte that carried EOI.
void FakeAdapter::read() {
    if (readsLeft > 0 && --readsLeft == 0) return vanish();
    int sta = 0;
    QByteArray answer = WholeAnswer(bench_, ud_, 512, &sta);
    if ((sta & END) && eotEnable_) answer += eotChar_;
    reply(answer);
}

void FakeAdapter::command(const QByteArray& text) {
    const QByteArray name = text.split(' ').constFirst();
    const QByteArray arg = text.mid(name.size()).trimmed();
    if (name == "ver") {
        reply(ar488_ ? "AR488 GPIB controller, ver. 0.51.29, 18/03/2024\r\n"
                     : "Prologix GPIB-USB Controller version 6.107\r\n");
    } else if (name == "addr") {
        bench_.ibpad(ud_, arg.toInt());
    } else if (name == "read_tmo_ms") {
        // The adapter waits for a byte this long: on the bench, the shortest timeout code that
        // is as long (scaled by the bench).
        int code = 1;
        while (code < 17 && TimeoutSeconds(code) * 1000 < arg.toInt())
            ++code;
        bench_.ibtmo(ud_, code);
    } else if (name == "eot_enable") {
        eotEnable_ = arg.toInt() != 0;
    } else if (name == "eot_char" && arg.isEmpty()) {
        reply(QByteArray::number(uchar(eotChar_)) + "\r\n");
    } else if (name == "eot_char") {
        eotChar_ = char(arg.toInt());
    } else if (name == "read") {
        read();
    } else if (name == "spoll") {
        char byte = 0;
        if (!(bench_.ibrsp(ud_, &byte) & ERR)) reply(QByteArray::number(uchar(byte)) + "\r\n");
    } else if (name == "clr") {
        bench_.ibclr(ud_);
    } else if (name == "ifc") {
        bench_.SendIFC(0);
    } else if (name == "fndl" && ar488_) {
        QByteArrayList list;
        for (int pad : BenchAddresses(bench_))
            list << QByteArray::number(pad);
        reply(list.join(',') + "\r\n");
    }
    // mode, auto, eoi, eos and the rest need nothing from a fake.
}
