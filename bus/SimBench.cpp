#include "bus/SimBench.h"
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>
#include <QSet>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <thread>
#include <vector>

// Bench file format:
//   { "timeout_scale": 0.01, "journal": "/path/journal.txt",
//     "instruments": [ { "address": 3, "status": "ieee488.2" | "serial-poll",
//                        "terminator": "\n", "delay_ms": 0,
//                        "replies": { "CMD?": "answer" | ["a", "b"] | null |
//                                     { "answer": ..., "delay_ms": n } | { "write_error": n } },
//                        "accepts": ["OUT ON", "VSET *"] } ] }
// Unknown keys and wrong types are rejected rather than ignored, so that a typing error in
// a bench shows up as a message instead of as a puzzling test result.

namespace gpib {

namespace {

using Clock = std::chrono::steady_clock;

// IEEE 488.2 status bits.
constexpr int EsrOpc = 0x01;
constexpr int EsrCme = 0x20;
constexpr int StbMav = 0x10;
constexpr int StbEsb = 0x20;
constexpr int StbRqs = 0x40;
// Serial poll bytes of instruments that report a command error in the poll byte itself.
constexpr int PollCommandError = 0x61;

void Sleep(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Matching ignores case and the line ends a caller may have added.
QByteArray Normalised(QByteArray command) {
    while (command.endsWith('\n') || command.endsWith('\r'))
        command.chop(1);
    return command.toLower();
}

QByteArray Escaped(const QByteArray& bytes) {
    QByteArray out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (u < 0x20 || u >= 0x7F)
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            out += c;
    }
    return out;
}

struct Status {
    int sta;
    int err;
    long cntl;
};

Status Ok(long cntl = 0) {
    return {CMPL, 0, cntl};
}
Status Fail(int err) {
    return {ERR, err, 0};
}
Status TimedOut() {
    return {ERR | TIMO, EABO, 0};
}

} // namespace

struct SimBus::Impl {
    enum class Model { Ieee4882, SerialPoll };

    struct Reply {
        QList<QByteArray> answers;               // in turn, the last one repeated; empty: silent
        std::function<QByteArray(int)> generate; // built-in values computed per query
        std::optional<int> writeError;
        std::optional<int> delayMs; // unset: the instrument's
        int count = 0;

        bool silent() const { return answers.isEmpty() && !generate; }
        QByteArray next() {
            const int n = count++;
            if (generate) return generate(n);
            return answers.at(std::min<qsizetype>(n, answers.size() - 1));
        }
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

    Descriptor* descriptor(int ud) {
        if (ud < 1 || ud > static_cast<int>(descriptors.size())) return nullptr;
        return &descriptors[ud - 1];
    }

    Instrument* at(int pad) {
        for (auto& in : instruments)
            if (in.address == pad) return &in;
        return nullptr;
    }

    // Scaled seconds of a timeout code; nullopt when the code means no timeout.
    std::optional<double> timeout(int tmo) const {
        const double s = TimeoutSeconds(tmo);
        if (s < 0) return std::nullopt;
        return s * timeoutScale;
    }

    // Waiting forever for something that nothing on a simulated bus can bring would only
    // hang the program, so without a timeout the bench gives up at once.
    Status waitOutTimeout(int tmo, Status result) const {
        if (auto t = timeout(tmo)) Sleep(*t);
        return result;
    }

    void journal(int address, const QByteArray& entry) const {
        if (journalPath.isEmpty()) return;
        QFile f(journalPath);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return;
        f.write(QByteArray::number(address) + ' ' + entry + '\n');
        f.flush();
    }
    void journalData(int address, char kind, const QByteArray& bytes) const {
        QByteArray entry(1, kind);
        if (!bytes.isEmpty()) entry += ' ' + Escaped(bytes);
        journal(address, entry);
    }

    static bool available(const Instrument& in, Clock::time_point now) {
        return !in.out.isEmpty() && in.readyAt <= now;
    }

    static int statusByte(const Instrument& in, Clock::time_point now) {
        return (available(in, now) ? StbMav : 0) | ((in.esr & in.ese) ? StbEsb : 0);
    }

    // A service request is raised when an enabled status bit newly becomes set and is
    // withdrawn once no enabled bit is set any more.
    static void updateServiceRequest(Instrument& in, Clock::time_point now) {
        if (in.model != Model::Ieee4882) return;
        const int summary = statusByte(in, now) & in.sre;
        if (summary & ~in.lastSummary) in.rqs = true;
        if (!summary) in.rqs = false;
        in.lastSummary = summary;
    }

    static bool requestsService(Instrument& in, Clock::time_point now) {
        if (in.model == Model::SerialPoll) return in.pollError;
        updateServiceRequest(in, now);
        return in.rqs;
    }

    static void queue(Instrument& in, const QByteArray& answer, int delayMs,
                      Clock::time_point now) {
        in.out = answer + in.terminator;
        in.readyAt = now + std::chrono::milliseconds(delayMs);
    }

    static void commandError(Instrument& in) {
        if (in.model == Model::Ieee4882)
            in.esr |= EsrCme;
        else
            in.pollError = true;
    }

    static void clear(Instrument& in) {
        in.out.clear();
        in.esr = 0;
        in.pollError = false;
        in.rqs = false;
        in.lastSummary = 0;
    }

    static bool accepted(const Instrument& in, const QByteArray& command) {
        for (const auto& pattern : in.accepts) {
            if (pattern.endsWith('*')) {
                if (command.startsWith(pattern.left(pattern.size() - 1))) return true;
            } else if (command == pattern) {
                return true;
            }
        }
        return false;
    }

    // The IEEE 488.2 common commands; false when the command is not one of them.
    static bool commonCommand(Instrument& in, const QByteArray& command, Clock::time_point now) {
        const qsizetype space = command.indexOf(' ');
        const QByteArray head = space < 0 ? command : command.left(space);
        const QByteArray arg = space < 0 ? QByteArray() : command.mid(space + 1).trimmed();
        auto answer = [&](int value) { queue(in, QByteArray::number(value), in.delayMs, now); };
        auto setRegister = [&](int& reg, int max) {
            bool ok = false;
            const int v = arg.toInt(&ok);
            if (!ok || v < 0 || v > max)
                commandError(in);
            else
                reg = v;
        };
        const bool noArg = arg.isEmpty() && space < 0;
        if (head == "*cls" && noArg) {
            in.esr = 0;
            in.out.clear();
        } else if (head == "*ese" && !noArg) {
            setRegister(in.ese, 255);
        } else if (head == "*ese?" && noArg) {
            answer(in.ese);
        } else if (head == "*esr?" && noArg) {
            answer(in.esr);
            in.esr = 0;
        } else if (head == "*sre" && !noArg) {
            setRegister(in.sre, 255);
            in.sre &= ~StbRqs; // bit 6 cannot be enabled
        } else if (head == "*sre?" && noArg) {
            answer(in.sre);
        } else if (head == "*stb?" && noArg) {
            const int stb = statusByte(in, now);
            answer(stb | ((stb & in.sre) ? StbRqs : 0));
        } else if (head == "*opc" && noArg) {
            in.esr |= EsrOpc;
        } else if (head == "*opc?" && noArg) {
            answer(1);
        } else if ((head == "*rst" || head == "*wai") && noArg) {
        } else if (head == "dese" && !noArg) {
            setRegister(in.dese, 65535);
        } else {
            return false;
        }
        return true;
    }

    Status write(int pad, const QByteArray& message) {
        Instrument* in = at(pad);
        if (!in) return Fail(ENOL);
        const QByteArray command = Normalised(message);
        const auto now = Clock::now();
        auto reply = in->replies.find(command);
        if (reply != in->replies.end() && reply->second.writeError)
            return Fail(*reply->second.writeError);
        journalData(pad, 'W', message);
        if (reply != in->replies.end()) {
            Reply& r = reply->second;
            if (!r.silent()) queue(*in, r.next(), r.delayMs.value_or(in->delayMs), now);
        } else if (in->model == Model::Ieee4882 && commonCommand(*in, command, now)) {
        } else if (command.isEmpty() || accepted(*in, command)) {
        } else if (in->silentQueries && command.endsWith('?')) {
        } else {
            commandError(*in);
        }
        updateServiceRequest(*in, now);
        return Ok(message.size());
    }

    // Waits until the queued answer may be read; false when none comes within the timeout.
    bool waitForAnswer(Instrument* in, int tmo) {
        if (!in || in->out.isEmpty()) {
            waitOutTimeout(tmo, {});
            return false;
        }
        const auto now = Clock::now();
        if (in->readyAt > now) {
            const double wait = std::chrono::duration<double>(in->readyAt - now).count();
            const auto limit = timeout(tmo);
            if (limit && wait > *limit) {
                Sleep(*limit);
                return false;
            }
            std::this_thread::sleep_until(in->readyAt);
        }
        return true;
    }

    Status read(const Descriptor& u, char* buf, long count) {
        Instrument* in = at(u.pad);
        if (!waitForAnswer(in, u.tmo)) return TimedOut();
        const long n = std::min<long>(count, in->out.size());
        std::memcpy(buf, in->out.constData(), static_cast<size_t>(n));
        journalData(u.pad, 'R', in->out.left(n));
        in->out.remove(0, n);
        updateServiceRequest(*in, Clock::now());
        return {(in->out.isEmpty() ? END : 0) | CMPL, 0, n};
    }

    Status readToFile(const Descriptor& u, const QString& fileName) {
        Instrument* in = at(u.pad);
        if (!waitForAnswer(in, u.tmo)) return TimedOut();
        // The answer stays queued when the file cannot take it, so nothing is lost.
        QFile f(fileName);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return Fail(EFSO);
        if (f.write(in->out) != in->out.size() || !f.flush()) return Fail(EFSO);
        const QByteArray data = in->out;
        in->out.clear();
        journalData(u.pad, 'R', data);
        updateServiceRequest(*in, Clock::now());
        return {END | CMPL, 0, static_cast<long>(data.size())};
    }

    Status wait(const Descriptor& u, int mask) {
        if (mask & ~(TIMO | END | RQS | CMPL)) return Fail(EARG);
        if (!(mask & RQS)) return Ok();
        Instrument* in = at(u.pad);
        if (in && requestsService(*in, Clock::now())) return {CMPL | RQS, 0, 0};
        const auto limit = timeout(u.tmo);
        // An answer still on its way raises a request when its availability is enabled.
        if (in && in->model == Model::Ieee4882 && (in->sre & StbMav) && !in->out.isEmpty()) {
            const auto now = Clock::now();
            const double wait = std::chrono::duration<double>(in->readyAt - now).count();
            if (!limit || wait <= *limit) {
                std::this_thread::sleep_until(in->readyAt);
                if (requestsService(*in, Clock::now())) return {CMPL | RQS, 0, 0};
            }
        }
        return waitOutTimeout(u.tmo, {CMPL | TIMO, 0, 0});
    }

    Status serialPoll(const Descriptor& u, char* spr) {
        Instrument* in = at(u.pad);
        if (!in) return waitOutTimeout(u.tmo, TimedOut());
        const auto now = Clock::now();
        int byte = 0;
        if (in->model == Model::Ieee4882) {
            updateServiceRequest(*in, now);
            byte = statusByte(*in, now) | (in->rqs ? StbRqs : 0);
            in->rqs = false;
        } else {
            byte = (available(*in, now) ? StbMav : 0) | (in->pollError ? PollCommandError : 0);
            in->pollError = false;
        }
        *spr = static_cast<char>(byte);
        journal(u.pad, "P " + QByteArray::number(byte));
        return Ok();
    }

    Status deviceClear(int pad) {
        Instrument* in = at(pad);
        if (!in) return Fail(ENOL);
        clear(*in);
        journal(pad, "C");
        return Ok();
    }
};

// ---------------------------------------------------------------------------------------
// Reading a bench description

namespace {

using Impl = SimBus::Impl;

class BenchReader {
public:
    explicit BenchReader(Impl& bench) : bench_(bench) {}

    QString read(const QJsonObject& root) {
        for (auto it = root.begin(); it != root.end(); ++it) {
            const QString key = it.key();
            const QJsonValue v = it.value();
            if (key == "timeout_scale") {
                if (!v.isDouble()) return "timeout_scale is not a number";
                if (v.toDouble() < 0) return "timeout_scale is negative";
                bench_.timeoutScale = v.toDouble();
            } else if (key == "journal") {
                if (!v.isString()) return "journal is not a string";
                bench_.journalPath = v.toString();
            } else if (key == "instruments") {
                if (!v.isArray()) return "instruments is not a list";
                const QJsonArray list = v.toArray();
                for (qsizetype i = 0; i < list.size(); ++i) {
                    const QString where = QString("instrument %1").arg(i + 1);
                    if (!list.at(i).isObject()) return where + " is not an object";
                    const QString error = instrument(list.at(i).toObject(), where);
                    if (!error.isEmpty()) return error;
                }
            } else {
                return QString("unknown key \"%1\"").arg(key);
            }
        }
        std::sort(bench_.instruments.begin(), bench_.instruments.end(),
                  [](const auto& a, const auto& b) { return a.address < b.address; });
        return {};
    }

private:
    // Bench texts are bytes: a character beyond Latin-1 has no byte to stand for it.
    static bool Bytes(const QJsonValue& v, QByteArray* out) {
        if (!v.isString()) return false;
        const QString s = v.toString();
        for (QChar c : s)
            if (c.unicode() > 0xFF) return false;
        *out = s.toLatin1();
        return true;
    }

    static bool Milliseconds(const QJsonValue& v, int* out) {
        if (!v.isDouble() || v.toDouble() < 0 || v.toDouble() > 3600e3) return false;
        *out = static_cast<int>(std::lround(v.toDouble()));
        return true;
    }

    static bool WholeNumber(const QJsonValue& v, int* out) {
        if (!v.isDouble()) return false;
        const double d = v.toDouble();
        if (d != std::floor(d) || std::abs(d) > 1e9) return false;
        *out = static_cast<int>(d);
        return true;
    }

    QString instrument(const QJsonObject& o, const QString& where) {
        Impl::Instrument in;
        if (!o.contains("address")) return where + " has no address";
        if (!WholeNumber(o.value("address"), &in.address))
            return where + ": address is not a whole number";
        if (in.address < 1 || in.address > 30)
            return where + QString(": address %1 is outside 1..30").arg(in.address);
        if (bench_.at(in.address))
            return where + QString(": address %1 is used twice").arg(in.address);
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString key = it.key();
            const QJsonValue v = it.value();
            QString error;
            if (key == "address") {
                continue;
            } else if (key == "status") {
                if (!v.isString())
                    error = "status is not a string";
                else if (v.toString() == "ieee488.2")
                    in.model = Impl::Model::Ieee4882;
                else if (v.toString() == "serial-poll")
                    in.model = Impl::Model::SerialPoll;
                else
                    error = QString("unknown status model \"%1\"").arg(v.toString());
            } else if (key == "terminator") {
                if (!Bytes(v, &in.terminator)) error = "terminator is not a byte string";
            } else if (key == "delay_ms") {
                if (!Milliseconds(v, &in.delayMs)) error = "delay_ms is not a number of ms";
            } else if (key == "replies") {
                error = replies(v, &in);
            } else if (key == "accepts") {
                error = accepts(v, &in);
            } else {
                error = QString("unknown key \"%1\"").arg(key);
            }
            if (!error.isEmpty()) return where + ": " + error;
        }
        bench_.instruments.push_back(std::move(in));
        return {};
    }

    static QString replies(const QJsonValue& v, Impl::Instrument* in) {
        if (!v.isObject()) return "replies is not an object";
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            QByteArray command;
            if (!Bytes(QJsonValue(it.key()), &command))
                return QString("reply \"%1\": the command is not a byte string").arg(it.key());
            const QString where = QString("reply \"%1\"").arg(it.key());
            Impl::Reply r;
            QString error = reply(it.value(), &r);
            if (!error.isEmpty()) return where + error;
            const QByteArray key = Normalised(command);
            if (in->replies.count(key)) return where + " is given twice";
            in->replies.emplace(key, std::move(r));
        }
        return {};
    }

    // The answer part of a reply: text, a list of texts or null (silent).
    static QString answers(const QJsonValue& v, Impl::Reply* r) {
        if (v.isNull()) return {};
        QByteArray text;
        if (Bytes(v, &text)) {
            r->answers = {text};
            return {};
        }
        if (v.isString()) return " is not a byte string";
        if (!v.isArray()) return " is not a string, list, object or null";
        const QJsonArray list = v.toArray();
        if (list.isEmpty()) return " is an empty list";
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (!Bytes(list.at(i), &text))
                return QString(": list entry %1 is not a byte string").arg(i + 1);
            r->answers.append(text);
        }
        return {};
    }

    static QString reply(const QJsonValue& v, Impl::Reply* r) {
        if (!v.isObject()) return answers(v, r);
        const QJsonObject o = v.toObject();
        if (o.contains("write_error") && o.contains("answer"))
            return " has both answer and write_error";
        if (!o.contains("write_error") && !o.contains("answer"))
            return " has neither answer nor write_error";
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (it.key() == "answer") {
                const QString error = answers(it.value(), r);
                if (!error.isEmpty()) return ": answer" + error;
            } else if (it.key() == "delay_ms") {
                int ms = 0;
                if (!Milliseconds(it.value(), &ms)) return ": delay_ms is not a number of ms";
                r->delayMs = ms;
            } else if (it.key() == "write_error") {
                int code = 0;
                if (!WholeNumber(it.value(), &code) || code < 0 || code > 255)
                    return ": write_error is not an error code";
                r->writeError = code;
            } else {
                return QString(": unknown key \"%1\"").arg(it.key());
            }
        }
        return {};
    }

    static QString accepts(const QJsonValue& v, Impl::Instrument* in) {
        if (!v.isArray()) return "accepts is not a list";
        const QJsonArray list = v.toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            QByteArray command;
            if (!Bytes(list.at(i), &command))
                return QString("accepts entry %1 is not a byte string").arg(i + 1);
            in->accepts.append(Normalised(command));
        }
        return {};
    }

    Impl& bench_;
};

int LineOf(const QByteArray& text, int offset) {
    return static_cast<int>(text.left(offset).count('\n')) + 1;
}

} // namespace

// ---------------------------------------------------------------------------------------

SimBus::SimBus() : d(std::make_unique<Impl>()) {}
SimBus::~SimBus() = default;

std::unique_ptr<SimBus> SimBus::fromJson(const QByteArray& json, QString* error) {
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    QString message;
    if (parse.error != QJsonParseError::NoError)
        message = QString("line %1: %2").arg(LineOf(json, parse.offset)).arg(parse.errorString());
    else if (!doc.isObject())
        message = "the bench is not a JSON object";
    std::unique_ptr<SimBus> bus(new SimBus);
    if (message.isEmpty()) message = BenchReader(*bus->d).read(doc.object());
    if (message.isEmpty()) return bus;
    if (error) *error = message;
    return nullptr;
}

std::unique_ptr<SimBus> SimBus::fromFile(const QString& path, QString* error) {
    const QString prefix = QString("Bench file %1: ").arg(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = prefix + "cannot be read (" + f.errorString() + ")";
        return nullptr;
    }
    QString message;
    auto bus = fromJson(f.readAll(), &message);
    if (!bus && error) *error = prefix + message;
    return bus;
}

namespace {

// Generated values depend only on how many times the query was asked, so a demonstration
// run is the same every time.
QByteArray DriftingVolts(int n) {
    const double v = 10.0 + 0.00021 * n + 0.00035 * std::sin(n * 0.7);
    return QByteArray(QString::asprintf("%+.5E", v).toLatin1()) + "VDC";
}

QByteArray RiseAndFall(int n) {
    // Climbs from 21.50 to a peak about 14 degrees higher at the 30th reading, then cools.
    const double x = n / 30.0;
    return QByteArray::number(21.5 + 14.0 * x * std::exp(1.0 - x), 'f', 2);
}

QByteArray CalibrationDump() {
    QByteArray dump = "CAL";
    for (int i = 0; i < 48; ++i)
        dump += QString::asprintf(",%02d:%+.6E", i, 1.0 + 0.0001 * ((i * 37) % 91 - 45)).toLatin1();
    return dump;
}

} // namespace

std::unique_ptr<SimBus> SimBus::builtIn() {
    std::unique_ptr<SimBus> bus(new SimBus);
    auto fixed = [](const QByteArray& answer) {
        Impl::Reply r;
        r.answers = {answer};
        return r;
    };
    auto generated = [](std::function<QByteArray(int)> f) {
        Impl::Reply r;
        r.generate = std::move(f);
        return r;
    };

    Impl::Instrument meter;
    meter.address = 3;
    meter.replies.emplace("*idn?", fixed("SIMLAB,M401A,0,1.0"));
    // Both measurement queries read the same input, so they share one reading count.
    auto readings = std::make_shared<int>(0);
    auto volts = [readings](int) { return DriftingVolts((*readings)++); };
    meter.replies.emplace("meas:volt:dc?", generated(volts));
    meter.replies.emplace("meas?", generated(volts));
    meter.replies.emplace("read?", generated(volts));
    meter.accepts = {"conf:volt:dc", "conf:volt:dc *", "trig:sour *", "syst:beep"};

    Impl::Instrument oldMeter;
    oldMeter.address = 7;
    oldMeter.model = Impl::Model::SerialPoll;
    oldMeter.terminator = "\r\n";
    oldMeter.replies.emplace("id?", fixed("SIMLAB 2705 OLDMETER"));
    oldMeter.replies.emplace("dump?", fixed(CalibrationDump()));
    oldMeter.replies.emplace(
        "read?", generated([](int n) {
            return QByteArray(QString::asprintf("%+.5E", 1.2345 + 0.0002 * (n % 7)).toLatin1());
        }));
    oldMeter.accepts = {"f*", "r*", "t*", "z*"};

    Impl::Instrument relay;
    relay.address = 9;
    relay.model = Impl::Model::SerialPoll;
    relay.silentQueries = true;
    relay.accepts = {"out on", "out off", "vset *", "iset *", "close *", "open *"};

    Impl::Instrument probe;
    probe.address = 12;
    probe.replies.emplace("*idn?", fixed("SIMLAB,T100,0,2.1"));
    probe.replies.emplace("temp?", generated(RiseAndFall));
    probe.accepts = {"unit *"};

    for (auto* in : {&meter, &oldMeter, &relay, &probe})
        bus->d->instruments.push_back(*in);
    return bus;
}

double SimBus::timeoutScale() const {
    return d->timeoutScale;
}

int SimBus::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    Q_UNUSED(eot);
    Q_UNUSED(eos);
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return -1;
    }
    if (pad < 0 || pad > 30 || (sad != 0 && (sad < 0x60 || sad > 0x7E)) || tmo < 0 || tmo > 17) {
        setStatus(ERR, EARG, 0);
        return -1;
    }
    d->descriptors.push_back({pad, tmo});
    setStatus(CMPL, 0, 0);
    return static_cast<int>(d->descriptors.size());
}

int SimBus::ibpad(int ud, int pad) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (pad < 0 || pad > 30) return setStatus(ERR, EARG, 0);
    u->pad = pad;
    return setStatus(CMPL, 0, 0);
}

int SimBus::ibwrt(int ud, const void* buf, long count) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (count < 0 || (!buf && count > 0)) return setStatus(ERR, EARG, 0);
    const QByteArray message =
        count ? QByteArray(static_cast<const char*>(buf), count) : QByteArray();
    const auto s = d->write(u->pad, message);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibrd(int ud, void* buf, long count) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (count < 0 || (!buf && count > 0)) return setStatus(ERR, EARG, 0);
    const auto s = d->read(*u, static_cast<char*>(buf), count);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibwait(int ud, int mask) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    const auto s = d->wait(*u, mask);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibask(int ud, int option, int* value) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (option != IbaTMO || !value) return setStatus(ERR, EARG, 0);
    *value = u->tmo;
    return setStatus(CMPL, 0, 0);
}

int SimBus::ibtmo(int ud, int v) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (v < 0 || v > 17) return setStatus(ERR, EARG, 0);
    u->tmo = v;
    return setStatus(CMPL, 0, 0);
}

int SimBus::ibrsp(int ud, char* spr) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!spr) return setStatus(ERR, EARG, 0);
    const auto s = d->serialPoll(*u, spr);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibclr(int ud) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    const auto s = d->deviceClear(u->pad);
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibsre(int ud, int v) {
    Q_UNUSED(ud);
    Q_UNUSED(v);
    return setStatus(CMPL, 0, 0);
}

int SimBus::ibrdf(int ud, const char* fileName) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    const auto s = d->readToFile(*u, QString::fromLocal8Bit(fileName));
    return setStatus(s.sta, s.err, s.cntl);
}

int SimBus::ibwrtf(int ud, const char* fileName) {
    auto* u = d->descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::ReadOnly)) return setStatus(ERR, EFSO, 0);
    const auto s = d->write(u->pad, f.readAll());
    return setStatus(s.sta, s.err, s.cntl);
}

void SimBus::SendIFC(int board) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    d->journal(0, "I");
    setStatus(CMPL, 0, 0);
}

void SimBus::FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList, int limit) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    if (!padList || !resultList) {
        setStatus(ERR, EARG, 0);
        return;
    }
    QSet<int> asked;
    for (const Addr4882_t* p = padList; *p != NOADDR; ++p)
        asked.insert(*p & 0xFF);
    std::vector<Addr4882_t> found{0}; // the board itself
    for (const auto& in : d->instruments)
        if (asked.contains(in.address)) found.push_back(static_cast<Addr4882_t>(in.address));
    if (found.size() == 1) {
        setStatus(ERR, EBUS, 0);
        return;
    }
    const int n = std::min(static_cast<int>(found.size()), std::max(limit, 0));
    std::copy_n(found.begin(), n, resultList);
    if (n < static_cast<int>(found.size()))
        setStatus(ERR, ETAB, n);
    else
        setStatus(CMPL, 0, n);
}

void SimBus::DevClear(int board, Addr4882_t address) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    const int pad = address & 0xFF;
    if (pad > 30) {
        setStatus(ERR, EARG, 0);
        return;
    }
    const auto s = d->deviceClear(pad);
    setStatus(s.sta, s.err, s.cntl);
}

} // namespace gpib
