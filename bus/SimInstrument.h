#pragma once
// The simulated instruments: what each one answers, its status registers under one of two
// status models, and how a descriptor's timeout plays out. The bench-file reader and the
// built-in bench fill it; the ib* calls of SimBus act on it.
#include "bus/SimBench.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace gpib {

// Matching ignores case and the line ends a caller may have added.
QByteArray SimNormalised(QByteArray command);

struct SimStatus {
    int sta;
    int err;
    long cntl;
};

struct SimBus::Impl {
    using Clock = std::chrono::steady_clock;
    enum class Model { Ieee4882, SerialPoll };

    struct Reply {
        QList<QByteArray> answers;               // in turn, the last one repeated; empty: silent
        std::function<QByteArray(int)> generate; // built-in values computed per query
        std::optional<int> writeError;
        std::optional<int> delayMs; // unset: the instrument's
        int count = 0;

        bool silent() const { return answers.isEmpty() && !generate; }
        QByteArray next();
    };

    struct Instrument {
        int address = 0;
        Model model = Model::Ieee4882;
        QByteArray terminator = "\n";
        int delayMs = 0;
        std::map<QByteArray, Reply> replies; // by normalised command
        QList<QByteArray> accepts;           // normalised; a trailing * matches any rest
        bool silentQueries = false;          // unknown queries are swallowed, not errors

        QByteArray out; // the queued answer, readable from readyAt on
        Clock::time_point readyAt;
        int esr = 0, ese = 0, sre = 0, dese = 0;
        bool rqs = false;
        int lastSummary = 0;
        bool pollError = false;
    };

    struct Descriptor {
        int pad;
        int tmo;
    };

    double timeoutScale = 1.0;
    QString journalPath;
    std::vector<Instrument> instruments; // ascending by address
    std::vector<Descriptor> descriptors; // descriptor n is entry n - 1

    Descriptor* descriptor(int ud);
    Instrument* at(int pad);
    // Scaled seconds of a timeout code; nullopt when the code means no timeout.
    std::optional<double> timeout(int tmo) const;
    void journal(int address, const QByteArray& entry) const;

    SimStatus write(int pad, const QByteArray& message);
    SimStatus read(const Descriptor& u, char* buf, long count);
    SimStatus readToFile(const Descriptor& u, const QString& fileName);
    SimStatus wait(const Descriptor& u, int mask);
    SimStatus serialPoll(const Descriptor& u, char* spr);
    SimStatus deviceClear(int pad);

private:
    SimStatus waitOutTimeout(int tmo, SimStatus result) const;
    bool waitForAnswer(Instrument* in, int tmo);
    void journalData(int address, char kind, const QByteArray& bytes) const;
};

} // namespace gpib
