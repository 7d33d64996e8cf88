#include "bus/Prologix.h"
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstring>

namespace gpib {

namespace {

constexpr char Esc = 27;
constexpr int MaxLine = 256;        // longer adapter lines are noise, not answers
constexpr int EndQuietMs = 20;      // after a line end, this much silence ends an answer
constexpr int AdapterSlackMs = 100; // beyond the adapter's own wait, for the transport
constexpr int SrqPollMs = 20;
constexpr int FindListenersMs = 5000;

} // namespace

QByteArray PrologixEscaped(const QByteArray& data) {
    QByteArray out;
    out.reserve(data.size() + data.size() / 8);
    for (char c : data) {
        if (c == '\r' || c == '\n' || c == Esc || c == '+') out += Esc;
        out += c;
    }
    return out;
}

std::optional<int> PrologixPollByte(const QByteArray& line) {
    const QByteArray text = line.trimmed();
    if (text.isEmpty() || text.size() > 3) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 255) return std::nullopt;
    return value;
}

QList<int> PrologixListeners(const QByteArray& line) {
    QList<int> found;
    for (const QByteArray& part : line.split(',')) {
        bool ok = false;
        const int a = part.trimmed().toInt(&ok);
        if (ok && a >= 1 && a <= 30 && !found.contains(a)) found << a;
    }
    std::sort(found.begin(), found.end());
    return found;
}

Prologix::Prologix(StreamFactory makeStream, const QString& name, Options options)
    : makeStream_(std::move(makeStream)), name_(name), options_(options) {}

Prologix::Prologix(StreamFactory makeStream, const QString& name)
    : Prologix(std::move(makeStream), name, Options{}) {}

Prologix::~Prologix() = default;

bool Prologix::start(QString* error) {
    QString problem;
    stream_ = makeStream_();
    if (!stream_->open(&problem)) {
        if (error)
            *error =
                "The GPIB adapter " + name_ + " cannot be reached.\n" + problem + ChooseBenchHint;
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    // Poll, since a board that resets on opening hears nothing for a while. Attempts are
    // counted too, so that noise which ends every wait early cannot stretch the deadline.
    const int attempts = options_.versionDeadlineMs / (options_.adapterReadMs + AdapterSlackMs) + 1;
    for (int i = 0; i < attempts && version_.isEmpty() && !stream_->broken() &&
                    clock.elapsed() < options_.versionDeadlineMs;
         ++i) {
        discardStale();
        if (!command("ver")) break;
        const int wait = int(std::min<qint64>(options_.adapterReadMs + AdapterSlackMs,
                                              options_.versionDeadlineMs - clock.elapsed()));
        if (const auto l = line(std::max(wait, 1))) version_ = l->trimmed();
    }
    if (version_.isEmpty()) {
        if (error)
            *error = QString("The GPIB adapter %1 did not answer ++ver within %2 s.\n\nCheck that "
                             "it is a Prologix or AR488 adapter, powered and connected.")
                         .arg(name_)
                         .arg(options_.versionDeadlineMs / 1000.0) +
                     ChooseBenchHint;
        return false;
    }
    ar488_ = version_.toUpper().contains("AR488");
    // Controller, no automatic reads, EOI with the last byte, nothing appended to data or
    // answers: the program adds its own terminators and reads only when it wants to.
    const QByteArray setup[] = {
        "mode 1", "auto 0",       "eoi 1",
        "eos 3",  "eot_enable 0", "read_tmo_ms " + QByteArray::number(options_.adapterReadMs)};
    for (const QByteArray& c : setup)
        if (!command(c)) {
            if (error)
                *error = "The GPIB adapter " + name_ + " stopped answering." + ChooseBenchHint;
            return false;
        }
    return true;
}

Prologix::Descriptor* Prologix::descriptor(int ud) {
    if (ud < 1 || ud > static_cast<int>(descriptors_.size())) return nullptr;
    return &descriptors_[ud - 1];
}

int Prologix::deadlineMs(int tmo) const {
    double s = TimeoutSeconds(tmo);
    if (s < 0) s = 3600; // "no timeout": an hour is as long as anyone waits at a bench
    return std::max(options_.minDeadlineMs, int(s * options_.timeoutScale * 1000));
}

bool Prologix::send(const QByteArray& bytes) {
    return stream_ && stream_->write(bytes);
}

bool Prologix::command(const QByteArray& text) {
    return send("++" + text + "\n");
}

bool Prologix::address(int pad) {
    if (addressed_ == pad) return true;
    if (!command("addr " + QByteArray::number(pad))) return false;
    addressed_ = pad;
    return true;
}

// Bytes nobody asked for (a late answer, a board's start-up banner) must not be taken for
// the answer to the next request.
void Prologix::discardStale() {
    inbox_.clear();
    long dropped = 0;
    while (stream_ && dropped < options_.maxAnswer) {
        const QByteArray junk = stream_->read(0);
        if (junk.isEmpty()) break;
        dropped += junk.size();
    }
}

std::optional<QByteArray> Prologix::line(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    qint64 silent = 0; // time that passed in silence, counted even where no clock moves
    for (;;) {
        const qsizetype end = inbox_.indexOf('\n');
        if (end >= 0) {
            QByteArray l = inbox_.left(end);
            inbox_.remove(0, end + 1);
            if (l.endsWith('\r')) l.chop(1);
            return l;
        }
        if (inbox_.size() > MaxLine) {
            inbox_.clear();
            return std::nullopt;
        }
        const qint64 left = timeoutMs - std::max(clock.elapsed(), silent);
        if (left <= 0 || !stream_ || stream_->broken()) return std::nullopt;
        const QByteArray chunk = stream_->read(int(left));
        if (chunk.isEmpty()) silent += left;
        inbox_ += chunk;
    }
}

// One whole answer of the addressed instrument. The adapter marks no end, so the answer ends
// when the instrument falls silent: soon after a line end, else after the adapter's own wait.
std::optional<QByteArray> Prologix::answer(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    qint64 silent = 0;
    const int adapterWait = options_.adapterReadMs + AdapterSlackMs;
    QByteArray data;
    while (data.isEmpty()) {
        const qint64 left = timeoutMs - std::max(clock.elapsed(), silent);
        if (left <= 0 || !command("read eoi")) return std::nullopt;
        // The adapter gives up after its own wait; then it is asked again until the deadline.
        const int wait = int(std::min<qint64>(left, adapterWait));
        data = stream_->read(wait);
        if (data.isEmpty()) silent += wait;
        if (stream_->broken()) return std::nullopt;
    }
    while (data.size() < options_.maxAnswer) {
        const QByteArray more = stream_->read(data.endsWith('\n') ? EndQuietMs : adapterWait);
        if (more.isEmpty()) break;
        data += more;
    }
    if (data.size() > options_.maxAnswer) data.truncate(options_.maxAnswer);
    return data;
}

std::optional<int> Prologix::poll(int pad, int timeoutMs) {
    if (!address(pad)) return std::nullopt;
    discardStale();
    if (!command("spoll")) return std::nullopt;
    // The status byte is the first line that reads as one; a few lines of noise are passed over.
    QElapsedTimer clock;
    clock.start();
    for (int noise = 0; noise < 8 && clock.elapsed() < timeoutMs; ++noise) {
        const auto l = line(int(timeoutMs - clock.elapsed()));
        if (!l) return std::nullopt;
        if (const auto byte = PrologixPollByte(*l)) return byte;
    }
    return std::nullopt;
}

// The adapter is gone: unplugged, switched off, or its connection reset.
int Prologix::lost() {
    return setStatus(ERR, ENEB, 0);
}

int Prologix::write(Descriptor& u, const QByteArray& data) {
    u.unread.clear(); // a new message makes the instrument drop what it had not sent
    if (!address(u.pad)) return lost();
    if (!data.isEmpty() && !send(PrologixEscaped(data) + "\n")) return lost();
    return setStatus(CMPL, 0, data.size());
}

int Prologix::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
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
    descriptors_.push_back({pad, tmo, {}});
    setStatus(CMPL, 0, 0);
    return static_cast<int>(descriptors_.size());
}

int Prologix::ibpad(int ud, int pad) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (pad < 0 || pad > 30) return setStatus(ERR, EARG, 0);
    if (u->pad != pad) u->unread.clear();
    u->pad = pad;
    return setStatus(CMPL, 0, 0);
}

int Prologix::ibwrt(int ud, const void* buf, long count) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (count < 0 || (!buf && count > 0)) return setStatus(ERR, EARG, 0);
    return write(*u, count ? QByteArray(static_cast<const char*>(buf), count) : QByteArray());
}

int Prologix::ibrd(int ud, void* buf, long count) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (count < 0 || (!buf && count > 0)) return setStatus(ERR, EARG, 0);
    if (u->unread.isEmpty()) {
        if (!address(u->pad)) return lost();
        discardStale();
        const auto a = answer(deadlineMs(u->tmo));
        if (!a) return stream_->broken() ? lost() : setStatus(ERR | TIMO, EABO, 0);
        u->unread = *a;
    }
    const long n = std::min<long>(count, u->unread.size());
    std::memcpy(buf, u->unread.constData(), static_cast<size_t>(n));
    u->unread.remove(0, n);
    return setStatus((u->unread.isEmpty() ? END : 0) | CMPL, 0, n);
}

int Prologix::ibwait(int ud, int mask) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (mask & ~(TIMO | END | RQS | CMPL)) return setStatus(ERR, EARG, 0);
    if (!(mask & RQS)) return setStatus(CMPL, 0, 0);
    // The adapter shows the SRQ line; it is asked until it is set or the time is up.
    const int limit = deadlineMs(u->tmo);
    QElapsedTimer clock;
    clock.start();
    qint64 silent = 0;
    while (std::max(clock.elapsed(), silent) < limit) {
        discardStale();
        if (!command("srq")) return lost();
        const auto l = line(options_.adapterReadMs + AdapterSlackMs);
        if (stream_->broken()) return lost();
        if (l && l->trimmed() == "1") return setStatus(CMPL | RQS, 0, 0);
        stream_->read(SrqPollMs); // the pause between two questions; anything heard is noise
        silent += SrqPollMs + (l ? 0 : options_.adapterReadMs);
    }
    return setStatus(CMPL | TIMO, 0, 0);
}

int Prologix::ibask(int ud, int option, int* value) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (option != IbaTMO || !value) return setStatus(ERR, EARG, 0);
    *value = u->tmo;
    return setStatus(CMPL, 0, 0);
}

int Prologix::ibtmo(int ud, int v) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (v < 0 || v > 17) return setStatus(ERR, EARG, 0);
    u->tmo = v;
    return setStatus(CMPL, 0, 0);
}

int Prologix::ibrsp(int ud, char* spr) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!spr) return setStatus(ERR, EARG, 0);
    const auto byte = poll(u->pad, deadlineMs(u->tmo));
    if (!byte) return stream_->broken() ? lost() : setStatus(ERR | TIMO, EABO, 0);
    *spr = static_cast<char>(*byte);
    return setStatus(CMPL, 0, 0);
}

int Prologix::ibclr(int ud) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    u->unread.clear();
    if (!address(u->pad) || !command("clr")) return lost();
    return setStatus(CMPL, 0, 0);
}

int Prologix::ibsre(int ud, int v) {
    Q_UNUSED(ud);
    Q_UNUSED(v);
    // As controller the adapter keeps remote enable asserted.
    if (!stream_ || stream_->broken()) return lost();
    return setStatus(CMPL, 0, 0);
}

int Prologix::ibrdf(int ud, const char* fileName) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    QByteArray data = u->unread;
    u->unread.clear();
    if (data.isEmpty()) {
        if (!address(u->pad)) return lost();
        discardStale();
        const auto a = answer(deadlineMs(u->tmo));
        if (!a) return stream_->broken() ? lost() : setStatus(ERR | TIMO, EABO, 0);
        data = *a;
    }
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size() ||
        !f.flush())
        return setStatus(ERR, EFSO, 0);
    return setStatus(END | CMPL, 0, data.size());
}

int Prologix::ibwrtf(int ud, const char* fileName) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::ReadOnly)) return setStatus(ERR, EFSO, 0);
    return write(*u, f.readAll());
}

void Prologix::SendIFC(int board) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    if (!command("ifc")) {
        lost();
        return;
    }
    setStatus(CMPL, 0, 0);
}

void Prologix::FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList, int limit) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    if (!padList || !resultList) {
        setStatus(ERR, EARG, 0);
        return;
    }
    QList<int> wanted; // the adapter itself is 0
    for (const Addr4882_t* p = padList; *p != NOADDR && wanted.size() < 31; ++p)
        if (const int a = *p & 0xFF; a >= 1 && a <= 30 && !wanted.contains(a)) wanted << a;
    std::vector<Addr4882_t> found;
    if (ar488_) {
        discardStale();
        if (!command("fndl all")) return void(lost());
        const auto l = line(FindListenersMs);
        for (int a : PrologixListeners(l.value_or(QByteArray())))
            if (wanted.contains(a)) found.push_back(Addr4882_t(a));
    } else {
        // A plain Prologix cannot search: an address that answers a serial poll listens. The
        // adapter's own wait is shortened meanwhile, or each silent address would cost it.
        command("read_tmo_ms " + QByteArray::number(std::max(1, options_.scanPollMs / 2)));
        for (int a : wanted)
            if (poll(a, options_.scanPollMs)) found.push_back(Addr4882_t(a));
        command("read_tmo_ms " + QByteArray::number(options_.adapterReadMs));
    }
    if (stream_->broken()) return void(lost());
    std::sort(found.begin(), found.end());
    setListeners(found, resultList, limit);
}

void Prologix::DevClear(int board, Addr4882_t address) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    const int pad = address & 0xFF;
    if (pad > 30) {
        setStatus(ERR, EARG, 0);
        return;
    }
    if (!this->address(pad) || !command("clr")) {
        lost();
        return;
    }
    setStatus(CMPL, 0, 0);
}

} // namespace gpib
