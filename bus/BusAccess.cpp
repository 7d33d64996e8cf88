#include "bus/BusAccess.h"
#include "bus/BusActivity.h"
#include "bus/GpibDriver.h"
#include "common/Texts.h"
#include "platform/Platform.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

std::int16_t DeviceUd = 0;
std::int16_t DeviceAddress = 0;
std::int16_t IoTimeout = 12;
bool GpibErrorFlag = false;

namespace {
constexpr int ChunkSize = 512;
constexpr int ReadTimeoutCode = 13; // 10 s for every read, whatever the descriptor had
} // namespace

const char* GpibErrorMessage(int iberr) {
    switch (iberr) {
    case 0:
        return "Operating system error.";
    case 1:
        return "Function requires GPIB board to be CIC.";
    case 2:
        return "No listener on write function.";
    case 3:
        return "GPIB board not addressed correctly.";
    case 4:
        return "Invalid argument to function call.";
    case 5:
        return "GPIB board not system controller as required.";
    case 6:
        return "I/O operation aborted - timeout.";
    case 7:
        return "Non-existent GPIB board.";
    case 10:
        return "Asynchronous I/O in progress.";
    case 11:
        return "No capability for operation.";
    case 12:
        return "File system error.";
    case 14:
        return "GPIB bus eror.";
    case 15:
        return "Serial poll status queue owerflow.";
    case 16:
        return "SRQ stuck in on position.";
    case 20:
        return "Table problem.";
    default:
        return "Unknown error.";
    }
}

void DeviceNotConfigured() {
    platform::MsgBox("Device Error", "Device not configured.\n\nCorrect problem and restart.",
                     Buttons::Ok, Icon::Critical);
    platform::Sys().endProgram(1);
    std::abort(); // endProgram never returns; this keeps the promise visible to the compiler
}

void CheckGpibError() {
    gpib::Driver& bus = gpib::Bus();
    if (!(bus.ibsta() & gpib::ERR)) return;
    const QString title = QStringLiteral("GPIB ERROR # %1").arg(bus.iberr());
    const QString text = QString::fromLatin1(GpibErrorMessage(bus.iberr())) +
                         "\nSelect OK to continue or Cancel to terminate program.";
    if (platform::MsgBox(title, text, Buttons::OkCancel, Icon::Warning) == Answer::Cancel)
        platform::Sys().endProgram(1);
    GpibErrorFlag = true;
}

void GpibWrite(std::int16_t ud, const QByteArray& text) {
    GpibErrorFlag = false;
    if (ud == 0) DeviceNotConfigured();
    gpib::Bus().ibwrt(ud, text.constData(), text.size());
    CheckGpibError();
}

QByteArray CleanAnswer(QByteArray answer) {
    answer = TrimSpaces(answer);
    const auto isLineEnd = [](char c) { return c == '\n' || c == '\r'; };
    if (answer.size() >= 2 && isLineEnd(answer.at(answer.size() - 2))) answer.chop(1);
    for (int i = 0; i < 2 && !answer.isEmpty() && isLineEnd(answer.back()); ++i)
        answer.chop(1);
    return answer;
}

QByteArray GpibRead(std::int16_t ud, const bool* stop) {
    if (ud == 0) DeviceNotConfigured();
    gpib::Driver& bus = gpib::Bus();
    int oldTimeout = ReadTimeoutCode;
    bus.ibask(ud, gpib::IbaTMO, &oldTimeout);
    if (oldTimeout != ReadTimeoutCode) bus.ibtmo(ud, ReadTimeoutCode);

    QByteArray answer;
    enum class Outcome { Whole, Failed, Stopped } outcome = Outcome::Whole;
    for (;;) {
        char buffer[ChunkSize];
        bus.ibwait(ud, gpib::TIMO | gpib::CMPL);
        const int sta = bus.ibrd(ud, buffer, ChunkSize);
        // Any error ends the read, not only a timeout: otherwise a chunk that never
        // carries END would keep the loop reading for ever.
        if (sta & (gpib::TIMO | gpib::ERR)) {
            outcome = Outcome::Failed;
            break;
        }
        const long got = std::clamp<long>(bus.ibcntl(), 0, ChunkSize);
        answer.append(buffer, got);
        if (sta & gpib::END) break;
        if (answer.size() >= MaxAnswerBytes) {
            outcome = Outcome::Failed; // a cut answer must not pass as the whole one
            break;
        }
        if (stop && *stop) {
            outcome = Outcome::Stopped;
            break;
        }
    }
    if (oldTimeout != ReadTimeoutCode) bus.ibtmo(ud, oldTimeout);

    if (outcome == Outcome::Stopped) return {};
    if (outcome == Outcome::Failed) {
        platform::MsgBox("I/O Error", "Read cycle failed\nOperation aborted.", Buttons::Ok,
                         Icon::Warning);
        return {};
    }
    return CleanAnswer(answer);
}

QByteArray GpibQuery(std::int16_t ud, const QByteArray& text, const bool* stop) {
    const gpib::Transaction transaction; // the pause between write and read handles events
    if (ud == 0) DeviceNotConfigured();
    GpibWrite(ud, text);
    WaitSeconds(0.1f);
    if (GpibErrorFlag) return {};
    return GpibRead(ud, stop);
}

void WaitSeconds(float seconds) {
    if (!(seconds > 0)) return;
    const qint64 wanted = qint64(double(seconds) * 1000.0);
    QElapsedTimer clock; // monotonic: a pause over midnight or a clock change still ends
    clock.start();
    // The wake-up timer lets the loop sleep in the event dispatcher instead of spinning.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(int(wanted));
    while (clock.elapsed() < wanted) {
        if (!wake.isActive()) wake.start(int(std::max<qint64>(1, wanted - clock.elapsed())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void SendToAddress(std::int16_t address, const QByteArray& command) {
    if (DeviceUd == 0) DeviceNotConfigured(); // before ibpad, which would take 0 for the board
    const gpib::Transaction transaction;
    const std::int16_t remembered = DeviceAddress;
    gpib::Bus().ibpad(DeviceUd, address);
    GpibWrite(DeviceUd, command);
    gpib::Bus().ibpad(DeviceUd, remembered);
}

DeviceLoan::DeviceLoan() : address_(DeviceAddress) {}

DeviceLoan::~DeviceLoan() {
    DeviceAddress = address_;
    if (address_ == 0 || DeviceUd == 0) return; // no instrument of the window's yet
    gpib::Bus().ibpad(DeviceUd, address_);
}
