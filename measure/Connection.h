#pragma once
// What connecting decides: the identification query, whether an answer matches the typed
// text, the frame captions and the keys the identification boxes take.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace bus {
class ErrorPolicy;
class Instrument;
class Listeners;
} // namespace bus

extern const char* const NotConnectedCaption;

// Text other than spaces: a measurement query is present.
bool HoldsMoreThanSpaces(const QString& text);
// The identification query of an ID option: 0 "ID?", 1 "*IDN?".
QByteArray IdentificationQuery(int idOption);
// The answer's bytes and the typed text are upper-cased alike (ASCII letters only), so that
// any text typed exactly as the instrument answers also matches.
bool IdentificationMatches(const QByteArray& answer, const QString& typed);
// The search of Connect: asks every listener in turn for its identification (mode 0 "ID?",
// 1 "*IDN?") and returns the first whose answer holds the typed text, with that answer; -1
// for none, and the descriptor stays on the instrument it had. A failed query is told to the
// policy and counts as no match; ended, when given, cuts the search short.
struct Identified {
    std::int16_t address = -1;
    QByteArray answer;
};
Identified FindByIdentification(bus::Instrument& instrument, const bus::Listeners& listeners,
                                int mode, const QString& typed, bus::ErrorPolicy& errors,
                                const std::function<bool()>& ended = {});
// The "Device Error" text when no listener matched.
QString NoMatchText(const QString& typed);
QString ConnectedCaption(const QString& typed, int address);
QString AddressCaption(int address);

// A key typed into the device ID or query box: letters are forced to upper case; Enter (13)
// is swallowed and moves the focus.
struct IdentificationKeyResult {
    int keyAscii = 0;
    enum class Focus { Stay, OtherBox, Connect } focus = Focus::Stay;
};
IdentificationKeyResult IdentificationKey(int keyAscii, const QString& own, const QString& other);
