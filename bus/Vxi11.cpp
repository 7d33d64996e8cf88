#include "bus/Vxi11.h"

namespace gpib::vxi11 {

namespace {

constexpr std::uint32_t RpcVersion = 2;
constexpr std::uint32_t MsgCall = 0, MsgReply = 1;
constexpr std::uint32_t MsgAccepted = 0, AcceptSuccess = 0;
constexpr std::uint32_t LastFragment = 0x80000000u;
constexpr qsizetype MaxRecord = 64 << 20; // no reply of ours comes near; more is a broken peer
constexpr std::uint32_t MaxVerifier = 400;

} // namespace

XdrWriter& XdrWriter::u32(std::uint32_t v) {
    const char word[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out_.append(word, 4);
    return *this;
}

XdrWriter& XdrWriter::opaque(const QByteArray& bytes) {
    u32(std::uint32_t(bytes.size()));
    out_ += bytes;
    out_.append((4 - bytes.size() % 4) % 4, '\0');
    return *this;
}

std::uint32_t XdrReader::u32() {
    if (!ok_ || at_ + 4 > in_.size()) {
        ok_ = false;
        return 0;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(in_.constData() + at_);
    at_ += 4;
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

QByteArray XdrReader::opaque(std::uint32_t max) {
    const std::uint32_t size = u32();
    const qsizetype padded = qsizetype(size) + (4 - size % 4) % 4;
    if (!ok_ || size > max || at_ + padded > in_.size()) {
        ok_ = false;
        return {};
    }
    QByteArray bytes = in_.mid(at_, size);
    at_ += padded;
    return bytes;
}

QByteArray CallMessage(std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                       std::uint32_t procedure, const QByteArray& arguments) {
    XdrWriter w;
    w.u32(xid).u32(MsgCall).u32(RpcVersion).u32(program).u32(version).u32(procedure);
    w.u32(0).u32(0).u32(0).u32(0); // AUTH_NONE credentials and verifier
    return w.bytes() + arguments;
}

qsizetype ReplyResults(const QByteArray& reply, std::uint32_t xid) {
    XdrReader r(reply);
    if (r.u32() != xid || r.u32() != MsgReply || r.u32() != MsgAccepted) return -1;
    r.u32();               // verifier flavour
    r.opaque(MaxVerifier); // and body
    if (r.u32() != AcceptSuccess || !r.ok()) return -1;
    return r.at();
}

QByteArray RecordMarked(const QByteArray& message) {
    XdrWriter mark;
    mark.u32(LastFragment | std::uint32_t(message.size()));
    return mark.bytes() + message;
}

namespace {

// One call on the socket: sends the record and reads records until the one for this xid.
Result::Transport Call(LanSocket& socket, std::uint32_t xid, std::uint32_t program,
                       std::uint32_t version, std::uint32_t procedure, const QByteArray& arguments,
                       int waitMs, QByteArray* reply, qsizetype* results) {
    using T = Result::Transport;
    const QByteArray record =
        RecordMarked(CallMessage(xid, program, version, procedure, arguments));
    const auto failed = [&](LanSocket::Io io) {
        socket.close();
        return io == LanSocket::Io::TimedOut ? T::TimedOut : T::Lost;
    };
    if (!socket.discardPending()) return T::Lost;
    if (const auto io = socket.send(record.constData(), std::size_t(record.size()), waitMs);
        io != LanSocket::Io::Done)
        return failed(io);
    for (;;) {
        reply->clear();
        for (bool last = false; !last;) {
            QByteArray mark;
            if (const auto io = socket.receiveAll(&mark, 4, waitMs); io != LanSocket::Io::Done)
                return failed(io);
            const std::uint32_t word = XdrReader(mark).u32();
            last = word & LastFragment;
            const std::uint32_t size = word & ~LastFragment;
            if (reply->size() + qsizetype(size) > MaxRecord) return failed(LanSocket::Io::Gone);
            if (const auto io = socket.receiveAll(reply, size, waitMs); io != LanSocket::Io::Done)
                return failed(io);
        }
        // A reply to a call given up earlier cannot come: that closed the connection. A
        // reply that is not a success ends the connection too, as the peer does not speak
        // the protocol we expect.
        if (XdrReader(*reply).u32() != xid) continue;
        *results = ReplyResults(*reply, xid);
        return *results < 0 ? failed(LanSocket::Io::Gone) : T::Ok;
    }
}

} // namespace

bool CoreClient::open(const QString& host, quint16 pmPort, int connectMs, QString* error) {
    LanSocket portmapper;
    if (!portmapper.connect(host, pmPort, connectMs, error)) return false;
    XdrWriter args;
    args.u32(CoreProgram).u32(CoreVersion).u32(IpProtoTcp).u32(0);
    QByteArray reply;
    qsizetype at = 0;
    const auto t = Call(portmapper, ++xid_, PortmapProgram, PortmapVersion, PortmapGetPort,
                        args.bytes(), connectMs, &reply, &at);
    XdrReader r(reply, at);
    const std::uint32_t port = t == Result::Transport::Ok ? r.u32() : 0;
    if (t != Result::Transport::Ok || !r.ok() || port == 0 || port > 65535) {
        if (error)
            *error =
                t == Result::Transport::TimedOut
                    ? QString("its portmapper did not answer within %1 s").arg(connectMs / 1000.0)
                : t == Result::Transport::Lost
                    ? QString("its portmapper (port %1) does not answer RPC").arg(pmPort)
                    : QString("it offers no VXI-11 core channel");
        return false;
    }
    return socket_.connect(host, quint16(port), connectMs, error);
}

namespace {

std::uint32_t Ms(int ms) {
    return std::uint32_t(ms < 0 ? 0 : ms);
}

} // namespace

// Every core reply starts with the device's error code; fill reads the rest.
Result CoreClient::run(std::uint32_t procedure, const XdrWriter& arguments, int waitMs,
                       const std::function<void(XdrReader&, Result&)>& fill) {
    Result result;
    if (!socket_.isOpen()) return result;
    QByteArray reply;
    qsizetype at = 0;
    result.transport = Call(socket_, ++xid_, CoreProgram, CoreVersion, procedure, arguments.bytes(),
                            waitMs, &reply, &at);
    if (!result.delivered()) return result;
    XdrReader r(reply, at);
    result.error = std::int32_t(r.u32());
    if (fill) fill(r, result);
    if (!r.ok()) {
        socket_.close();
        result.transport = Result::Transport::Lost;
    }
    return result;
}

Result CoreClient::createLink(const QByteArray& device, int timeoutMs) {
    XdrWriter a;
    a.u32(0x5E9).u32(0).u32(0).opaque(device); // clientId, no lock, lock_timeout
    return run(CreateLink, a, timeoutMs + slackMs, [](XdrReader& r, Result& x) {
        x.lid = r.u32();
        r.u32(); // abort port
        x.value = r.u32();
    });
}

Result CoreClient::write(std::uint32_t lid, const QByteArray& data, bool end, int ioMs) {
    XdrWriter a;
    a.u32(lid).u32(Ms(ioMs)).u32(0).u32(end ? FlagEnd : 0).opaque(data);
    return run(DeviceWrite, a, ioMs + slackMs, [](XdrReader& r, Result& x) { x.value = r.u32(); });
}

Result CoreClient::read(std::uint32_t lid, std::uint32_t size, int ioMs) {
    XdrWriter a;
    a.u32(lid).u32(size).u32(Ms(ioMs)).u32(0).u32(0).u32(0); // no lock wait, no term char
    return run(DeviceRead, a, ioMs + slackMs, [size](XdrReader& r, Result& x) {
        x.value = r.u32();
        x.data = r.opaque(size);
    });
}

Result CoreClient::readStb(std::uint32_t lid, int ioMs) {
    XdrWriter a;
    a.u32(lid).u32(0).u32(0).u32(Ms(ioMs));
    return run(DeviceReadStb, a, ioMs + slackMs,
               [](XdrReader& r, Result& x) { x.value = r.u32() & 0xFF; });
}

Result CoreClient::clear(std::uint32_t lid, int ioMs) {
    XdrWriter a;
    a.u32(lid).u32(0).u32(0).u32(Ms(ioMs));
    return run(DeviceClear, a, ioMs + slackMs, nullptr);
}

Result CoreClient::destroyLink(std::uint32_t lid) {
    XdrWriter a;
    a.u32(lid);
    return run(DestroyLink, a, slackMs, nullptr);
}

} // namespace gpib::vxi11
