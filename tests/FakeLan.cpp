#include "FakeLan.h"
#include "bus/Vxi11.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace gpib;
using namespace gpib::vxi11;

namespace {

int Listen(quint16* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd, 8) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

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

FakeLan::FakeLan(Driver& bench, double timeScale, const QList<int>& rawAddresses)
    : bench_(bench), timeScale_(timeScale) {
    listeners_ = {{Listen(&portmapper_), 0}, {Listen(&corePort_), 1}};
    if (listeners_[0].first < 0 || listeners_[1].first < 0) {
        vanish();
        portmapper_ = 0;
        return;
    }
    for (int pad : rawAddresses)
        if (const int fd = Listen(&rawPorts_[pad]); fd >= 0) listeners_.push_back({fd, pad + 100});
    thread_ = std::thread([this] { serve(); });
}

FakeLan::~FakeLan() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    vanish();
}

quint16 FakeLan::rawPort(int pad) const {
    const auto it = rawPorts_.find(pad);
    return it == rawPorts_.end() ? 0 : it->second;
}

void FakeLan::vanish() {
    for (Connection& c : connections_)
        ::close(c.fd);
    connections_.clear();
    for (auto [fd, kind] : listeners_)
        if (fd >= 0) ::close(fd);
    listeners_.clear();
    gone_ = true;
}

bool FakeLan::readAllowed() {
    if (readsLeft < 0) return true;
    if (readsLeft-- > 0) return true;
    vanish();
    return false;
}

void FakeLan::serve() {
    while (!stopping_) {
        std::vector<pollfd> fds;
        for (auto [fd, kind] : listeners_)
            fds.push_back({fd, POLLIN, 0});
        const size_t listening = fds.size();
        for (Connection& c : connections_)
            fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), nfds_t(fds.size()), 20) <= 0) continue;
        for (size_t i = 0; i < listening; ++i)
            if (fds[i].revents & POLLIN)
                if (const int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC); fd >= 0)
                    connections_.push_back({fd, listeners_[i].second, {}});
        const size_t open = connections_.size();
        for (size_t i = listening; i < fds.size() && i - listening < open && !gone_; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Connection& c = connections_[i - listening];
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
    if (c.kind >= 100) {
        for (qsizetype lf; !gone_ && (lf = c.in.indexOf('\n')) >= 0;) {
            const QByteArray line = c.in.left(lf + 1);
            c.in.remove(0, lf + 1);
            const QByteArray answer = rawQuery(c.kind - 100, line);
            if (!gone_) SendAll(c.fd, answer);
        }
        return;
    }
    while (!gone_ && c.in.size() >= 4) {
        const quint32 mark = XdrReader(c.in).u32();
        const qsizetype size = qsizetype(mark & 0x7FFFFFFF);
        if (c.in.size() < 4 + size) return;
        const QByteArray call = c.in.mid(4, size); // every call of ours is one fragment
        c.in.remove(0, 4 + size);
        const QByteArray reply = rpc(call);
        if (!gone_ && !reply.isEmpty()) SendAll(c.fd, RecordMarked(reply));
    }
}

QByteArray FakeLan::rpc(const QByteArray& call) {
    XdrReader r(call);
    const quint32 xid = r.u32();
    r.u32(); // CALL
    r.u32(); // RPC version
    const quint32 program = r.u32();
    r.u32(); // version
    const quint32 procedure = r.u32();
    r.u32();
    r.opaque(400); // credentials
    r.u32();
    r.opaque(400); // verifier
    XdrWriter head;
    head.u32(xid).u32(1).u32(0).u32(0).u32(0).u32(0); // accepted, no verifier, success
    if (program == PortmapProgram) {
        const quint32 wanted = r.u32();
        return head.bytes() + XdrWriter().u32(wanted == CoreProgram ? corePort_ : 0).bytes();
    }
    const QByteArray results = core(procedure, call, r.at());
    return results.isEmpty() ? QByteArray() : head.bytes() + results;
}

int FakeLan::descriptor(int pad, int ioMs) {
    auto it = descriptors_.find(pad);
    if (it == descriptors_.end())
        it = descriptors_.emplace(pad, bench_.ibdev(0, pad, 0, 13, 1, 0)).first;
    if (ioMs >= 0) {
        // The longest of the bench's timeouts that the caller waits for.
        int code = 1;
        for (int c = 1; c <= 17; ++c)
            if (TimeoutSeconds(c) * timeScale_ * 1000 <= ioMs) code = c;
        bench_.ibtmo(it->second, code);
    }
    return it->second;
}

QByteArray FakeLan::core(quint32 procedure, const QByteArray& call, qsizetype at) {
    XdrReader r(call, at);
    XdrWriter out;
    if (procedure == CreateLink) {
        r.u32();
        r.u32();
        r.u32();
        const QByteArray device = r.opaque(256);
        bool ok = device.startsWith("gpib0,");
        const int pad = device.mid(6).toInt(&ok);
        if (refuseLinks || !ok || pad < 1 || pad > 30)
            return out.u32(NotAccessible).u32(0).u32(0).u32(0).bytes();
        links_[nextLid_] = pad;
        return out.u32(NoError).u32(nextLid_++).u32(0).u32(4096).bytes();
    }
    const quint32 lid = r.u32();
    const auto link = links_.find(lid);
    if (link == links_.end()) return out.u32(InvalidLink).u32(0).u32(0).bytes();
    const int pad = link->second;
    switch (procedure) {
    case DeviceWrite: {
        const int io = int(r.u32());
        r.u32();
        const quint32 flags = r.u32();
        const QByteArray data = r.opaque(1 << 20);
        QByteArray& message = partial_[lid];
        message += data;
        if (flags & FlagEnd) {
            const int ud = descriptor(pad, io);
            const int sta = bench_.ibwrt(ud, message.constData(), long(message.size()));
            message.clear();
            if (sta & ERR) return out.u32(BenchError(sta)).u32(0).bytes();
        }
        return out.u32(NoError).u32(quint32(data.size())).bytes();
    }
    case DeviceRead: {
        const quint32 size = std::min<quint32>(r.u32(), 1 << 24);
        const int io = int(r.u32());
        if (!readAllowed()) return {};
        QByteArray data(qsizetype(size), '\0');
        const int sta = bench_.ibrd(descriptor(pad, io), data.data(), long(size));
        if (sta & ERR) return out.u32(BenchError(sta)).u32(0).u32(0).bytes();
        data.truncate(bench_.ibcntl());
        const quint32 reason = (sta & END)                    ? ReasonEnd
                               : quint32(data.size()) == size ? ReasonRequestCount
                                                              : 0;
        return out.u32(NoError).u32(reason).opaque(data).bytes();
    }
    case DeviceReadStb: {
        r.u32();
        r.u32();
        const int io = int(r.u32());
        char stb = 0;
        const int sta = bench_.ibrsp(descriptor(pad, io), &stb);
        if (sta & ERR) return out.u32(BenchError(sta)).u32(0).bytes();
        return out.u32(NoError).u32(quint8(stb)).bytes();
    }
    case DeviceClear: {
        const int sta = bench_.ibclr(descriptor(pad));
        return out.u32((sta & ERR) ? BenchError(sta) : NoError).bytes();
    }
    case DestroyLink:
        links_.erase(lid);
        partial_.erase(lid);
        return out.u32(NoError).bytes();
    default:
        return out.u32(NotSupported).bytes();
    }
}

QByteArray FakeLan::rawQuery(int pad, const QByteArray& line) {
    const int ud = descriptor(pad);
    bench_.ibtmo(ud, 13);
    bench_.ibwrt(ud, line.constData(), long(line.size()));
    if (!line.trimmed().endsWith('?') || !readAllowed()) return {};
    QByteArray answer;
    char buf[65536];
    for (;;) {
        const int sta = bench_.ibrd(ud, buf, sizeof buf);
        answer.append(buf, bench_.ibcntl());
        if ((sta & (ERR | END)) || bench_.ibcntl() == 0) return answer;
    }
}
