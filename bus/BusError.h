#pragma once
// What went wrong on the bus, as a value: bus code returns it, and the caller decides what the
// user is told and whether the program goes on (ErrorPolicy).
#include <QByteArray>
#include <QString>

namespace bus {

struct Error {
    enum class Kind {
        None,
        NotConfigured, // no descriptor: never opened, or the driver refused one
        Driver,        // a driver call failed; iberr says how
        ReadFailed,    // an answer did not arrive whole: timeout, driver error, over the cap
        Stopped,       // the caller's stop ended a read; nothing to tell
        Discovery,     // the listener search failed; iberr says how
        NoBus,         // the chosen back-end could not be opened; detail says why
    };
    Error() = default;
    Error(Kind kind, int iberr = 0, QString detail = {})
        : kind(kind), iberr(iberr), detail(std::move(detail)) {}

    Kind kind = Kind::None;
    int iberr = 0;
    QString detail;

    explicit operator bool() const { return kind != Kind::None; }
};

// An answer, or what kept it from arriving (the text is empty then).
struct Reply {
    QByteArray text;
    Error error;
};

// What the caller does once the user has been told.
enum class Next { Continue, EndProgram };

// Tells the user what went wrong and decides whether the program goes on: the windows show
// their boxes (widgets/BusErrorBoxes.h), a run without windows would write to stderr. Plain
// code that must decide in the middle of an operation asks here.
class ErrorPolicy {
public:
    virtual ~ErrorPolicy() = default;
    virtual Next decide(const Error& error) = 0;
};

} // namespace bus
