#include "FakeAdapter.h"
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

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
    : bench_(bench), kind_(kind), transport_(transport) {
    if (transport == Transport::Pty) {
        char folder[] = "/tmp/fakeadapter-XXXXXX";
        if (!mkdtemp(folder)) return;
        folder_ = folder;
        target_ = QString::fromLocal8Bit(folder) + "/tty";
        if (!openPty()) {
            target_.clear();
            return;
        }
    } else if (!listen()) {
        return;
    }
    thread_ = std::thread([this] { serve(); });
}

FakeAdapter::~FakeAdapter() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    if (listener_ >= 0) ::close(listener_);
    if (!folder_.empty()) {
        ::unlink((folder_ + "/tty").c_str());
        ::rmdir(folder_.c_str());
    }
}

QByteArray FakeAdapter::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

// A new terminal; the link then leads to it, as a USB adapter plugged in again shows up
// under its old name.
bool FakeAdapter::openPty() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    termios raw{};
    if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0 || tcgetattr(fd_, &raw) != 0) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        return false;
    }
    cfmakeraw(&raw); // no echo, no line editing: bytes pass as they are
    tcsetattr(fd_, TCSANOW, &raw);
    if (!target_.isEmpty()) {
        const std::string link = target_.toStdString(), fresh = link + ".new";
        ::unlink(fresh.c_str());
        if (::symlink(ptsname(fd_), fresh.c_str()) != 0 || ::rename(fresh.c_str(), link.c_str()))
            return false;
    }
    return true;
}

bool FakeAdapter::listen() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(quint16(port_));
    socklen_t size = sizeof at;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&at), size) != 0 ||
        ::listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
        if (listener_ >= 0) ::close(listener_);
        listener_ = -1;
        return false;
    }
    port_ = ntohs(at.sin_port);
    target_ = QString("127.0.0.1:%1").arg(port_);
    return true;
}

void FakeAdapter::serve() {
    char buffer[4096];
    while (!stopping_) {
        if (gone_) {
            const int back = backAfterMs;
            if (back < 0 || Clock::now() < goneAt_ + std::chrono::milliseconds(back)) {
                ::usleep(5000);
                continue;
            }
            gone_ = false;
            if (transport_ == Transport::Pty ? !openPty() : !listen()) return;
        }
        if (transport_ == Transport::Tcp && fd_ < 0) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) fd_ = ::accept(listener_, nullptr, nullptr);
            continue;
        }
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        if (transport_ == Transport::Pty && (p.revents & POLLHUP)) {
            ::usleep(5000); // nobody holds the terminal open
            continue;
        }
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            if (const int stall = stallMs.exchange(0); stall > 0)
                ::usleep(useconds_t(stall) * 1000);
            received(QByteArray(buffer, n));
        } else if (transport_ == Transport::Tcp) {
            ::close(fd_); // the client went away; wait for the next one
            fd_ = -1;
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
        if (TimeoutSeconds(c) * 1000 >= readTimeoutMs_) {
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
    gone_ = true;
    goneAt_ = Clock::now();
    line_.clear();
    escaped_ = literalStart_ = false;
}

// ++read eoi: the instrument's answer, the eot byte after the byte that carried EOI.
void FakeAdapter::read() {
    if (readsLeft > 0 && --readsLeft == 0) return vanish();
    Unsent answer = std::exchange(unsent_[address_], {});
    if (answer.bytes.isEmpty()) {
        const int ud = descriptor(address_);
        char chunk[512];
        for (;;) {
            const int sta = bench_.ibrd(ud, chunk, sizeof chunk);
            if (sta & ERR) break;
            answer.bytes.append(chunk, bench_.ibcntl());
            if ((answer.eoi = sta & END)) break;
        }
    }
    const int pause = answerPauseMs;
    const qsizetype firstLine = answer.bytes.indexOf('\n') + 1;
    if (pause > 0 && firstLine > 0 && firstLine < answer.bytes.size()) {
        reply(answer.bytes.left(firstLine));
        answer.bytes.remove(0, firstLine);
        ::usleep(useconds_t(pause) * 1000);
        if (pause >= readTimeoutMs_) { // the adapter's wait ran out; the instrument goes on later
            unsent_[address_] = answer;
            return;
        }
    }
    if (answer.eoi && eotEnable_) answer.bytes += eotChar_;
    reply(answer.bytes);
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
        reply(kind_ == Kind::Ar488 ? "AR488 GPIB controller, ver. 0.51.29, 18/03/2024\r\n"
                                   : "Prologix GPIB-USB Controller version 6.107\r\n");
    } else if (name == "addr") {
        address_ = arg.toInt();
    } else if (name == "read_tmo_ms") {
        readTimeoutMs_ = std::max(1, arg.toInt());
        descriptors_.clear(); // made again with the new wait
    } else if (name == "eot_enable") {
        eotEnable_ = arg.toInt() != 0;
    } else if (name == "eot_char" && arg.isEmpty()) {
        reply(QByteArray::number(uchar(eotChar_)) + "\r\n");
    } else if (name == "eot_char") {
        eotChar_ = char(arg.toInt());
    } else if (name == "read") {
        read();
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
        QByteArrayList list;
        for (int pad : BenchAddresses(bench_))
            list << QByteArray::number(pad);
        reply(list.join(',') + "\r\n");
    }
    // mode, auto, eoi, eos and the rest need nothing from a fake.
}
