#include "bus/SimInstrument.h"
#include <QFile>
#include <algorithm>
#include <cstring>
#include <thread>

namespace gpib {

QByteArray SimNormalised(QByteArray command) {
    while (command.endsWith('\n') || command.endsWith('\r'))
        command.chop(1);
    return command.toLower();
}

QByteArray SimBus::Impl::Reply::next() {
    const int n = count++;
    if (generate) return generate(n);
    return answers.at(std::min<qsizetype>(n, answers.size() - 1));
}

namespace {

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

SimStatus Ok(long cntl = 0) {
    return {CMPL, 0, cntl};
}
SimStatus Fail(int err) {
    return {ERR, err, 0};
}
SimStatus TimedOut() {
    return {ERR | TIMO, EABO, 0};
}

using Instrument = SimBus::Impl::Instrument;
using Model = SimBus::Impl::Model;
using Clock = SimBus::Impl::Clock;

bool available(const Instrument& in, Clock::time_point now) {
    return !in.out.isEmpty() && in.readyAt <= now;
}

int statusByte(const Instrument& in, Clock::time_point now) {
    return (available(in, now) ? StbMav : 0) | ((in.esr & in.ese) ? StbEsb : 0);
}

// A service request is raised when an enabled status bit newly becomes set and is
// withdrawn once no enabled bit is set any more.
void updateServiceRequest(Instrument& in, Clock::time_point now) {
    if (in.model != Model::Ieee4882) return;
    const int summary = statusByte(in, now) & in.sre;
    if (summary & ~in.lastSummary) in.rqs = true;
    if (!summary) in.rqs = false;
    in.lastSummary = summary;
}

bool requestsService(Instrument& in, Clock::time_point now) {
    if (in.model == Model::SerialPoll) return in.pollError;
    updateServiceRequest(in, now);
    return in.rqs;
}

void queue(Instrument& in, const QByteArray& answer, int delayMs, Clock::time_point now) {
    in.out = answer + in.terminator;
    in.readyAt = now + std::chrono::milliseconds(delayMs);
}

void commandError(Instrument& in) {
    if (in.model == Model::Ieee4882)
        in.esr |= EsrCme;
    else
        in.pollError = true;
}

void clear(Instrument& in) {
    in.out.clear();
    in.esr = 0;
    in.pollError = false;
    in.rqs = false;
    in.lastSummary = 0;
}

bool accepted(const Instrument& in, const QByteArray& command) {
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
bool commonCommand(Instrument& in, const QByteArray& command, Clock::time_point now) {
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

} // namespace

SimBus::Impl::Descriptor* SimBus::Impl::descriptor(int ud) {
    return FindDescriptor(descriptors, ud);
}

SimBus::Impl::Instrument* SimBus::Impl::at(int pad) {
    for (auto& in : instruments)
        if (in.address == pad) return &in;
    return nullptr;
}

std::optional<double> SimBus::Impl::timeout(int tmo) const {
    const double s = TimeoutSeconds(tmo);
    if (s < 0) return std::nullopt;
    return s * timeoutScale;
}

// Waiting forever for something that nothing on a simulated bus can bring would only
// hang the program, so without a timeout the bench gives up at once.
SimStatus SimBus::Impl::waitOutTimeout(int tmo, SimStatus result) const {
    if (auto t = timeout(tmo)) Sleep(*t);
    return result;
}

void SimBus::Impl::journal(int address, const QByteArray& entry) const {
    if (journalPath.isEmpty()) return;
    QFile f(journalPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    f.write(QByteArray::number(address) + ' ' + entry + '\n');
    f.flush();
}
void SimBus::Impl::journalData(int address, char kind, const QByteArray& bytes) const {
    QByteArray entry(1, kind);
    if (!bytes.isEmpty()) entry += ' ' + Escaped(bytes);
    journal(address, entry);
}

SimStatus SimBus::Impl::write(int pad, const QByteArray& message) {
    Instrument* in = at(pad);
    if (!in) return Fail(ENOL);
    const QByteArray command = SimNormalised(message);
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
bool SimBus::Impl::waitForAnswer(Instrument* in, int tmo) {
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

SimStatus SimBus::Impl::read(const Descriptor& u, char* buf, long count) {
    Instrument* in = at(u.pad);
    if (!waitForAnswer(in, u.tmo)) return TimedOut();
    const long n = std::min<long>(count, in->out.size());
    std::memcpy(buf, in->out.constData(), static_cast<size_t>(n));
    journalData(u.pad, 'R', in->out.left(n));
    in->out.remove(0, n);
    updateServiceRequest(*in, Clock::now());
    return {(in->out.isEmpty() ? END : 0) | CMPL, 0, n};
}

SimStatus SimBus::Impl::readToFile(const Descriptor& u, const QString& fileName) {
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

SimStatus SimBus::Impl::wait(const Descriptor& u, int mask) {
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

SimStatus SimBus::Impl::serialPoll(const Descriptor& u, char* spr) {
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

SimStatus SimBus::Impl::deviceClear(int pad) {
    Instrument* in = at(pad);
    if (!in) return Fail(ENOL);
    clear(*in);
    journal(pad, "C");
    return Ok();
}
} // namespace gpib
