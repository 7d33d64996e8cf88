// The ib* calls of the simulated bench: argument checks and status, over the instruments.
#include "bus/SimInstrument.h"
#include <QFile>
#include <QSet>
#include <algorithm>

namespace gpib {

SimBus::SimBus() : d(std::make_unique<Impl>()) {}
SimBus::~SimBus() = default;

double SimBus::timeoutScale() const {
    return d->timeoutScale;
}

int SimBus::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    Q_UNUSED(eot);
    Q_UNUSED(eos);
    return addDescriptor(d->descriptors, board, pad, sad, tmo);
}

int SimBus::ibpad(int ud, int pad) {
    return changePad(d->descriptors, ud, pad);
}

int SimBus::ibwrt(int ud, const void* buf, long count) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (count < 0 || (!buf && count > 0)) return setStatus(ERR, EARG, 0);
    const QByteArray message =
        count ? QByteArray(static_cast<const char*>(buf), count) : QByteArray();
    const auto s = d->write(u->pad, message);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibrd(int ud, void* buf, long count) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (count < 0 || (!buf && count > 0)) return setStatus(ERR, EARG, 0);
    const auto s = d->read(*u, static_cast<char*>(buf), count);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibwait(int ud, int mask) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    const auto s = d->wait(*u, mask);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibask(int ud, int option, int* value) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (option != IbaTMO || !value) return setStatus(ERR, EARG, 0);
    *value = u->tmo;
    return setStatus(CMPL, 0, 0);
}

int SimBus::ibtmo(int ud, int v) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (v < 0 || v > 17) return setStatus(ERR, EARG, 0);
    u->tmo = v;
    return setStatus(CMPL, 0, 0);
}

int SimBus::ibrsp(int ud, char* spr) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!spr) return setStatus(ERR, EARG, 0);
    const auto s = d->serialPoll(*u, spr);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibclr(int ud) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    const auto s = d->deviceClear(u->pad);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibsre(int ud, int v) {
    Q_UNUSED(ud);
    Q_UNUSED(v);
    return setStatus(CMPL, 0, 0);
}

int SimBus::ibrdf(int ud, const char* fileName) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    const auto s = d->readToFile(*u, QString::fromLocal8Bit(fileName));
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibwrtf(int ud, const char* fileName) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::ReadOnly)) return setStatus(ERR, EFSO, 0);
    const auto s = d->write(u->pad, f.readAll());
    return setStatus(s.sta, s.err, s.cntl);
}

void SimBus::SendIFC(int board) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    d->journal(0, "I");
    setStatus(CMPL, 0, 0);
}

void SimBus::FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList, int limit) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    if (!padList || !resultList) {
        setStatus(ERR, EARG, 0);
        return;
    }
    QSet<int> asked;
    for (const Addr4882_t* p = padList; *p != NOADDR; ++p)
        asked.insert(*p & 0xFF);
    std::vector<Addr4882_t> found{0}; // the board itself
    for (const auto& in : d->instruments)
        if (asked.contains(in.address)) found.push_back(static_cast<Addr4882_t>(in.address));
    if (found.size() == 1) {
        setStatus(ERR, EBUS, 0);
        return;
    }
    const int n = std::min(static_cast<int>(found.size()), std::max(limit, 0));
    std::copy_n(found.begin(), n, resultList);
    if (n < static_cast<int>(found.size()))
        setStatus(ERR, ETAB, n);
    else
        setStatus(CMPL, 0, n);
}

void SimBus::DevClear(int board, Addr4882_t address) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    const int pad = address & 0xFF;
    if (pad > 30) {
        setStatus(ERR, EARG, 0);
        return;
    }
    const auto s = d->deviceClear(pad);
    setStatus(s.sta, s.err, s.cntl);
}

} // namespace gpib
