#include "bus/Prologix.h"
#include <QFile>
#include <algorithm>
#include <cstring>
#include <utility>

namespace gpib {

namespace {

constexpr char Esc = 27;
constexpr int MaxLine = 256;        // longer adapter lines are noise, not answers
constexpr int AdapterSlackMs = 100; // beyond the adapter's own wait, for the transport
constexpr int SrqPollMs = 20;
constexpr int FindListenersMs = 5000;
constexpr qint64 FilePiece = 64 << 10; // a file goes out in pieces, never whole in memory
constexpr int BoardStallMs = 3000;     // how long a write of a board call may stand still

// Where an IEEE 488.2 definite-length block that starts the answer ends: 0 when the answer
// is not one, -1 while its header is not complete.
qint64 BlockEnd(const QByteArray& head) {
    if (head.isEmpty()) return -1;
    if (head[0] != '#') return 0;
    if (head.size() < 2) return -1;
    const int digits = head[1] - '0';
    if (digits < 1 || digits > 9) return 0;
    qint64 length = 0;
    for (int i = 0; i < digits; ++i) {
        if (2 + i >= head.size()) return -1;
        const char c = head[2 + i];
        if (c < '0' || c > '9') return 0;
        length = length * 10 + (c - '0');
    }
    return 2 + digits + length;
}

} // namespace

PrologixAnswerEnd::Verdict PrologixAnswerEnd::feed(const QByteArray& bytes) {
    constexpr qsizetype HeaderMax = 11; // "#9" and nine digits
    if (head_.size() < HeaderMax) head_ += bytes.left(HeaderMax - head_.size());
    for (qsizetype i = std::max<qsizetype>(0, bytes.size() - 2); i < bytes.size(); ++i) {
        last_[0] = last_[1];
        last_[1] = bytes[i];
    }
    size_ += bytes.size();
    if (blockEnd_ < 0) blockEnd_ = BlockEnd(head_);
    if (size_ == 0 || last_[1] != PrologixEot || blockEnd_ < 0) return Verdict::More;
    const qint64 at = size_ - 1; // where the eot byte sits
    if (at < blockEnd_) return Verdict::More;
    if ((blockEnd_ > 0 && at == blockEnd_) || (size_ >= 2 && last_[0] == '\n')) return Verdict::End;
    return Verdict::Ask;
}

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
    : makeStream_(std::move(makeStream)), name_(name), options_(options),
      clock_(options.clock ? *options.clock : SteadyClock()) {}

Prologix::Prologix(StreamFactory makeStream, const QString& name)
    : Prologix(std::move(makeStream), name, Options{}) {}

Prologix::~Prologix() = default;

bool Prologix::start(QString* error) {
    return connect(error);
}

// Opens the stream, waits for the adapter's ++ver and sets it up; at start-up, and again
// whenever the stream broke (an adapter unplugged and plugged in, a dropped connection).
bool Prologix::connect(QString* error) {
    stream_.reset(); // a port is closed before it is opened again
    addressed_ = -1;
    inbox_.clear();
    unsynced_ = stalled_ = false;
    markers_ = 0;
    version_.clear();
    for (Descriptor& u : descriptors_)
        u.unread.clear();
    QString problem;
    std::unique_ptr<ByteStream> stream = makeStream_();
    if (!stream->open(&problem)) {
        if (error)
            *error =
                "The GPIB adapter " + name_ + " cannot be reached.\n" + problem + ChooseBenchHint;
        return false;
    }
    stream_ = std::move(stream);
    progressed();
    stallMs_ = BoardStallMs;
    // Ends a line that a stream broken in mid-send may have left in the adapter, so that the
    // next command is not taken as the rest of that data.
    if (std::exchange(opened_, true)) send("\n");
    // Poll, since a board that resets on opening hears nothing for a while. Attempts are
    // counted too, so that noise which ends every wait early cannot stretch the deadline.
    const qint64 started = clock_.nowMs();
    const int wait = options_.adapterReadMs + AdapterSlackMs;
    const int attempts = options_.versionDeadlineMs / wait + 1;
    for (int i = 0; i < attempts && version_.isEmpty() && !stream_->broken(); ++i) {
        const qint64 left = options_.versionDeadlineMs - (clock_.nowMs() - started);
        if (left <= 0) break;
        discardStale();
        if (!command("ver")) break;
        if (const auto l = line(int(std::min<qint64>(wait, left)))) version_ = l->trimmed();
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
    // Controller, no automatic reads, EOI with the last byte, nothing appended to data; the
    // eot byte after an answer's EOI byte tells where the answer ends.
    const QByteArray setup[] = {"mode 1",
                                "auto 0",
                                "eoi 1",
                                "eos 3",
                                "eot_enable 1",
                                "eot_char " + QByteArray::number(int(PrologixEot)),
                                "read_tmo_ms " + QByteArray::number(options_.adapterReadMs)};
    bool answering = true;
    for (const QByteArray& c : setup)
        answering = answering && command(c);
    // Replies to more than one ++ver of the loop may still be on their way. The reply to a
    // question of another kind comes after all of them: up to it, everything is dropped.
    const QByteArray eot = QByteArray::number(int(PrologixEot));
    answering = answering && command("eot_char");
    for (int lines = 0; answering && lines <= attempts + 8; ++lines) {
        const auto l = line(options_.adapterReadMs + AdapterSlackMs);
        answering = l.has_value();
        if (answering && l->trimmed() == eot) {
            unsynced_ = false;
            markers_ = 0;
            return true;
        }
    }
    if (error) *error = "The GPIB adapter " + name_ + " stopped answering." + ChooseBenchHint;
    return false;
}

bool Prologix::ready() {
    return (stream_ && !stream_->broken()) || connect(nullptr);
}

Prologix::Descriptor* Prologix::descriptor(int ud) {
    return FindDescriptor(descriptors_, ud);
}

int Prologix::deadlineMs(int tmo) const {
    double s = TimeoutSeconds(tmo);
    if (s < 0) s = NoLimitSeconds;
    return std::max(options_.minDeadlineMs, int(s * options_.timeoutScale * 1000));
}

bool Prologix::send(const QByteArray& bytes) {
    if (!stream_) return false;
    const ByteStream::Sent sent = stream_->write(bytes, stallMs_);
    stalled_ = sent == ByteStream::Sent::Stalled;
    if (sent != ByteStream::Sent::All) return false;
    progressed();
    return true;
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
// the answer to the next request. False when they do not stop coming.
bool Prologix::discardStale() {
    inbox_.clear();
    long dropped = 0;
    while (stream_ && !stream_->broken()) {
        const QByteArray junk = stream_->read(0);
        if (junk.isEmpty()) return true;
        dropped += junk.size();
        if (dropped > options_.maxAnswer) break;
    }
    unsynced_ = true;
    return false;
}

// Where the adapter's reply to ++ver starts in the data, -1 when it is not (yet) there; end
// gets where it ends, after its line end.
qsizetype Prologix::versionReply(const QByteArray& data, qsizetype* end) const {
    for (qsizetype at = data.indexOf(version_); at >= 0; at = data.indexOf(version_, at + 1)) {
        qsizetype i = at + version_.size();
        while (i < data.size() && data[i] == '\r')
            ++i;
        if (i < data.size() && data[i] == '\n') {
            *end = i + 1;
            return at;
        }
    }
    return -1;
}

// Before a request that expects a reply. When an earlier request was given up, its reply may
// still be on the way: the adapter is asked for ++ver, and all up to the reply to that, and
// to every ++ver still unanswered, is dropped; the replies come in order.
bool Prologix::sync(int timeoutMs) {
    if (!unsynced_) return discardStale();
    inbox_.clear();
    if (!command("ver")) return false;
    ++markers_;
    qint64 heard = clock_.nowMs(), dropped = 0;
    const qsizetype keep = version_.size() + 4;
    for (;;) {
        qsizetype end = 0;
        while (versionReply(inbox_, &end) >= 0) {
            inbox_.remove(0, end);
            if (--markers_ == 0) {
                unsynced_ = false;
                return discardStale();
            }
        }
        if (inbox_.size() > keep) {
            dropped += inbox_.size() - keep;
            inbox_ = inbox_.right(keep);
        }
        const qint64 left = timeoutMs - (clock_.nowMs() - heard);
        if (left <= 0 || dropped > options_.maxAnswer || stream_->broken()) return false;
        const QByteArray chunk = stream_->read(int(left));
        if (!chunk.isEmpty()) {
            heard = clock_.nowMs();
            progressed();
        }
        inbox_ += chunk;
    }
}

// One line the adapter sends in reply to a command. When none comes in time, a late one
// may still come: the next request syncs first.
std::optional<QByteArray> Prologix::line(int timeoutMs) {
    const qint64 started = clock_.nowMs();
    for (;;) {
        const qsizetype end = inbox_.indexOf('\n');
        if (end >= 0 && end <= MaxLine) {
            QByteArray l = inbox_.left(end);
            inbox_.remove(0, end + 1);
            if (l.endsWith('\r')) l.chop(1);
            return l;
        }
        const qint64 left = timeoutMs - (clock_.nowMs() - started);
        if (end > MaxLine || inbox_.size() > MaxLine || left <= 0 || !stream_ ||
            stream_->broken()) {
            inbox_.clear();
            unsynced_ = true;
            return std::nullopt;
        }
        const QByteArray chunk = stream_->read(int(left));
        if (!chunk.isEmpty()) progressed();
        inbox_ += chunk;
    }
}

// One whole answer of the addressed instrument, handed to the sink as it comes. After the
// byte that carried EOI the adapter sends the eot byte. Where that may be data, or where the
// adapter stays silent past its own wait, it is asked for ++ver: what it sent before the
// reply belongs to the answer, which is whole when its last byte is the eot byte; otherwise
// the adapter gave up waiting for the instrument and is told to read on. So only silence for
// the whole timeout leaves an answer unfinished.
Prologix::Outcome Prologix::answer(int timeoutMs, const Sink& sink, qint64 cap) {
    const int adapterWait = options_.adapterReadMs + AdapterSlackMs;
    const QByteArray replies[] = {version_ + "\r\n", version_ + "\n"};
    PrologixAnswerEnd end;
    auto verdict = PrologixAnswerEnd::Verdict::More;
    QByteArray pending; // received, not handed on: the last byte may be the eot byte
    qsizetype fed = 0;  // how much of it went through the end's check
    qint64 handed = 0;
    const auto feedTo = [&](qsizetype upTo) {
        if (upTo > fed) verdict = end.feed(pending.mid(fed, upTo - fed));
        fed = std::max(fed, upTo);
    };
    const auto handOn = [&](qsizetype upTo) {
        if (upTo <= 0) return Outcome::Whole;
        handed += upTo;
        if (handed > cap) return Outcome::TooLong;
        const bool kept = sink(pending.left(upTo));
        pending.remove(0, upTo);
        fed -= upTo;
        return kept ? Outcome::Whole : Outcome::SinkFailed;
    };
    // The answer is whole: all but its last byte, the eot byte, is handed on.
    const auto finish = [&] {
        pending.chop(1);
        return handOn(pending.size());
    };
    if (!command("read eoi")) return Outcome::Lost;
    bool asking = false;
    qint64 heard = clock_.nowMs(); // the last byte of the answer: the timeout counts from it
    qint64 active = heard;         // the last byte of any kind, or the last ++read
    qint64 sinceAsk = 0;           // bytes since ++ver went out
    for (;;) {
        const qint64 now = clock_.nowMs();
        const qint64 left = timeoutMs - (now - heard);
        if (left <= 0) break;
        const qint64 adapterLeft = adapterWait - (now - active);
        if (!asking && adapterLeft <= 0) {
            if (!command("ver")) return Outcome::Lost;
            ++markers_;
            asking = true;
            sinceAsk = 0;
            continue;
        }
        const QByteArray chunk =
            stream_->read(int(std::max<qint64>(1, asking ? left : std::min(left, adapterLeft))));
        if (stream_->broken()) return Outcome::Lost;
        if (chunk.isEmpty()) continue;
        active = clock_.nowMs();
        progressed();
        pending += chunk;
        Outcome handing = Outcome::Whole;
        if (!asking) {
            heard = active;
            feedTo(pending.size());
            if (verdict == PrologixAnswerEnd::Verdict::End) return finish();
            if (verdict == PrologixAnswerEnd::Verdict::Ask) {
                if (!command("ver")) return Outcome::Lost;
                ++markers_;
                asking = true;
                sinceAsk = 0;
            }
            handing = handOn(pending.size() - 1);
        } else {
            sinceAsk += chunk.size();
            const auto reply =
                std::find_if(std::begin(replies), std::end(replies),
                             [&](const QByteArray& r) { return pending.endsWith(r); });
            const bool replied = reply != std::end(replies);
            // Bytes beyond the reply are the answer's: the instrument is still talking.
            if (sinceAsk > (replied ? reply->size() : replies[0].size())) heard = active;
            if (!replied) {
                const qsizetype known = pending.size() - replies[0].size();
                feedTo(known);
                handing = handOn(known - 1);
            } else {
                pending.chop(reply->size());
                feedTo(pending.size());
                asking = false;
                --markers_;
                if (!pending.isEmpty() && pending.back() == PrologixEot) return finish();
                // The adapter gave up waiting for the instrument, which may go on later.
                if (!command("read eoi")) return Outcome::Lost;
                active = clock_.nowMs();
            }
        }
        if (handing != Outcome::Whole) {
            unsynced_ = true;
            return handing;
        }
    }
    unsynced_ = true;
    // No end came: everything received is data, and the sink keeps it.
    return handOn(pending.size()) == Outcome::SinkFailed ? Outcome::SinkFailed : Outcome::TimedOut;
}

std::optional<int> Prologix::poll(int pad, int timeoutMs) {
    if (!address(pad) || !sync(timeoutMs) || !command("spoll")) return std::nullopt;
    // The status byte is the first line that reads as one; a few lines of noise are passed over.
    const qint64 started = clock_.nowMs();
    for (int noise = 0; noise < 8; ++noise) {
        const qint64 left = timeoutMs - (clock_.nowMs() - started);
        if (left <= 0) break;
        const auto l = line(int(left));
        if (!l) return std::nullopt;
        if (const auto byte = PrologixPollByte(*l)) return byte;
    }
    unsynced_ = true;
    return std::nullopt;
}

// A call that could not use the stream. A write that stood still past the call's timeout
// is a timeout; otherwise the adapter is gone (unplugged, switched off, connection reset)
// and could not be opened again.
int Prologix::failed() {
    if (stalled_) return setStatus(ERR | TIMO, EABO, 0);
    return setStatus(ERR, ENEB, 0);
}

int Prologix::readFailed(Outcome outcome, long count) {
    switch (outcome) {
    case Outcome::Whole:
        break;
    case Outcome::TimedOut:
        return setStatus(ERR | TIMO, EABO, count);
    case Outcome::TooLong:
        return setStatus(ERR, EABO, count);
    case Outcome::SinkFailed:
        return setStatus(ERR, EFSO, count);
    case Outcome::Lost:
        return setStatus(ERR, ENEB, count);
    }
    return setStatus(END | CMPL, 0, count);
}

int Prologix::write(Descriptor& u, const QByteArray& data) {
    u.unread.clear(); // a new message makes the instrument drop what it had not sent
    stallMs_ = deadlineMs(u.tmo);
    if (!ready() || !address(u.pad)) return failed();
    if (!data.isEmpty() && !send(PrologixEscaped(data) + "\n")) return failed();
    return setStatus(CMPL, 0, data.size());
}

int Prologix::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    Q_UNUSED(eot);
    Q_UNUSED(eos);
    return addDescriptor(descriptors_, board, pad, sad, tmo);
}

int Prologix::ibpad(int ud, int pad) {
    // What the old address said and was not read is not the new one's answer.
    if (Descriptor* u = descriptor(ud); u && ValidPad(pad) && u->pad != pad) u->unread.clear();
    return changePad(descriptors_, ud, pad);
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
        const int timeout = deadlineMs(u->tmo);
        stallMs_ = timeout;
        if (!ready() || !address(u->pad)) return failed();
        if (!sync(timeout))
            return readFailed(stream_->broken() ? Outcome::Lost : Outcome::TimedOut, 0);
        QByteArray data;
        const Outcome outcome = answer(
            timeout,
            [&](const QByteArray& part) {
                data += part;
                return true;
            },
            options_.maxAnswer);
        if (outcome != Outcome::Whole) return readFailed(outcome, 0);
        if (data.isEmpty()) return setStatus(END | CMPL, 0, 0);
        u->unread = data;
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
    const int adapterWait = options_.adapterReadMs + AdapterSlackMs;
    stallMs_ = limit;
    if (!ready()) return failed();
    const qint64 started = clock_.nowMs();
    while (clock_.nowMs() - started < limit) {
        if (!sync(adapterWait))
            return stream_->broken() ? failed() : setStatus(ERR | TIMO, EABO, 0);
        if (!command("srq")) return failed();
        const auto l = line(adapterWait);
        if (stream_->broken()) return failed();
        if (l && l->trimmed() == "1") return setStatus(CMPL | RQS, 0, 0);
        clock_.sleepMs(SrqPollMs);
    }
    return setStatus(CMPL | TIMO, 0, 0);
}

int Prologix::ibask(int ud, int option, int* value) {
    Descriptor* u = descriptor(ud);
    return askTimeout(u ? &u->tmo : nullptr, option, value);
}

int Prologix::ibtmo(int ud, int v) {
    Descriptor* u = descriptor(ud);
    return changeTimeout(u ? &u->tmo : nullptr, v);
}

int Prologix::ibrsp(int ud, char* spr) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!spr) return setStatus(ERR, EARG, 0);
    stallMs_ = deadlineMs(u->tmo);
    if (!ready()) return failed();
    const auto byte = poll(u->pad, deadlineMs(u->tmo));
    if (!byte) return stream_->broken() ? failed() : setStatus(ERR | TIMO, EABO, 0);
    *spr = static_cast<char>(*byte);
    return setStatus(CMPL, 0, 0);
}

int Prologix::ibclr(int ud) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    u->unread.clear();
    stallMs_ = deadlineMs(u->tmo);
    if (!ready() || !address(u->pad) || !command("clr")) return failed();
    return setStatus(CMPL, 0, 0);
}

int Prologix::ibsre(int ud, int v) {
    Q_UNUSED(ud);
    Q_UNUSED(v);
    // As controller the adapter keeps remote enable asserted.
    stallMs_ = BoardStallMs;
    if (!ready()) return failed();
    return setStatus(CMPL, 0, 0);
}

// The answer goes into the file as it comes, never whole in memory; on a timeout the file
// keeps what arrived.
int Prologix::ibrdf(int ud, const char* fileName) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return setStatus(ERR, EFSO, 0);
    long written = 0;
    const Sink toFile = [&](const QByteArray& part) {
        if (f.write(part) != part.size()) return false;
        written += long(part.size());
        return true;
    };
    Outcome outcome = Outcome::Whole;
    if (!u->unread.isEmpty()) {
        if (!toFile(std::exchange(u->unread, {}))) outcome = Outcome::SinkFailed;
    } else {
        const int timeout = deadlineMs(u->tmo);
        stallMs_ = timeout;
        if (!ready() || !address(u->pad)) return failed();
        outcome = !sync(timeout) ? (stream_->broken() ? Outcome::Lost : Outcome::TimedOut)
                                 : answer(timeout, toFile, options_.maxFileAnswer);
    }
    if (!f.flush() && outcome == Outcome::Whole) outcome = Outcome::SinkFailed;
    return readFailed(outcome, written);
}

int Prologix::ibwrtf(int ud, const char* fileName) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (!fileName) return setStatus(ERR, EARG, 0);
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::ReadOnly)) return setStatus(ERR, EFSO, 0);
    u->unread.clear();
    stallMs_ = deadlineMs(u->tmo);
    if (!ready() || !address(u->pad)) return failed();
    long sent = 0;
    while (!f.atEnd()) {
        const QByteArray piece = f.read(FilePiece);
        if (piece.isEmpty()) {
            // The adapter holds a part of the line: a new connection ends it first.
            stream_.reset();
            return setStatus(ERR, EFSO, sent);
        }
        if (!send(PrologixEscaped(piece) + (f.atEnd() ? "\n" : ""))) return failed();
        sent += long(piece.size());
    }
    return setStatus(CMPL, 0, sent);
}

void Prologix::SendIFC(int board) {
    if (board != 0) {
        setStatus(ERR, ENEB, 0);
        return;
    }
    stallMs_ = BoardStallMs;
    if (!ready() || !command("ifc")) {
        failed();
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
    stallMs_ = BoardStallMs;
    if (!ready()) return void(failed());
    std::vector<Addr4882_t> found;
    bool answering = true;
    if (ar488_) {
        answering = sync(FindListenersMs) && command("fndl all");
        const auto l = answering ? line(FindListenersMs) : std::nullopt;
        for (int a : PrologixListeners(l.value_or(QByteArray())))
            if (wanted.contains(a)) found.push_back(Addr4882_t(a));
    } else {
        // A plain Prologix cannot search: an address that answers a serial poll listens. The
        // adapter's own wait is shortened meanwhile, or each silent address would cost it.
        command("read_tmo_ms " + QByteArray::number(std::max(1, options_.scanPollMs / 2)));
        for (int a : wanted) {
            // An adapter that never falls quiet would make every address cost its wait.
            if (!(answering = sync(options_.scanPollMs))) break;
            if (poll(a, options_.scanPollMs)) found.push_back(Addr4882_t(a));
        }
        command("read_tmo_ms " + QByteArray::number(options_.adapterReadMs));
    }
    if (!stream_ || stream_->broken()) return void(failed());
    if (!answering) return void(setStatus(ERR | TIMO, EABO, 0));
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
    stallMs_ = BoardStallMs;
    if (!ready() || !this->address(pad) || !command("clr")) {
        failed();
        return;
    }
    setStatus(CMPL, 0, 0);
}

} // namespace gpib
