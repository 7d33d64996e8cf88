#pragma once
// What every talk on the bus shares: the answer's cap and cleaning, the driver's error
// messages, and the pause that handles events.
#include <QByteArray>

// The longest answer a read takes: far beyond any measurement and beyond what the terminal
// can show, yet a talker that never ends its message cannot fill the memory.
constexpr int MaxAnswerBytes = 1 << 20;

void WaitSeconds(float seconds);

// Trims an answer as a read returns it: outer spaces, then up to three line ends.
QByteArray CleanAnswer(QByteArray answer);
// The driver error's message for an iberr code.
const char* GpibErrorMessage(int iberr);
