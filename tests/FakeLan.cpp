#include "FakeLan.h"
#include "TestBench.h"
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <future>

using namespace gpib;
using namespace gpib::vxi11;

FakeLan::FakeLan(Driver& bench, double timeScale, const QList<int>& rawAddresses)
    : bench_(bench), timeScale_(timeScale) {
    std::promise<void> listening;
    thread_ = std::thread([&] {
        QEventLoop loop;
        // Their connections are their children: all close as the thread ends.
        std::vector<std::unique_ptr<QTcpServer>> servers;
        for (int pad : QList<int>{0} + rawAddresses) {
            QTcpServer* server = servers.emplace_back(std::make_unique<QTcpServer>()).get();
            server->listen(QHostAddress::LocalHost);
            ports_[pad] = server->serverPort();
            QObject::connect(server, &QTcpServer::newConnection, [this, server, pad] {
                while (QTcpSocket* c = server->nextPendingConnection())
                    QObject::connect(c, &QTcpSocket::readyRead, [this, c, pad] {
                        if (!mute) receive(*c, pad);
                    });
            });
        }
        loop_ = &loop;
        listening.set_value();
        loop.exec();
    });
    listening.get_future().wait();
}

FakeLan::~FakeLan() {
    QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
    thread_.join();
}

void FakeLan::receive(QTcpSocket& c, int pad) {
    while (pad > 0 && c.canReadLine()) {
        const QByteArray line = c.readLine();
        // A raw instrument has no io timeout of the caller's: the bench waits its 10 s.
        const int ud = descriptor(pad, quint32(10000 * timeScale_));
        bench_.ibwrt(ud, line.constData(), long(line.size()));
        if (line.trimmed().endsWith('?')) c.write(WholeAnswer(bench_, ud));
    }
    while (pad == 0 && c.bytesAvailable() >= 4) {
        const QByteArray mark = c.peek(4);
        const qsizetype size = qsizetype(XdrReader(mark).u32() & 0x7FFFFFFF);
        if (c.bytesAvailable() < 4 + size) return;
        c.skip(4);
        const QByteArray call = c.read(size); // every call of ours is one fragment
        // xid, CALL, RPC version, program, version, procedure, then our client's empty
        // credentials and verifier.
        XdrReader r(call);
        quint32 word[10];
        for (quint32& w : word)
            w = r.u32();
        // Accepted, no verifier, success; the portmapper names this port for every program.
        c.write(RecordMarked(XdrWriter().u32(word[0]).u32(1).u32(0).u32(0).u32(0).u32(0).bytes() +
                             (word[3] == PortmapProgram ? XdrWriter().u32(ports_.at(0)).bytes()
                                                        : core(word[5], r))));
    }
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
