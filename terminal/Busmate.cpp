#include "terminal/Busmate.h"
#include "common/Numbers.h"
#include "common/Texts.h"
#include "platform/Platform.h"
#include <QFileInfo>
#include <QStringList>
#include <cmath>

namespace term {

QString VerBM() {
    return QStringLiteral("2017-01-30 - v1.91");
}

OutgoingMessage PrepareMessage(const QByteArray& outgoingText) {
    OutgoingMessage out;
    out.msg = TrimSpaces(outgoingText);
    out.query = outgoingText.contains('?');
    const qsizetype pair = out.msg.indexOf("??");
    if (pair >= 0) out.msg.remove(pair, 2);
    return out;
}

QByteArray WithLineEnds(QByteArray msg, bool addCr, bool addLf) {
    if (addCr) msg += '\r';
    if (addLf) msg += '\n';
    return msg;
}

QByteArray IdAnswer(const QByteArray& received) {
    QByteArray text = TrimSpaces(received);
    text.replace('\n', QByteArray()).replace('\r', QByteArray());
    return text;
}

QString HelpText(const QString& startupListFile) {
    const QStringList lines = {
        "*** Busmate Help ***",
        "*With this program you can communicate manually with",
        " devices on the GPIB bus in a simple way. Click on",
        " an address button to select a device. Type your",
        " message in the Outgoing Message box or select from",
        " the drop down list. Click on Send or hit <Enter> to",
        " send the message.",
        "",
        "*Outgoing message: Each new sent message is stored in",
        " the drop down list of the Outgoing Message box. This",
        " list can be saved to either the " + startupListFile + " file,",
        " which is loaded when the program is started, or to",
        " an alternate file. Nothing is automatically saved.",
        " Use the Message Lists menu to save. The *.gmg files",
        " can be edited with a text editor like Notepad.",
        "",
        "*Query: If the message ends with either one or two",
        " questionmarks a response from the selected device",
        " is expected. With one questionmark the message is",
        " sent as typed and with two it is sent without any",
        " questionmarks at all. The response is displayed in",
        " the Incoming Message box.",
        "",
        "*Files: Data can be sent between a device and a file",
        " in either direction. Use File menu to select.",
        "",
        "*Syntax checking: Double click on a selected address",
        " button to enable or select from the File menu.",
        " Active Syntax Checking is indicated by blue text in",
        " the Address button.",
        "",
        "*Busmate is part of Sequor, written by the Sequor",
        " developers, 2017, revised 2026, Busmate v1.91.",
        " Updates come with each new release of Sequor.",
        " Contact: the Sequor developers, by e-mail.",
        "*** End Help ***",
    };
    return QStringLiteral("\r\n") + lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

const std::array<OptionKey, OptionCount> OptionKeys = {{
    {"ID", "1"},
    {"IDN", "1"},
    {"Find Matching Commands", "0"},
    {"Caps Only", "1"},
    {"Allow Multiple Commands", "0"},
    {"Add CR", "0"},
    {"Add LF", "0"},
    {"Select Next ListItem", "0"},
    {"Auto Clear", "0"},
    {"Send To File", "0"},
}};

OptionValues ReadOptions() {
    OptionValues values{};
    for (int i = 0; i < OptionCount; ++i) {
        const QString stored = platform::Sys().readSetting(
            OptionApp, OptionSection, OptionKeys[i].key, OptionKeys[i].defaultValue);
        values[i] = std::nearbyint(NumericValue(stored)) != 0;
    }
    return values;
}

QString WriteOptions(const OptionValues& values, const OptionValues& changed) {
    for (int i = 0; i < OptionCount; ++i) {
        if (!changed[i]) continue;
        const QString failure =
            platform::Sys().writeSetting(OptionApp, OptionSection, OptionKeys[i].key,
                                         values[i] ? QStringLiteral("1") : QStringLiteral("0"));
        if (!failure.isEmpty()) return failure;
    }
    return {};
}

bool IsSyntaxError(int method, int statusByte) {
    if (method == -1) return statusByte == 0x61 || statusByte == 0x71;
    return statusByte == 0x60 || statusByte == 0x70;
}

QString SyntaxFrameCaption(int address) {
    return QStringLiteral(" Syntax Checking for device at address") +
           QString::fromLatin1(NumberText(double(address))) + QStringLiteral(" ");
}

QString StartupListPath(const QString& folder) {
    QString base = folder;
    while (base.size() > 1 && base.endsWith(u'/'))
        base.chop(1);
    if (base == u'/') base.clear();
    return base + QStringLiteral("/StartUp.gmg");
}

QString FolderOf(const QString& path) {
    const qsizetype cut = path.lastIndexOf(u'/');
    return cut < 0 ? QString() : path.left(cut + 1);
}

QString ShortFileName(const QString& name) {
    return name.size() > 30 ? name.left(27) + QStringLiteral("...") : name;
}

QString DataFileBegin(const QString& fileName) {
    return QStringLiteral("\r\n*** Begin Data File ") + ShortFileName(fileName) +
           QStringLiteral(" ***\r\n");
}

QString ExitQuestion(const QString& startupListFile, const QString& currentListFile) {
    QString text = QStringLiteral("Changes have been done to the current Outgoing Message List.\n");
    if (startupListFile == currentListFile)
        text += QStringLiteral("Do you want to save it to the default startup file ?\n\n");
    else
        text += QStringLiteral("Do you want to save it to the alternate Outgoing Message List "
                               "file (") +
                currentListFile + QStringLiteral(")?\n\n");
    text += QStringLiteral(
        "If you want to save it to an alternate file select Cancel and go to Message Lists menu.");
    return text;
}

} // namespace term
