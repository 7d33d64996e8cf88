#include "FakeLan.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace gpib;
using namespace gpib::vxi11;

namespace {

void SendAll(int fd, const QByteArray& bytes) {
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n =
            ::send(fd, bytes.constData() + at, size_t(bytes.size() - at), MSG_NOSIGNAL);
        if (n <= 0) return;
        at += n;
    }
}

// A gateway reports a timeout as such, and anything else the bus did as an I/O error.
std::int32_t BenchError(int sta) {
    return (sta & TIMO) ? IoTimeout : IoError;
}

} // namespace

// A listening socket on a free loopback port; fd -1 when there is none, which poll skips.
FakeLan::Listener FakeLan::Listen() {
    Listener l;
    l.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (l.fd >= 0 && ::bind(l.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::listen(l.fd, 8) == 0 && ::getsockname(l.fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        l.port = ntohs(a.sin_port);
    return l;
}

FakeLan::FakeLan(Driver& bench, double timeScale, const QList<int>& rawAddresses)
    : bench_(bench), timeScale_(timeScale) {
    for (int kind : QList<int>{Portmapper, Core} + rawAddresses)
        listeners_[kind] = Listen();
    thread_ = std::thread([this] { serve(); });
}

FakeLan::~FakeLan() {
    stopping_ = true;
    thread_.join();
    for (const Connection& c : connections_)
        ::close(c.fd);
    for (const auto& [kind, l] : listeners_)
        if (l.fd >= 0) ::close(l.fd);
}

void FakeLan::serve() {
    while (!stopping_) {
        std::vector<pollfd> fds;
        std::vector<int> kinds;
        for (const auto& [kind, l] : listeners_) {
            fds.push_back({l.fd, POLLIN, 0});
            kinds.push_back(kind);
        }
        for (const Connection& c : connections_)
            fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), nfds_t(fds.size()), 20) <= 0) continue;
        const size_t open = connections_.size();
        for (size_t i = 0; i < kinds.size(); ++i)
            if (fds[i].revents & POLLIN)
                if (const int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC); fd >= 0)
                    connections_.push_back({fd, kinds[i], {}});
        for (size_t i = 0; i < open; ++i) {
            Connection& c = connections_[i];
            if (!(fds[kinds.size() + i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[65536];
            const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
            if (n <= 0) {
                ::close(c.fd);
                c.fd = -1;
                continue;
            }
            c.in.append(buf, n);
            if (!mute) receive(c);
        }
        std::erase_if(connections_, [](const Connection& c) { return c.fd < 0; });
    }
}

void FakeLan::receive(Connection& c) {
    if (c.kind > Core) {
        for (qsizetype lf; (lf = c.in.indexOf('\n')) >= 0;) {
            const QByteArray line = c.in.left(lf + 1);
            c.in.remove(0, lf + 1);
            SendAll(c.fd, rawQuery(c.kind, line));
        }
        return;
    }
    while (c.in.size() >= 4) {
        const qsizetype size = qsizetype(XdrReader(c.in).u32() & 0x7FFFFFFF);
        if (c.in.size() < 4 + size) return;
        const QByteArray call = c.in.mid(4, size); // every call of ours is one fragment
        c.in.remove(0, 4 + size);
        SendAll(c.fd, RecordMarked(rpc(call)));
    }
}

QByteArray FakeLan::rpc(const QByteArray& call) {
    // xid, CALL, RPC version, program, version, procedure, then our client's empty
    // credentials and verifier.
    XdrReader r(call);
    quint32 word[10];
    for (quint32& w : word)
        w = r.u32();
    QByteArray results;
    if (word[3] == PortmapProgram)
        results = XdrWriter().u32(r.u32() == CoreProgram ? listeners_.at(Core).port : 0).bytes();
    else
        results = core(word[5], r);
    // Accepted, no verifier, success.
    return XdrWriter().u32(word[0]).u32(1).u32(0).u32(0).u32(0).u32(0).bytes() + results;
}

// The longest of the bench's timeouts that a caller waiting ioMs sees end.
int FakeLan::timeoutCode(quint32 ioMs) const {
    int code = 1;
    for (int c = 1; c <= 17; ++c)
        if (TimeoutSeconds(c) * timeScale_ * 1000 <= ioMs) code = c;
    return code;
}

int FakeLan::descriptor(int pad, int code) {
    auto [it, made] = descriptors_.try_emplace(pad, 0);
    if (made) it->second = bench_.ibdev(0, pad, 0, 13, 1, 0);
    if (code > 0) bench_.ibtmo(it->second, code);
    return it->second;
}

// A link's id is the address it reaches: links live as long as the host.
QByteArray FakeLan::core(quint32 procedure, XdrReader& r) {
    XdrWriter out;
    if (procedure == CreateLink) {
        r.u32(); // client id
        r.u32(); // lock
        r.u32(); // lock timeout
        const QByteArray device = r.opaque(256);
        const int pad = device.startsWith("gpib0,") ? device.mid(6).toInt() : 0;
        if (refuseLinks || pad < 1 || pad > 30)
            return out.u32(NotAccessible).u32(0).u32(0).u32(0).bytes();
        return out.u32(NoError).u32(quint32(pad)).u32(0).u32(4096).bytes();
    }
    const int pad = int(r.u32());
    switch (procedure) {
    case DeviceWrite: {
        const int ud = descriptor(pad, timeoutCode(r.u32()));
        r.u32(); // lock timeout
        r.u32(); // flags: no message of the tests needs more than one call
        const QByteArray data = r.opaque(1 << 20);
        const int sta = bench_.ibwrt(ud, data.constData(), long(data.size()));
        if (sta & ERR) return out.u32(BenchError(sta)).u32(0).bytes();
        return out.u32(NoError).u32(quint32(data.size())).bytes();
    }
    case DeviceRead: {
        const quint32 size = std::min<quint32>(r.u32(), 1 << 24);
        QByteArray data(qsizetype(size), '\0');
        const int sta = bench_.ibrd(descriptor(pad, timeoutCode(r.u32())), data.data(), long(size));
        if (sta & ERR) return out.u32(BenchError(sta)).u32(0).u32(0).bytes();
        data.truncate(bench_.ibcntl());
        return out.u32(NoError)
            .u32((sta & END) ? ReasonEnd : ReasonRequestCount)
            .opaque(data)
            .bytes();
    }
    case DeviceReadStb: {
        char stb = 0;
        const int sta = bench_.ibrsp(descriptor(pad), &stb);
        if (sta & ERR) return out.u32(BenchError(sta)).u32(0).bytes();
        return out.u32(NoError).u32(quint8(stb)).bytes();
    }
    case DeviceClear:
        return out.u32((bench_.ibclr(descriptor(pad)) & ERR) ? IoError : NoError).bytes();
    default: // destroy_link
        return out.u32(NoError).bytes();
    }
}

// A raw instrument has no io timeout of the caller's: the bench waits its 10 s.
QByteArray FakeLan::rawQuery(int pad, const QByteArray& line) {
    const int ud = descriptor(pad, 13);
    bench_.ibwrt(ud, line.constData(), long(line.size()));
    if (!line.trimmed().endsWith('?')) return {};
    QByteArray answer;
    char buf[65536];
    for (;;) {
        const int sta = bench_.ibrd(ud, buf, sizeof buf);
        answer.append(buf, bench_.ibcntl());
        if ((sta & (ERR | END)) || bench_.ibcntl() == 0) return answer;
    }
}
