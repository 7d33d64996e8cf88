#pragma once
// The program's one descriptor (DeviceUd), with the address of the main window's measuring
// instrument (DeviceAddress) and the timeout code it is opened with (IoTimeout). The main
// window owns it and keeps the descriptor addressed to DeviceAddress between uses; the
// terminal borrows it (lend) for as long as it is open.
//
// What leaves the instrument as it found it is const, so a window handed a const instrument
// (the query test dialog, the conditional command) can talk through it but not re-address it.
// Bus texts are bytes, one byte per character, NUL included.
#include "bus/BusError.h"
#include <QByteArray>
#include <cstdint>

namespace gpib {
class BusActivity;
}

namespace bus {

class Listeners;
class Session;

class Instrument {
public:
    explicit Instrument(Session& session);

    // Whether a window's call on the bus is under way: the windows that use the instrument
    // refuse their own bus controls meanwhile. The driver itself stays with the owner.
    gpib::BusActivity& activity() const;
    std::int16_t ud() const { return DeviceUd; }
    std::int16_t address() const { return DeviceAddress; }
    std::int16_t timeout() const { return IoTimeout; }

    // FindDevice: opens the descriptor on the first call only (NotConfigured when the driver
    // refuses one), polls each listener once to clear a pending service request, addresses
    // the first and applies IoTimeout; a failure of that last call is the Driver error.
    Error open(const Listeners& listeners);
    // The measuring instrument is the one at this address from now on.
    void setAddress(std::int16_t address);
    // Addresses the descriptor to another instrument and asks it: a search, which ends with
    // setAddress on the instrument chosen.
    Reply queryAt(std::int16_t address, const QByteArray& text);

    Error write(const QByteArray& text) const;
    // stop, when given, is looked at between chunks: once it is set the read ends (Stopped).
    Reply read(const bool* stop = nullptr) const;
    // Write, a pause of 0.1 s that handles events, read; after a failed write nothing is read.
    Reply query(const QByteArray& text, const bool* stop = nullptr) const;
    // SendToAddress: the command to another instrument, then the descriptor is addressed to
    // DeviceAddress again.
    Error sendTo(std::int16_t address, const QByteArray& command) const;

    class Loan;
    Loan lend();

private:
    Session& session_;
    std::int16_t DeviceUd = 0;                    // 0: not opened yet
    std::int16_t DeviceAddress = 0;               // 0: no instrument chosen yet
    static constexpr std::int16_t IoTimeout = 12; // 3 s
};

// The descriptor on loan to the terminal, which addresses it to whichever instrument it talks
// to. When the loan ends, the descriptor is addressed to the owner's instrument again, once
// the owner has one.
class Instrument::Loan {
public:
    ~Loan();
    Loan(const Loan&) = delete;
    Loan& operator=(const Loan&) = delete;

    Session& session() const { return owner_.session_; }
    std::int16_t ud() const { return owner_.ud(); }
    std::int16_t timeout() const { return owner_.timeout(); }
    // The instrument the terminal talks to: the owner's until it chooses another.
    std::int16_t address() const { return address_; }

    // FindDevice on the owner's descriptor, as the terminal's load does it.
    Error open(const Listeners& listeners) { return owner_.open(listeners); }
    void setAddress(std::int16_t address);
    Error write(const QByteArray& text) const { return owner_.write(text); }
    Reply read() const { return owner_.read(); }

private:
    friend class Instrument;
    explicit Loan(Instrument& owner) : owner_(owner), address_(owner.address()) {}

    Instrument& owner_;
    std::int16_t address_;
};

} // namespace bus
