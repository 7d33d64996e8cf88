#include "bus/LanBus.h"
#include <QFile>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

namespace gpib {

namespace {

constexpr std::uint32_t ReadPiece = 1 << 20; // a device_read asks for no more at once
constexpr qint64 FilePiece = 64 << 10;       // a file goes out in pieces, never whole in memory
constexpr int RawPiece = 64 << 10;
constexpr int SrqPollMs = 20;
constexpr char RequestService = 0x40;

QString Key(const LanTarget& t) {
    return t.host + ':' + QString::number(t.port);
}

} // namespace

std::optional<std::map<int, LanTarget>> LanInstruments(const std::function<QString(int)>& stored,
                                                       QString* error) {
    std::map<int, LanTarget> list;
    for (int key = 1; key <= 30; ++key) {
        const QString text = stored(key).trimmed();
        if (text.isEmpty()) continue;
        const std::optional<LanTarget> target = ParseLanTarget(text);
        if (!target) {
            if (error)
                *error = QString("The key %1 of the section LAN holds \"%2\", which is neither "
                                 "vxi11://<host>[/<device>] nor raw://<host>[:<port>].")
                             .arg(key)
                             .arg(text);
            return std::nullopt;
        }
        list[key] = *target;
    }
    if (list.empty() && error)
        *error = "SEQUOR_BUS=lan looks for LAN instruments under the keys 1 to 30 of the section "
                 "LAN in Sequor's settings, each vxi11://<host>[/<device>] or "
                 "raw://<host>[:<port>] at the GPIB address of its key, and found none.";
    if (list.empty()) return std::nullopt;
    return list;
}

std::optional<LanTarget> ParseLanTarget(const QString& text) {
    LanTarget t;
    QString rest;
    if (text.startsWith("vxi11://")) {
        t.kind = LanTarget::Kind::Vxi11;
        t.port = vxi11::PortmapPort;
        rest = text.mid(8);
        const qsizetype slash = rest.indexOf('/');
        t.device = slash < 0 ? QByteArray("inst0") : rest.mid(slash + 1).toLatin1();
        if (slash >= 0) rest.truncate(slash);
        if (t.device.isEmpty()) return std::nullopt;
    } else if (text.startsWith("raw://")) {
        t.port = RawPort;
        rest = text.mid(6);
    } else {
        return std::nullopt;
    }
    const qsizetype colon = rest.lastIndexOf(':');
    t.host = colon < 0 ? rest : rest.left(colon);
    if (colon >= 0) {
        bool ok = false;
        const uint port = rest.mid(colon + 1).toUInt(&ok);
        if (!ok || port < 1 || port > 65535) return std::nullopt;
        t.port = quint16(port);
    }
    if (t.host.isEmpty() || t.host.contains('/') || t.host.contains(' ')) return std::nullopt;
    return t;
}

LanBus::LanBus(Targets targets, Options options)
    : targets_(std::move(targets)), options_(options) {}

LanBus::~LanBus() {
    // Links end with the connection; a gateway frees them when it sees the channel close.
    links_.clear();
}

LanBus::Targets LanBus::Gateway(const QString& host, quint16 pmPort, const QString& interface) {
    return [=](int pad) -> std::optional<LanTarget> {
        if (pad < 1 || pad > 30) return std::nullopt;
        return LanTarget{LanTarget::Kind::Vxi11, host, pmPort,
                         interface.toLatin1() + ',' + QByteArray::number(pad), true};
    };
}

LanBus::Targets LanBus::Listed(std::map<int, LanTarget> instruments) {
    return [list = std::move(instruments)](int pad) -> std::optional<LanTarget> {
        const auto it = list.find(pad);
        if (it == list.end()) return std::nullopt;
        return it->second;
    };
}

bool LanBus::start(const QString& host, quint16 pmPort, QString* error) {
    QString why;
    if (channel({LanTarget::Kind::Vxi11, host, pmPort, {}, true}, &why)) return true;
    if (error)
        *error = QString("The VXI-11 gateway %1 cannot be reached: %2.").arg(host, why) +
                 ChooseBenchHint;
    return false;
}

LanBus::Descriptor* LanBus::descriptor(int ud) {
    return FindDescriptor(descriptors_, ud);
}

int LanBus::deadlineMs(int tmo) const {
    double s = TimeoutSeconds(tmo);
    if (s < 0) s = NoLimitSeconds;
    return std::max(options_.minDeadlineMs, int(s * options_.timeoutScale * 1000));
}

vxi11::CoreClient* LanBus::channel(const LanTarget& target, QString* error) {
    auto& core = channels_[Key(target)];
    if (!core) {
        core = std::make_unique<vxi11::CoreClient>();
        core->slackMs = options_.slackMs;
    }
    if (!core->isOpen() && !core->open(target.host, target.port, options_.connectMs, error))
        return nullptr;
    progressed();
    return core.get();
}

// The link to the instrument at the address, made at its first use and again after its
// connection broke. Without one, the status says why.
LanBus::Link* LanBus::link(int pad) {
    auto it = links_.find(pad);
    if (it != links_.end()) {
        Link& l = *it->second;
        if (l.target.kind == LanTarget::Kind::Raw ? l.raw.isOpen() : l.core->isOpen()) return &l;
        links_.erase(it);
    }
    const std::optional<LanTarget> target = targets_(pad);
    if (!target) return setStatus(ERR, ENOL, 0), nullptr;
    auto l = std::make_unique<Link>();
    l->target = *target;
    if (target->kind == LanTarget::Kind::Raw) {
        if (!l->raw.connect(target->host, target->port, options_.connectMs, nullptr))
            return setStatus(ERR, ENEB, 0), nullptr;
    } else {
        l->core = channel(*target, nullptr);
        if (!l->core) return setStatus(ERR, ENEB, 0), nullptr;
        const vxi11::Result made = l->core->createLink(target->device, options_.connectMs);
        if (!made.delivered()) return vxiFailed(pad, made, 0), nullptr;
        // The host refused the link: nobody there.
        if (made.error != vxi11::NoError) return setStatus(ERR, ENOL, 0), nullptr;
        l->lid = made.lid;
        l->maxWrite = std::clamp<std::uint32_t>(made.value, 1, ReadPiece);
    }
    progressed();
    return links_.emplace(pad, std::move(l)).first->second.get();
}

void LanBus::drop(int pad) {
    const auto it = links_.find(pad);
    if (it == links_.end()) return;
    if (it->second->core && it->second->core->isOpen())
        it->second->core->destroyLink(it->second->lid);
    links_.erase(it);
}

// A VXI-11 call that failed. A connection that broke takes every link on it along.
int LanBus::vxiFailed(int pad, const vxi11::Result& r, long count) {
    if (!r.delivered()) {
        std::erase_if(links_,
                      [](const auto& l) { return l.second->core && !l.second->core->isOpen(); });
        if (r.transport == vxi11::Result::Transport::TimedOut)
            return setStatus(ERR | TIMO, EABO, count);
        return setStatus(ERR, ENEB, count);
    }
    switch (r.error) {
    case vxi11::IoTimeout:
    case vxi11::Locked:
        return setStatus(ERR | TIMO, EABO, count);
    case vxi11::NotSupported:
        return setStatus(ERR, ECAP, count);
    case vxi11::ParameterError:
    case vxi11::InvalidAddress:
        return setStatus(ERR, EARG, count);
    case vxi11::InvalidLink:
        links_.erase(pad); // made anew at the next call
        return setStatus(ERR, ENEB, count);
    case vxi11::IoError:
        return setStatus(ERR, ENOL, count);
    default:
        return setStatus(ERR, EABO, count);
    }
}

int LanBus::rawFailed(int pad, LanSocket::Io io, long count) {
    if (io == LanSocket::Io::TimedOut) return setStatus(ERR | TIMO, EABO, count);
    links_.erase(pad);
    return setStatus(ERR, ENEB, count);
}

int LanBus::write(const Descriptor& u, const QByteArray& data, bool end) {
    Link* l = link(u.pad);
    if (!l) return ibsta();
    const int timeout = deadlineMs(u.tmo);
    if (l->target.kind == LanTarget::Kind::Raw) {
        // A new message makes the instrument drop what it had not sent. A raw socket has no
        // EOI: the line end marks the end of a message.
        l->inbox.clear();
        if (!l->raw.discardPending()) return rawFailed(u.pad, LanSocket::Io::Gone, 0);
        const QByteArray line = data + (end && !data.endsWith('\n') ? "\n" : "");
        const LanSocket::Io io = l->raw.send(line.constData(), std::size_t(line.size()), timeout);
        if (io != LanSocket::Io::Done) return rawFailed(u.pad, io, 0);
        progressed();
        return setStatus(CMPL, 0, long(data.size()));
    }
    long sent = 0;
    do {
        const QByteArray piece = data.mid(sent, l->maxWrite);
        const bool last = sent + piece.size() >= data.size();
        const vxi11::Result r = l->core->write(l->lid, piece, end && last, timeout);
        if (!r.ok())
            return vxiFailed(u.pad, r, sent + long(std::min<std::uint32_t>(r.value, piece.size())));
        sent += long(piece.size());
        progressed();
    } while (sent < data.size());
    return setStatus(CMPL, 0, sent);
}

// Up to want bytes of one answer, handed to the sink as they come. VXI-11 marks the answer's
// end (the byte with EOI); a raw answer ends after its line end.
int LanBus::read(const Descriptor& u, const Sink& sink, long want, qint64 cap) {
    Link* l = link(u.pad);
    if (!l) return ibsta();
    const int timeout = deadlineMs(u.tmo);
    long got = 0;
    const auto take = [&](const QByteArray& bytes) {
        got += long(bytes.size());
        progressed();
        return got <= cap && sink(bytes);
    };
    const auto kept = [&] {
        return got > cap ? setStatus(ERR, EABO, got) : setStatus(ERR, EFSO, got);
    };
    if (l->target.kind == LanTarget::Kind::Raw) {
        for (;;) {
            const qsizetype lf = l->inbox.indexOf('\n');
            const qsizetype n = std::min<qint64>(want - got, lf >= 0 ? lf + 1 : l->inbox.size());
            if (n > 0) {
                const QByteArray part = l->inbox.left(n);
                l->inbox.remove(0, n);
                if (!take(part)) return kept();
                if (n == lf + 1) return setStatus(END | CMPL, 0, got);
            }
            if (got >= want) return setStatus(CMPL, 0, got);
            const int room = int(std::min<qint64>(RawPiece, want - got));
            const LanSocket::Io io = l->raw.receive(&l->inbox, std::size_t(room), timeout);
            if (io != LanSocket::Io::Done) {
                l->inbox.clear(); // the rest of a late answer goes with the next write
                return rawFailed(u.pad, io, got);
            }
        }
    }
    while (got < want) {
        const auto size = std::uint32_t(std::min<qint64>(ReadPiece, want - got));
        const vxi11::Result r = l->core->read(l->lid, size, timeout);
        if (!r.ok()) return vxiFailed(u.pad, r, got);
        if (!take(r.data)) return kept();
        if (r.value & (vxi11::ReasonEnd | vxi11::ReasonChar)) return setStatus(END | CMPL, 0, got);
    }
    return setStatus(CMPL, 0, got);
}

int LanBus::poll(Link& l, int pad, int timeoutMs, char* spr) {
    if (l.target.kind == LanTarget::Kind::Raw) return setStatus(ERR, ECAP, 0);
    const vxi11::Result r = l.core->readStb(l.lid, timeoutMs);
    if (!r.ok()) return vxiFailed(pad, r, 0);
    progressed();
    *spr = char(r.value);
    return setStatus(CMPL, 0, 0);
}

// VXI-11 has a call for it; a raw instrument drops its half-sent answer when its connection
// closes, so that is what clearing it does.
int LanBus::clear(int pad, int tmo) {
    Link* l = link(pad);
    if (!l) return ibsta();
    l->pendingPoll.reset();
    if (l->target.kind == LanTarget::Kind::Raw) {
        links_.erase(pad);
        return setStatus(CMPL, 0, 0);
    }
    const vxi11::Result r = l->core->clear(l->lid, deadlineMs(tmo));
    if (!r.ok()) return vxiFailed(pad, r, 0);
    return setStatus(CMPL, 0, 0);
}

int LanBus::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    Q_UNUSED(eot);
    Q_UNUSED(eos);
    return addDescriptor(descriptors_, board, pad, sad, tmo);
}

int LanBus::ibpad(int ud, int pad) {
    return changePad(descriptors_, ud, pad);
}

int LanBus::ibwrt(int ud, const void* buf, long count) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (count < 0 || (!buf && count > 0)) return setStatus(ERR, EARG, 0);
    return write(*u, count ? QByteArray(static_cast<const char*>(buf), count) : QByteArray(), true);
}

int LanBus::ibrd(int ud, void* buf, long count) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (count < 0 || (!buf && count > 0)) return setStatus(ERR, EARG, 0);
    long at = 0;
    return read(
        *u,
        [&](const QByteArray& part) {
            std::memcpy(static_cast<char*>(buf) + at, part.constData(), std::size_t(part.size()));
            at += long(part.size());
            return true;
        },
        count, options_.maxAnswer);
}

int LanBus::ibwait(int ud, int mask) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (mask & ~(TIMO | END | RQS | CMPL)) return setStatus(ERR, EARG, 0);
    if (!(mask & RQS)) return setStatus(CMPL, 0, 0);
    Link* l = link(u->pad);
    if (!l) return ibsta();
    // The core channel reports a service request through the status byte; the byte a poll
    // took here is the one the next ibrsp hands on, as a driver's own poll would keep it.
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs(u->tmo));
    for (;;) {
        char stb = 0;
        if (poll(*l, u->pad, deadlineMs(u->tmo), &stb) & ERR) return ibsta();
        if (stb & RequestService) {
            l->pendingPoll = stb;
            return setStatus(CMPL | RQS, 0, 0);
        }
        if (std::chrono::steady_clock::now() >= until) return setStatus(CMPL | TIMO, 0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(SrqPollMs));
    }
}

int LanBus::ibask(int ud, int option, int* value) {
    Descriptor* u = descriptor(ud);
    return askTimeout(u ? &u->tmo : nullptr, option, value);
}

int LanBus::ibtmo(int ud, int v) {
    Descriptor* u = descriptor(ud);
    return changeTimeout(u ? &u->tmo : nullptr, v);
}

int LanBus::ibrsp(int ud, char* spr) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!spr) return setStatus(ERR, EARG, 0);
    Link* l = link(u->pad);
    if (!l) return ibsta();
    if (l->pendingPoll) {
        *spr = *std::exchange(l->pendingPoll, std::nullopt);
        return setStatus(CMPL, 0, 0);
    }
    return poll(*l, u->pad, deadlineMs(u->tmo), spr);
}

int LanBus::ibclr(int ud) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    return clear(u->pad, u->tmo);
}

int LanBus::ibsre(int ud, int v) {
    Q_UNUSED(ud);
    Q_UNUSED(v);
    // A gateway keeps remote enable asserted as controller; LAN instruments have none.
    return setStatus(CMPL, 0, 0);
}

int LanBus::ibrdf(int ud, const char* fileName) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return setStatus(ERR, EFSO, 0);
    const int sta = read(
        *u, [&](const QByteArray& part) { return f.write(part) == part.size(); },
        long(std::min<qint64>(options_.maxFileAnswer + 1, LONG_MAX)), options_.maxFileAnswer);
    if (!f.flush() && !(sta & ERR)) return setStatus(ERR, EFSO, ibcntl());
    return sta;
}

int LanBus::ibwrtf(int ud, const char* fileName) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::ReadOnly)) return setStatus(ERR, EFSO, 0);
    long sent = 0;
    do {
        const QByteArray piece = f.read(FilePiece);
        if (f.error() != QFileDevice::NoError) return setStatus(ERR, EFSO, sent);
        if (write(*u, piece, f.atEnd()) & ERR) return setStatus(ibsta(), iberr(), sent + ibcntl());
        sent += long(piece.size());
    } while (!f.atEnd());
    return setStatus(CMPL, 0, sent);
}

void LanBus::SendIFC(int board) {
    // The core channel has no interface clear; a gateway's bus stays as it is.
    setStatus(board == 0 ? CMPL : ERR, board == 0 ? 0 : ENEB, 0);
}

// Behind a gateway an address listens when it answers a serial poll, so a silent one costs
// the poll's timeout; a LAN instrument listens when its host takes the link or connection.
void LanBus::FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList, int limit) {
    if (board != 0) return void(setStatus(ERR, ENEB, 0));
    if (!padList || !resultList) return void(setStatus(ERR, EARG, 0));
    std::vector<Addr4882_t> found;
    for (const Addr4882_t* p = padList; *p != NOADDR; ++p) {
        const int a = *p & 0xFF;
        if (a < 1 || a > 30 || std::find(found.begin(), found.end(), a) != found.end()) continue;
        const std::optional<LanTarget> target = targets_(a);
        if (!target) continue;
        Link* l = link(a);
        if (!l && target->behindGateway && iberr() != ENOL) return; // the gateway is gone
        if (!l) continue;
        char stb = 0;
        const bool listens =
            !target->behindGateway || !(poll(*l, a, options_.scanPollMs, &stb) & ERR);
        if (listens)
            found.push_back(Addr4882_t(a));
        else if (iberr() == ENEB)
            return;
        else
            drop(a);
        progressed();
    }
    std::sort(found.begin(), found.end());
    setListeners(found, resultList, limit);
}

void LanBus::DevClear(int board, Addr4882_t address) {
    if (board != 0) return void(setStatus(ERR, ENEB, 0));
    const int pad = address & 0xFF;
    if (pad > 30) return void(setStatus(ERR, EARG, 0));
    clear(pad, 13); // 10 s, the board's usual timeout
}

} // namespace gpib
