#pragma once
// Which back-end the program talks through. The driver interface knows none of them; this is
// the one place that does, so a new back-end is one more entry here.
#include "bus/GpibDriver.h"
#include <QString>
#include <memory>

namespace gpib {

struct BusChoice {
    enum class Kind { Sim, SimFile, LinuxGpib, Prologix, Usbtmc, Vxi11, Lan, Invalid };
    Kind kind = Kind::Invalid;
    QString file;      // bench file of SimFile, serial device of Prologix
    QString host;      // network adapter of Prologix, VXI-11 gateway
    quint16 port = 0;  // of the network adapter, or the gateway's portmapper
    QString interface; // the gateway's GPIB interface
    int board = 0;
    QString text; // as the user wrote it
};

// Reads "sim", "sim:<file>", "gpib", "gpib:<board>", "prologix:<serial device>",
// "prologix:<host>[:<port>]", "usbtmc", "vxi11:<host>[:<portmapper port>][/<interface>]" or
// "lan"; anything else is Invalid.
BusChoice ParseBusChoice(const QString& text);

// The choice in force: the command line's --bus when given, else SEQUOR_BUS when set, else
// the per-user store (application "Sequor", section "Bus", key "Interface"), else linux-gpib
// board 0.
QString ChosenBusText(const QString& commandLine = {});

// How the window title names the bus; empty for linux-gpib board 0, the usual case.
QString BusTitle(const BusChoice& choice);

// Opens the chosen back-end behind the worker thread. On failure returns null and sets error
// to the text the user is shown. title, when given, gets how the window names the bus, which
// for an adapter is known only once it has answered.
std::unique_ptr<Driver> CreateDriver(const BusChoice& choice, QString* error,
                                     QString* title = nullptr);

// CreateDriver for ChosenBusText(commandLine); busName gets BusTitle of it.
std::unique_ptr<Driver> CreateDriverFromEnvironment(QString* error, QString* busName = nullptr,
                                                    const QString& commandLine = {});

} // namespace gpib
