#pragma once
// The VXI-11 core channel, the protocol of LAN instruments and GPIB-LAN gateways: ONC RPC
// calls over TCP, XDR-encoded, after asking the host's portmapper where the channel listens.
// Only the calls the driver needs; the abort and interrupt channels are not used.
#include "bus/LanSocket.h"
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace gpib::vxi11 {

constexpr std::uint32_t PortmapProgram = 100000, PortmapVersion = 2, PortmapGetPort = 3;
constexpr std::uint32_t CoreProgram = 0x0607AF, CoreVersion = 1;
constexpr std::uint16_t PortmapPort = 111;
constexpr std::uint32_t IpProtoTcp = 6;

enum Procedure : std::uint32_t {
    CreateLink = 10,
    DeviceWrite = 11,
    DeviceRead = 12,
    DeviceReadStb = 13,
    DeviceClear = 15,
    DestroyLink = 23,
};

// Device_Flags and the reasons a device_read ended.
constexpr std::uint32_t FlagEnd = 0x08;
constexpr std::uint32_t ReasonRequestCount = 0x01, ReasonChar = 0x02, ReasonEnd = 0x04;

// Device_ErrorCode values the driver tells apart.
enum DeviceError : std::int32_t {
    NoError = 0,
    NotAccessible = 3,
    InvalidLink = 4,
    ParameterError = 5,
    NotSupported = 8,
    OutOfResources = 9,
    Locked = 11,
    IoTimeout = 15,
    IoError = 17,
    InvalidAddress = 21,
    Aborted = 23,
};

// XDR: big-endian 32-bit words; opaque data and strings carry their length and are padded
// to a word.
class XdrWriter {
public:
    XdrWriter& u32(std::uint32_t v);
    XdrWriter& opaque(const QByteArray& bytes);
    const QByteArray& bytes() const { return out_; }

private:
    QByteArray out_;
};

class XdrReader {
public:
    explicit XdrReader(const QByteArray& in, qsizetype at = 0) : in_(in), at_(at) {}
    std::uint32_t u32();
    // An opaque of at most max bytes; a longer one makes the reader fail.
    QByteArray opaque(std::uint32_t max);
    // False once a read ran past the end or met a malformed item.
    bool ok() const { return ok_; }
    qsizetype at() const { return at_; }

private:
    const QByteArray& in_;
    qsizetype at_;
    bool ok_ = true;
};

// An RPC call message (without its record mark), credentials and verifier empty.
QByteArray CallMessage(std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                       std::uint32_t procedure, const QByteArray& arguments);
// Where the results of an accepted, successful reply to xid start; -1 when the reply is not
// one (another xid, denied, or not successful).
qsizetype ReplyResults(const QByteArray& reply, std::uint32_t xid);
// One record on a stream: fragments of 4-byte marks, the high bit marking the last.
QByteArray RecordMarked(const QByteArray& message);

// What came back from a call; the fields a call does not fill stay zero.
struct Result {
    enum class Transport { Ok, TimedOut, Lost };
    Transport transport = Transport::Lost;
    std::int32_t error = NoError; // the device's error code
    std::uint32_t lid = 0;
    std::uint32_t value = 0; // maxRecvSize, bytes written, a read's reason, or the status byte
    QByteArray data;

    bool delivered() const { return transport == Transport::Ok; }
    bool ok() const { return delivered() && error == NoError; }
};

// A connection to one host's core channel. Every call waits at most its io timeout plus the
// slack that the network may add; a call not answered in time leaves the connection closed,
// since a late reply would otherwise stand before the next one.
class CoreClient {
public:
    // Asks the portmapper on pmPort for the core channel's port and connects to it.
    bool open(const QString& host, quint16 pmPort, int connectMs, QString* error);
    bool isOpen() const { return socket_.isOpen(); }
    void close() { socket_.close(); }
    int slackMs = 2000;

    Result createLink(const QByteArray& device, int timeoutMs);
    Result write(std::uint32_t lid, const QByteArray& data, bool end, int ioMs);
    Result read(std::uint32_t lid, std::uint32_t size, int ioMs);
    Result readStb(std::uint32_t lid, int ioMs);
    Result clear(std::uint32_t lid, int ioMs);
    Result destroyLink(std::uint32_t lid);

private:
    Result run(std::uint32_t procedure, const XdrWriter& arguments, int waitMs,
               const std::function<void(XdrReader&, Result&)>& fill);

    LanSocket socket_;
    std::uint32_t xid_ = 0x5E900000;
};

} // namespace gpib::vxi11
