#include "bus/BusChoice.h"
#include "bus/LanBus.h"
#include "bus/LinuxGpib.h"
#include "bus/Prologix.h"
#include "bus/SimBench.h"
#include "bus/ThreadedDriver.h"
#include "bus/Usbtmc.h"
#include "platform/Platform.h"
#include <QFileInfo>

namespace gpib {

namespace {

const QString Choices =
    "Choose the bus with --bus or SEQUOR_BUS, or with the key Interface in the "
    "section Bus of Sequor's settings:\n"
    "  sim  the simulated bench\n"
    "  sim:<bench file>  a bench described in a file\n"
    "  gpib  board 0 of linux-gpib\n"
    "  gpib:<board>  another board of linux-gpib\n"
    "  prologix:<serial device>  a Prologix or AR488 adapter on a serial port\n"
    "  prologix:<host>[:<port>]  a Prologix or AR488 adapter on the network\n"
    "  usbtmc  instruments on USB (/dev/usbtmc0 at address 1, …)\n"
    "  vxi11:<host>[/<interface>]  a GPIB-LAN gateway (VXI-11), interface gpib0\n"
    "  lan  the LAN instruments listed in the section LAN of the settings";

constexpr quint16 AdapterPort = 1234;

bool BoardNumber(const QString& text, int* board) {
    bool ok = false;
    const int n = text.toInt(&ok);
    // Digits only: "+1" or " 1" is more likely a slip than a board.
    if (!ok || text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }) || n > 15)
        return false;
    *board = n;
    return true;
}

QString AdapterName(const BusChoice& choice) {
    return choice.file.isEmpty() ? QString("%1:%2").arg(choice.host).arg(choice.port) : choice.file;
}

// A back-end started on the worker that runs all its calls: what it opens (a port, a socket,
// device nodes) belongs to that thread. Null, with the start's message in error, on failure.
template <class BackEnd>
std::unique_ptr<Driver> StartedOnWorker(std::unique_ptr<BackEnd> backEnd, QString* error) {
    BackEnd* raw = backEnd.get();
    auto driver = std::make_unique<ThreadedDriver>(std::move(backEnd));
    QString message;
    if (driver->call([&](Driver&) { return raw->start(&message) ? 1 : 0; })) return driver;
    if (error) *error = message;
    return nullptr;
}

std::unique_ptr<Driver> OpenAdapter(const BusChoice& choice, QString* error, QString* title) {
    const BusChoice c = choice;
    auto adapter = std::make_unique<Prologix>(
        [c]() { return c.file.isEmpty() ? TcpStream(c.host, c.port) : SerialStream(c.file); },
        AdapterName(c));
    const Prologix* raw = adapter.get();
    auto driver = StartedOnWorker(std::move(adapter), error);
    if (driver && title) *title = (raw->isAr488() ? "AR488 " : "Prologix ") + AdapterName(c);
    return driver;
}

// The gateway's link is made on the worker, which alone uses it afterwards.
std::unique_ptr<Driver> OpenGateway(const BusChoice& c, QString* error) {
    auto lan =
        std::make_unique<LanBus>(LanBus::Gateway(c.host, c.port, c.interface), LanBus::Options{});
    LanBus* raw = lan.get();
    auto driver = std::make_unique<ThreadedDriver>(std::move(lan));
    QString message;
    if (!driver->call([&](Driver&) { return raw->start(c.host, c.port, &message) ? 1 : 0; })) {
        if (error) *error = message;
        return nullptr;
    }
    return driver;
}

std::unique_ptr<Driver> OpenLanInstruments(QString* error) {
    QString message;
    const auto list = LanInstruments(
        [](int key) {
            return platform::Sys().readSetting("Sequor", "LAN", QString::number(key), "");
        },
        &message);
    if (!list) {
        if (error) *error = message + ChooseBenchHint;
        return nullptr;
    }
    return std::make_unique<ThreadedDriver>(
        std::make_unique<LanBus>(LanBus::Listed(*list), LanBus::Options{}));
}

} // namespace

BusChoice ParseBusChoice(const QString& text) {
    BusChoice choice;
    choice.text = text;
    if (text == "sim") {
        choice.kind = BusChoice::Kind::Sim;
    } else if (text == "usbtmc") {
        choice.kind = BusChoice::Kind::Usbtmc;
    } else if (text.startsWith("sim:") && text.size() > 4) {
        choice.kind = BusChoice::Kind::SimFile;
        choice.file = text.mid(4);
    } else if (text == "gpib") {
        choice.kind = BusChoice::Kind::LinuxGpib;
    } else if (text.startsWith("gpib:") && BoardNumber(text.mid(5), &choice.board)) {
        choice.kind = BusChoice::Kind::LinuxGpib;
    } else if (text.startsWith("prologix:") && text.size() > 9) {
        const QString target = text.mid(9);
        if (target.startsWith('/')) {
            choice.kind = BusChoice::Kind::Prologix;
            choice.file = target;
            return choice;
        }
        const qsizetype colon = target.lastIndexOf(':');
        bool ok = colon < 0;
        const uint port = colon < 0 ? AdapterPort : target.mid(colon + 1).toUInt(&ok);
        choice.host = colon < 0 ? target : target.left(colon);
        if (ok && port >= 1 && port <= 65535 && !choice.host.isEmpty()) {
            choice.kind = BusChoice::Kind::Prologix;
            choice.port = quint16(port);
        }
    } else if (text.startsWith("vxi11:") && text.size() > 6) {
        QString target = text.mid(6);
        const qsizetype slash = target.indexOf('/');
        choice.interface = slash < 0 ? QString("gpib0") : target.mid(slash + 1);
        if (slash >= 0) target.truncate(slash);
        const qsizetype colon = target.lastIndexOf(':');
        bool ok = colon < 0;
        const uint port = colon < 0 ? 111 : target.mid(colon + 1).toUInt(&ok);
        choice.host = colon < 0 ? target : target.left(colon);
        if (ok && port >= 1 && port <= 65535 && !choice.host.isEmpty() &&
            !choice.interface.isEmpty() && !choice.interface.contains(',')) {
            choice.kind = BusChoice::Kind::Vxi11;
            choice.port = quint16(port);
        }
    } else if (text == "lan") {
        choice.kind = BusChoice::Kind::Lan;
    }
    return choice;
}

QString ChosenBusText(const QString& commandLine) {
    if (!commandLine.isEmpty()) return commandLine;
    if (qEnvironmentVariableIsSet("SEQUOR_BUS")) return qEnvironmentVariable("SEQUOR_BUS");
    const QString stored = platform::Sys().readSetting("Sequor", "Bus", "Interface", "").trimmed();
    return stored.isEmpty() ? QString("gpib") : stored;
}

QString BusTitle(const BusChoice& choice) {
    switch (choice.kind) {
    case BusChoice::Kind::Sim:
        return "simulated bench";
    case BusChoice::Kind::SimFile:
        return "simulated bench " + QFileInfo(choice.file).fileName();
    case BusChoice::Kind::LinuxGpib:
        return choice.board == 0 ? QString() : QString("linux-gpib board %1").arg(choice.board);
    case BusChoice::Kind::Prologix:
        return "GPIB adapter " + AdapterName(choice);
    case BusChoice::Kind::Usbtmc:
        return "USBTMC";
    case BusChoice::Kind::Vxi11:
        return "VXI-11 gateway " + choice.host +
               (choice.interface == "gpib0" ? QString() : "/" + choice.interface);
    case BusChoice::Kind::Lan:
        return "LAN instruments";
    case BusChoice::Kind::Invalid:
        break;
    }
    return {};
}

std::unique_ptr<Driver> CreateDriver(const BusChoice& choice, QString* error, QString* title) {
    if (title) *title = BusTitle(choice);
    if (choice.kind == BusChoice::Kind::Prologix) return OpenAdapter(choice, error, title);
    if (choice.kind == BusChoice::Kind::Usbtmc)
        return StartedOnWorker(std::make_unique<Usbtmc>(UsbtmcChosenNodes(), SystemUsbtmcKernel()),
                               error);
    if (choice.kind == BusChoice::Kind::Vxi11) return OpenGateway(choice, error);
    if (choice.kind == BusChoice::Kind::Lan) return OpenLanInstruments(error);
    QString message;
    std::unique_ptr<Driver> driver;
    switch (choice.kind) {
    case BusChoice::Kind::Sim:
        driver = SimBus::builtIn();
        break;
    case BusChoice::Kind::SimFile:
        driver = SimBus::fromFile(choice.file, &message);
        break;
    case BusChoice::Kind::LinuxGpib:
        driver = LinuxGpib::open(LinuxGpibLibrary, choice.board, &message);
        break;
    case BusChoice::Kind::Prologix:
    case BusChoice::Kind::Usbtmc:
    case BusChoice::Kind::Vxi11:
    case BusChoice::Kind::Lan:
    case BusChoice::Kind::Invalid:
        message = QString("Unknown bus \"%1\".\n\n").arg(choice.text) + Choices;
        break;
    }
    if (!driver) {
        if (error) *error = message;
        return nullptr;
    }
    return std::make_unique<ThreadedDriver>(std::move(driver));
}

std::unique_ptr<Driver> CreateDriverFromEnvironment(QString* error, QString* busName,
                                                    const QString& commandLine) {
    return CreateDriver(ParseBusChoice(ChosenBusText(commandLine)), error, busName);
}

} // namespace gpib
