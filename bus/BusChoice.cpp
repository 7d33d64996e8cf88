#include "bus/BusChoice.h"
#include "bus/LinuxGpib.h"
#include "bus/SimBench.h"
#include "bus/ThreadedDriver.h"
#include "platform/Platform.h"
#include <QFileInfo>

namespace gpib {

namespace {

const QString Choices = "Choose the bus with SEQUOR_BUS, or with the key Interface in the "
                        "section Bus of Sequor's settings:\n"
                        "  sim  the simulated bench\n"
                        "  sim:<bench file>  a bench described in a file\n"
                        "  gpib  board 0 of linux-gpib\n"
                        "  gpib:<board>  another board of linux-gpib";

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

} // namespace

BusChoice ParseBusChoice(const QString& text) {
    BusChoice choice;
    choice.text = text;
    if (text == "sim") {
        choice.kind = BusChoice::Kind::Sim;
    } else if (text.startsWith("sim:") && text.size() > 4) {
        choice.kind = BusChoice::Kind::SimFile;
        choice.file = text.mid(4);
    } else if (text == "gpib") {
        choice.kind = BusChoice::Kind::LinuxGpib;
    } else if (text.startsWith("gpib:") && BoardNumber(text.mid(5), &choice.board)) {
        choice.kind = BusChoice::Kind::LinuxGpib;
    }
    return choice;
}

QString ChosenBusText() {
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
    case BusChoice::Kind::Invalid:
        break;
    }
    return {};
}

std::unique_ptr<Driver> CreateDriver(const BusChoice& choice, QString* error) {
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

std::unique_ptr<Driver> CreateDriverFromEnvironment(QString* error, QString* busName) {
    const BusChoice choice = ParseBusChoice(ChosenBusText());
    if (busName) *busName = BusTitle(choice);
    return CreateDriver(choice, error);
}

} // namespace gpib
