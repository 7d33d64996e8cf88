#include "bus/Instrument.h"
#include "bus/BusAccess.h"
#include "bus/BusActivity.h"
#include "bus/GpibDriver.h"
#include "bus/Listeners.h"
#include "bus/Session.h"
#include <algorithm>

namespace bus {

namespace {
constexpr int ChunkSize = 512;
constexpr int ReadTimeoutCode = 13; // 10 s for every read, whatever the descriptor had

// The last call's failure, if it failed.
Error LastCall(const gpib::Driver& bus) {
    if (!(bus.ibsta() & gpib::ERR)) return {};
    return {Error::Kind::Driver, bus.iberr()};
}
} // namespace

Instrument::Instrument(Session& session) : session_(session) {}

gpib::BusActivity& Instrument::activity() const {
    return session_.activity();
}

Error Instrument::open(const Listeners& listeners) {
    gpib::Driver& bus = session_.driver();
    if (DeviceUd == 0) {
        const int ud = bus.ibdev(0, 1, 0, 11, 1, 0);
        // A descriptor the driver refused (-1) is none at all; calls on it would reach the
        // board or fail one by one.
        if (ud <= 0 || ud > INT16_MAX) return {Error::Kind::NotConfigured};
        DeviceUd = std::int16_t(ud);
    }
    for (int i = 1; i <= listeners.count(); ++i) {
        char poll = 0;
        bus.ibpad(DeviceUd, listeners.at(i));
        bus.ibrsp(DeviceUd, &poll); // clears a pending service request; the byte is unused
    }
    bus.ibpad(DeviceUd, listeners.at(1));
    bus.ibtmo(DeviceUd, IoTimeout);
    return LastCall(bus);
}

void Instrument::setAddress(std::int16_t address) {
    DeviceAddress = address;
    session_.driver().ibpad(DeviceUd, address);
}

Reply Instrument::queryAt(std::int16_t address, const QByteArray& text) {
    session_.driver().ibpad(DeviceUd, address);
    return query(text);
}

Error Instrument::write(const QByteArray& text) const {
    if (DeviceUd == 0) return {Error::Kind::NotConfigured};
    gpib::Driver& bus = session_.driver();
    bus.ibwrt(DeviceUd, text.constData(), text.size());
    return LastCall(bus);
}

Reply Instrument::read(const bool* stop) const {
    if (DeviceUd == 0) return {{}, {Error::Kind::NotConfigured}};
    gpib::Driver& bus = session_.driver();
    int oldTimeout = ReadTimeoutCode;
    bus.ibask(DeviceUd, gpib::IbaTMO, &oldTimeout);
    if (oldTimeout != ReadTimeoutCode) bus.ibtmo(DeviceUd, ReadTimeoutCode);

    QByteArray answer;
    Error::Kind outcome = Error::Kind::None;
    for (;;) {
        char buffer[ChunkSize];
        bus.ibwait(DeviceUd, gpib::TIMO | gpib::CMPL);
        const int sta = bus.ibrd(DeviceUd, buffer, ChunkSize);
        // Any error ends the read, not only a timeout: otherwise a chunk that never
        // carries END would keep the loop reading for ever.
        if (sta & (gpib::TIMO | gpib::ERR)) {
            outcome = Error::Kind::ReadFailed;
            break;
        }
        const long got = std::clamp<long>(bus.ibcntl(), 0, ChunkSize);
        answer.append(buffer, got);
        if (sta & gpib::END) break;
        if (answer.size() >= MaxAnswerBytes) {
            outcome = Error::Kind::ReadFailed; // a cut answer must not pass as the whole one
            break;
        }
        if (stop && *stop) {
            outcome = Error::Kind::Stopped;
            break;
        }
    }
    if (oldTimeout != ReadTimeoutCode) bus.ibtmo(DeviceUd, oldTimeout);
    if (outcome != Error::Kind::None) return {{}, {outcome}};
    return {CleanAnswer(answer), {}};
}

Reply Instrument::query(const QByteArray& text, const bool* stop) const {
    const gpib::Transaction transaction(session_.activity()); // the pause handles events
    if (const Error failed = write(text)) return {{}, failed};
    WaitSeconds(0.1f);
    return read(stop);
}

Error Instrument::sendTo(std::int16_t address, const QByteArray& command) const {
    if (DeviceUd == 0)
        return {Error::Kind::NotConfigured}; // before ibpad, which takes 0 as the board
    const gpib::Transaction transaction(session_.activity());
    gpib::Driver& bus = session_.driver();
    bus.ibpad(DeviceUd, address);
    const Error failed = write(command);
    bus.ibpad(DeviceUd, DeviceAddress);
    return failed;
}

Instrument::Loan Instrument::lend() {
    return Loan(*this);
}

void Instrument::Loan::setAddress(std::int16_t address) {
    address_ = address;
    session().driver().ibpad(ud(), address);
}

Instrument::Loan::~Loan() {
    if (owner_.DeviceAddress == 0 || owner_.DeviceUd == 0)
        return; // no instrument of the owner's yet
    session().driver().ibpad(owner_.DeviceUd, owner_.DeviceAddress);
}

} // namespace bus
