#include "widgets/BusErrorBoxes.h"
#include "bus/BusAccess.h"
#include "bus/GpibDriver.h"
#include "platform/Platform.h"

using bus::Error;
using bus::Next;
using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace ctl {

namespace {
QString DiscoveryText(int iberr) {
    QString text;
    if (iberr == gpib::EBUS)
        text = "No listeners found.";
    else if (iberr == gpib::ETAB)
        text = "Too many listeners found.\nMax 14 listeners allowed.";
    return text + "\n\nCorrect problem and restart.";
}
} // namespace

Next BusErrorBoxes::decide(const Error& error) {
    switch (error.kind) {
    case Error::Kind::None:
    case Error::Kind::Stopped:
        return Next::Continue;
    case Error::Kind::NotConfigured:
        platform::MsgBox("Device Error", "Device not configured.\n\nCorrect problem and restart.",
                         Buttons::Ok, Icon::Critical);
        return Next::EndProgram;
    case Error::Kind::Driver: {
        const QString title = QStringLiteral("GPIB ERROR # %1").arg(error.iberr);
        const QString text = QString::fromLatin1(GpibErrorMessage(error.iberr)) +
                             "\nSelect OK to continue or Cancel to terminate program.";
        return platform::MsgBox(title, text, Buttons::OkCancel, Icon::Warning) == Answer::Cancel
                   ? Next::EndProgram
                   : Next::Continue;
    }
    case Error::Kind::ReadFailed:
        platform::MsgBox("I/O Error", "Read cycle failed\nOperation aborted.", Buttons::Ok,
                         Icon::Warning);
        return Next::Continue;
    case Error::Kind::Discovery:
        platform::MsgBox(QStringLiteral("Initialization Error %1").arg(error.iberr),
                         DiscoveryText(error.iberr), Buttons::Ok, Icon::Critical);
        return Next::EndProgram;
    case Error::Kind::NoBus:
        platform::MsgBox("Initialization Error", error.detail, Buttons::Ok, Icon::Critical);
        return Next::EndProgram;
    }
    return Next::Continue;
}

bool ShowBusError(const Error& error) {
    if (BusErrorBoxes().decide(error) == Next::EndProgram) platform::Sys().endProgram(1);
    return !error;
}

QByteArray AnswerOf(const bus::Reply& reply) {
    ShowBusError(reply.error);
    return reply.text;
}

} // namespace ctl
