#include "measure/Connection.h"
#include "bus/Instrument.h"
#include "bus/Listeners.h"
#include "platform/Platform.h"
#include <algorithm>

const char* const NotConnectedCaption = "  Not Connected  ";

bool HoldsMoreThanSpaces(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c != ' '; });
}

QByteArray IdentificationQuery(int idOption) {
    return idOption == 0 ? "ID?" : "*IDN?";
}

bool IdentificationMatches(const QByteArray& answer, const QString& typed) {
    return !answer.isEmpty() && answer.toUpper().contains(typed.toLatin1().toUpper());
}

Identified FindByIdentification(bus::Instrument& instrument, const bus::Listeners& listeners,
                                int mode, const QString& typed, bus::ErrorPolicy& errors,
                                const std::function<bool()>& ended) {
    const QByteArray query = IdentificationQuery(mode);
    for (int i = 1; i <= listeners.count() && !(ended && ended()); ++i) {
        bus::Reply reply = instrument.queryAt(listeners.at(i), query);
        if (errors.decide(reply.error) == bus::Next::EndProgram) platform::Sys().endProgram(1);
        if (IdentificationMatches(reply.text, typed)) return {listeners.at(i), reply.text};
    }
    // Keep the descriptor on the instrument the caller is connected to, if any.
    instrument.setAddress(instrument.address());
    return {};
}

QString NoMatchText(const QString& typed) {
    return "No response that matched " + typed + " was found.";
}

QString ConnectedCaption(const QString& typed, int address) {
    return QStringLiteral("  Connected to %1 at address %2  ").arg(typed, QString::number(address));
}

QString AddressCaption(int address) {
    return QStringLiteral("  Connected to address %1  ").arg(address);
}

IdentificationKeyResult IdentificationKey(int keyAscii, const QString& own, const QString& other) {
    using Focus = IdentificationKeyResult::Focus;
    if (keyAscii >= 'a' && keyAscii <= 'z') return {keyAscii - ('a' - 'A'), Focus::Stay};
    if (keyAscii != 13) return {keyAscii, Focus::Stay};
    if (own.isEmpty()) return {0, Focus::Stay};
    return {0, other.isEmpty() ? Focus::OtherBox : Focus::Connect};
}
