#pragma once
// What connecting decides: the identification query, whether an answer matches the typed
// text, the frame captions and the keys the identification boxes take.
#include <QByteArray>
#include <QString>

extern const char* const NotConnectedCaption;

// Text other than spaces: a measurement query is present.
bool HoldsMoreThanSpaces(const QString& text);
// The identification query of an ID option: 0 "ID?", 1 "*IDN?".
QByteArray IdentificationQuery(int idOption);
// The answer's bytes and the typed text are upper-cased alike (ASCII letters only), so that
// any text typed exactly as the instrument answers also matches.
bool IdentificationMatches(const QByteArray& answer, const QString& typed);
QString ConnectedCaption(const QString& typed, int address);
QString AddressCaption(int address);

// A key typed into the device ID or query box: letters are forced to upper case; Enter (13)
// is swallowed and moves the focus.
struct IdentificationKeyResult {
    int keyAscii = 0;
    enum class Focus { Stay, OtherBox, Connect } focus = Focus::Stay;
};
IdentificationKeyResult IdentificationKey(int keyAscii, const QString& own, const QString& other);
