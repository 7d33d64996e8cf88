#pragma once
// The program's thin layer over the driver: write, read, query, error reporting.
// Bus texts are bytes, one byte per character, NUL included.
#include <QByteArray>
#include <cstdint>

extern std::int16_t DeviceUd;      // the one descriptor of the main window; 0: not opened
extern std::int16_t DeviceAddress; // address of the measuring instrument
extern std::int16_t IoTimeout;     // timeout code applied by FindDevice
extern bool GpibErrorFlag;         // last write failed and the user chose to go on

// The longest answer a read takes: far beyond any measurement and beyond what the terminal
// can show, yet a talker that never ends its message cannot fill the memory.
constexpr int MaxAnswerBytes = 1 << 20;

void GpibWrite(std::int16_t ud, const QByteArray& text);
// stop, when given, is looked at between chunks: once it is set the read ends, without a box,
// giving empty text (the run's Stop).
QByteArray GpibRead(std::int16_t ud, const bool* stop = nullptr);
QByteArray GpibQuery(std::int16_t ud, const QByteArray& text, const bool* stop = nullptr);
void WaitSeconds(float seconds);
void CheckGpibError();
[[noreturn]] void DeviceNotConfigured();
void SendToAddress(std::int16_t address, const QByteArray& command);

// The main window's descriptor lent to the terminal, which re-addresses it to whatever it talks
// to: when the loan ends, DeviceAddress is the window's again and, once the window has an
// instrument, the descriptor is addressed to it.
class DeviceLoan {
public:
    DeviceLoan();
    ~DeviceLoan();
    DeviceLoan(const DeviceLoan&) = delete;
    DeviceLoan& operator=(const DeviceLoan&) = delete;

private:
    std::int16_t address_;
};

// Trims an answer as a read returns it: outer spaces, then up to three line ends.
QByteArray CleanAnswer(QByteArray answer);
// The driver error's message for an iberr code.
const char* GpibErrorMessage(int iberr);
