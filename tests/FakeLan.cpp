#include "FakeLan.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace gpib;
using namespace gpib::vxi11;

QByteArray WholeAnswer(Driver& driver, int ud, long piece, QList<int>* reads) {
    QByteArray answer, buffer(piece, '\0');
    // A bound, so that a back-end that never ends an answer fails rather than hangs.
    for (int sta = 0, i = 0; !(sta & (ERR | END)) && i < 1000; ++i) {
        sta = driver.ibrd(ud, buffer.data(), piece);
        if (reads) *reads << sta;
        answer += buffer.left(driver.ibcntl());
    }
    return answer;
}

FakeLan::FakeLan(Driver& bench, double timeScale, const QList<int>& rawAddresses)
    : bench_(bench), timeScale_(timeScale) {
    // A listening socket on a free loopback port each; fd -1 when there is none, which poll
    // skips.
    for (int pad : QList<int>{0} + rawAddresses) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::listen(fd, 8) == 0 && ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            ports_[pad] = ntohs(a.sin_port);
        connections_.push_back({fd, pad, true, {}});
    }
    thread_ = std::thread([this] { serve(); });
}

FakeLan::~FakeLan() {
    stopping_ = true;
    thread_.join();
    for (const Connection& c : connections_)
        if (c.fd >= 0) ::close(c.fd);
}

void FakeLan::serve() {
    while (!stopping_) {
        std::vector<pollfd> fds;
        for (const Connection& c : connections_)
            fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), nfds_t(fds.size()), 20) <= 0) continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const int pad = connections_[i].pad;
            if (connections_[i].listening) {
                if (const int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC); fd >= 0)
                    connections_.push_back({fd, pad, false, {}});
                continue;
            }
            char buf[65536];
            const ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
            if (n <= 0) {
                ::close(fds[i].fd);
                connections_[i].fd = -1;
                continue;
            }
            connections_[i].in.append(buf, n);
            if (!mute) receive(connections_[i]);
        }
        std::erase_if(connections_, [](const Connection& c) { return c.fd < 0; });
    }
}

void FakeLan::receive(Connection& c) {
    QByteArray reply;
    for (qsizetype lf; c.pad > 0 && (lf = c.in.indexOf('\n')) >= 0;) {
        const QByteArray line = c.in.left(lf + 1);
        c.in.remove(0, lf + 1);
        // A raw instrument has no io timeout of the caller's: the bench waits its 10 s.
        const int ud = descriptor(c.pad, quint32(10000 * timeScale_));
        bench_.ibwrt(ud, line.constData(), long(line.size()));
        if (line.trimmed().endsWith('?')) reply += WholeAnswer(bench_, ud);
    }
    while (c.pad == 0 && c.in.size() >= 4) {
        const qsizetype size = qsizetype(XdrReader(c.in).u32() & 0x7FFFFFFF);
        if (c.in.size() < 4 + size) break;
        const QByteArray call = c.in.mid(4, size); // every call of ours is one fragment
        c.in.remove(0, 4 + size);
        // xid, CALL, RPC version, program, version, procedure, then our client's empty
        // credentials and verifier.
        XdrReader r(call);
        quint32 word[10];
        for (quint32& w : word)
            w = r.u32();
        // Accepted, no verifier, success; the portmapper names this port for every program.
        reply += RecordMarked(
            XdrWriter().u32(word[0]).u32(1).u32(0).u32(0).u32(0).u32(0).bytes() +
            (word[3] == PortmapProgram ? XdrWriter().u32(ports_.at(0)).bytes() : core(word[5], r)));
    }
    // A blocking socket takes it whole, or the client is gone.
    ::send(c.fd, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
}

int FakeLan::descriptor(int pad, quint32 ioMs) {
    auto [it, made] = descriptors_.try_emplace(pad, 0);
    if (made) it->second = bench_.ibdev(0, pad, 0, 13, 1, 0);
    int code = 1;
    while (code < 17 && TimeoutSeconds(code + 1) * timeScale_ * 1000 <= ioMs)
        ++code;
    bench_.ibtmo(it->second, code);
    return it->second;
}

// A link's id is the address it reaches: links live as long as the host. A gateway reports a
// timeout as such, and anything else the bus did as an I/O error.
QByteArray FakeLan::core(quint32 procedure, XdrReader& r) {
    XdrWriter out;
    if (procedure == CreateLink) {
        for (int i = 0; i < 3; ++i)
            r.u32(); // client id, lock, lock timeout
        const QByteArray device = r.opaque(256);
        const int pad = device.startsWith("gpib0,") ? device.mid(6).toInt() : 0;
        if (refuseLinks || pad < 1 || pad > 30)
            return out.u32(NotAccessible).u32(0).u32(0).u32(0).bytes();
        return out.u32(NoError).u32(quint32(pad)).u32(0).u32(4096).bytes();
    }
    const int pad = int(r.u32());
    int sta = 0;
    if (procedure == DeviceWrite) {
        const int ud = descriptor(pad, r.u32());
        r.u32(); // lock timeout
        r.u32(); // flags: no message of the tests needs more than one call
        const QByteArray data = r.opaque(1 << 20);
        sta = bench_.ibwrt(ud, data.constData(), long(data.size()));
        out.u32(quint32(bench_.ibcntl()));
    } else if (procedure == DeviceRead) {
        QByteArray data(qsizetype(std::min<quint32>(r.u32(), 1 << 24)), '\0');
        sta = bench_.ibrd(descriptor(pad, r.u32()), data.data(), long(data.size()));
        data.truncate(bench_.ibcntl());
        out.u32((sta & END) ? ReasonEnd : ReasonRequestCount).opaque(data);
    } else if (procedure == DeviceReadStb || procedure == DeviceClear) {
        // The bench waits its 10 s, as for a raw instrument.
        const int ud = descriptor(pad, quint32(10000 * timeScale_));
        char stb = 0;
        sta = procedure == DeviceClear ? bench_.ibclr(ud) : bench_.ibrsp(ud, &stb);
        if (procedure == DeviceReadStb) out.u32(quint8(stb));
    } // destroy_link: nothing to free
    const qint32 error = (sta & TIMO) ? IoTimeout : (sta & ERR) ? IoError : NoError;
    return XdrWriter().u32(quint32(error)).bytes() + out.bytes();
}
