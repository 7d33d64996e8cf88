// The demonstration bench of SEQUOR_BUS=sim: a 488.2 meter, an old serial-poll meter, a
// switch unit that never answers and a temperature probe.
#include "bus/SimInstrument.h"
#include <cmath>
#include <memory>

namespace gpib {

namespace {

// Generated values depend only on how many times the query was asked, so a demonstration
// run is the same every time.
QByteArray DriftingVolts(int n) {
    const double v = 10.0 + 0.00021 * n + 0.00035 * std::sin(n * 0.7);
    return QByteArray(QString::asprintf("%+.5E", v).toLatin1()) + "VDC";
}

QByteArray RiseAndFall(int n) {
    // Climbs from 21.50 to a peak about 14 degrees higher at the 30th reading, then cools.
    const double x = n / 30.0;
    return QByteArray::number(21.5 + 14.0 * x * std::exp(1.0 - x), 'f', 2);
}

QByteArray CalibrationDump() {
    QByteArray dump = "CAL";
    for (int i = 0; i < 48; ++i)
        dump += QString::asprintf(",%02d:%+.6E", i, 1.0 + 0.0001 * ((i * 37) % 91 - 45)).toLatin1();
    return dump;
}

} // namespace

std::unique_ptr<SimBus> SimBus::builtIn() {
    std::unique_ptr<SimBus> bus(new SimBus);
    auto fixed = [](const QByteArray& answer) {
        Impl::Reply r;
        r.answers = {answer};
        return r;
    };
    auto generated = [](std::function<QByteArray(int)> f) {
        Impl::Reply r;
        r.generate = std::move(f);
        return r;
    };

    Impl::Instrument meter;
    meter.address = 3;
    meter.replies.emplace("*idn?", fixed("SIMLAB,M401A,0,1.0"));
    // Both measurement queries read the same input, so they share one reading count.
    auto readings = std::make_shared<int>(0);
    auto volts = [readings](int) { return DriftingVolts((*readings)++); };
    meter.replies.emplace("meas:volt:dc?", generated(volts));
    meter.replies.emplace("meas?", generated(volts));
    meter.replies.emplace("read?", generated(volts));
    meter.accepts = {"conf:volt:dc", "conf:volt:dc *", "trig:sour *", "syst:beep"};

    Impl::Instrument oldMeter;
    oldMeter.address = 7;
    oldMeter.model = Impl::Model::SerialPoll;
    oldMeter.terminator = "\r\n";
    oldMeter.replies.emplace("id?", fixed("SIMLAB 2705 OLDMETER"));
    oldMeter.replies.emplace("dump?", fixed(CalibrationDump()));
    oldMeter.replies.emplace(
        "read?", generated([](int n) {
            return QByteArray(QString::asprintf("%+.5E", 1.2345 + 0.0002 * (n % 7)).toLatin1());
        }));
    oldMeter.accepts = {"f*", "r*", "t*", "z*"};

    Impl::Instrument relay;
    relay.address = 9;
    relay.model = Impl::Model::SerialPoll;
    relay.silentQueries = true;
    relay.accepts = {"out on", "out off", "vset *", "iset *", "close *", "open *"};

    Impl::Instrument probe;
    probe.address = 12;
    probe.replies.emplace("*idn?", fixed("SIMLAB,T100,0,2.1"));
    probe.replies.emplace("temp?", generated(RiseAndFall));
    probe.accepts = {"unit *"};

    for (auto* in : {&meter, &oldMeter, &relay, &probe})
        bus->d->instruments.push_back(*in);
    return bus;
}

} // namespace gpib
