#include "bus/BusTrace.h"
#include "platform/Platform.h"
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace gpib {

namespace {

QByteArray Number(long long n) {
    return QByteArray::number(n);
}

QByteArray Hex(int value, int digits) {
    return "0x" + QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}

QByteArray Quoted(const void* bytes, long count) {
    if (!bytes || count <= 0) return "\"\"";
    return '"' + TraceEscaped(static_cast<const char*>(bytes), count) + '"';
}

QByteArray QuotedName(const char* fileName) {
    if (!fileName) return "file=null";
    return "file=" + Quoted(fileName, long(qstrlen(fileName)));
}

// yyyy-MM-dd hh:mm:ss.zzz, without the cost of a format string on every call.
QByteArray Stamp(const QDateTime& at) {
    const QDate d = at.date();
    const QTime t = at.time();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.year(), d.month(),
                  d.day(), t.hour(), t.minute(), t.second(), t.msec());
    return QByteArray(text);
}

TraceClock SystemClock() {
    static const QElapsedTimer steady = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    // The local time's offset is looked up once a minute: the C library checks the time zone
    // file on every conversion, which would cost more than the rest of a line.
    const auto now = [] {
        static qint64 minute = -1;
        static qint64 offsetMs = 0;
        const qint64 ms = QDateTime::currentMSecsSinceEpoch();
        if (ms / 60000 != minute) {
            minute = ms / 60000;
            offsetMs = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc() * 1000LL;
        }
        // The wall clock's fields, which are all a line shows.
        return QDateTime::fromMSecsSinceEpoch(ms + offsetMs, Qt::UTC);
    };
    return {now, [] { return steady.nsecsElapsed(); }};
}

} // namespace

QByteArray TraceEscaped(const char* bytes, long count) {
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(count + count / 4);
    for (long i = 0; i < count; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xF];
        }
    }
    return out;
}

QString ChosenTraceFile() {
    if (qEnvironmentVariableIsSet("SEQUOR_TRACE")) return qEnvironmentVariable("SEQUOR_TRACE");
    return platform::Sys().readSetting("Sequor", "Bus", "Trace", "").trimmed();
}

TracedDriver::TracedDriver(Driver& inner, TraceClock clock)
    : inner_(inner), clock_(clock.now && clock.nanos ? std::move(clock) : SystemClock()) {}

TracedDriver::~TracedDriver() = default;

bool TracedDriver::start(const QString& file, QString* error) {
    stop();
    file_.setFileName(file);
    // Unbuffered: each line reaches the operating system as it is written, so the calls
    // before a crash or a hang are in the file.
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) return true;
    if (error)
        *error =
            QString("The bus trace cannot be written to %1:\n%2").arg(file, file_.errorString());
    file_.setFileName(QString());
    return false;
}

void TracedDriver::stop() {
    file_.close();
}

int TracedDriver::pass(int result) {
    setStatus(inner_.ibsta(), inner_.iberr(), inner_.ibcntl());
    return result;
}

TracedDriver::Started TracedDriver::begin() const {
    return {clock_.now(), clock_.nanos()};
}

QByteArray TracedDriver::onDescriptor(int ud) const {
    const auto pad = pads_.find(ud);
    return "ud=" + Number(ud) + " pad=" + (pad == pads_.end() ? "?" : Number(pad->second));
}

void TracedDriver::write(const Started& started, const char* call, const QByteArray& what) {
    // A trace stopped, or started, while the call lasted gets no line of it.
    if (!file_.isOpen() || !started.at.isValid()) return;
    const qint64 micros = (clock_.nanos() - started.nanos) / 1000;
    QByteArray line = Stamp(started.at);
    line.reserve(line.size() + what.size() + 80);
    line += ' ';
    line += call;
    line += ' ';
    line += what;
    line += " ibsta=" + Hex(ibsta(), 4) + " iberr=" + Number(iberr()) +
            " ibcntl=" + Number(ibcntl()) + ' ' + Number(micros / 1000) + '.' +
            Number(micros % 1000).rightJustified(3, '0') + " ms\n";
    file_.write(line);
}

int TracedDriver::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    const Started s = active() ? begin() : Started{};
    const int ud = pass(inner_.ibdev(board, pad, sad, tmo, eot, eos));
    if (ud >= 0 && !(ibsta() & ERR)) pads_[ud] = pad;
    if (active())
        write(s, "ibdev",
              "board=" + Number(board) + " pad=" + Number(pad) + " sad=" + Number(sad) +
                  " tmo=" + Number(tmo) + " eot=" + Number(eot) + " eos=" + Number(eos) +
                  " -> ud=" + Number(ud));
    return ud;
}

int TracedDriver::ibpad(int ud, int pad) {
    const Started s = active() ? begin() : Started{};
    const int sta = pass(inner_.ibpad(ud, pad));
    if (!(sta & ERR)) pads_[ud] = pad;
    if (active()) write(s, "ibpad", "ud=" + Number(ud) + " pad=" + Number(pad));
    return sta;
}

int TracedDriver::ibwrt(int ud, const void* buf, long count) {
    if (!active()) return pass(inner_.ibwrt(ud, buf, count));
    const Started s = begin();
    const int sta = pass(inner_.ibwrt(ud, buf, count));
    write(s, "ibwrt", onDescriptor(ud) + " count=" + Number(count) + ' ' + Quoted(buf, count));
    return sta;
}

int TracedDriver::ibrd(int ud, void* buf, long count) {
    if (!active()) return pass(inner_.ibrd(ud, buf, count));
    const Started s = begin();
    const int sta = pass(inner_.ibrd(ud, buf, count));
    const long got = std::clamp(ibcntl(), 0L, std::max(count, 0L));
    write(s, "ibrd", onDescriptor(ud) + " count=" + Number(count) + ' ' + Quoted(buf, got));
    return sta;
}

int TracedDriver::ibwait(int ud, int mask) {
    if (!active()) return pass(inner_.ibwait(ud, mask));
    const Started s = begin();
    const int sta = pass(inner_.ibwait(ud, mask));
    write(s, "ibwait", onDescriptor(ud) + " mask=" + Hex(mask, 4));
    return sta;
}

int TracedDriver::ibask(int ud, int option, int* value) {
    if (!active()) return pass(inner_.ibask(ud, option, value));
    const Started s = begin();
    const int sta = pass(inner_.ibask(ud, option, value));
    write(s, "ibask",
          onDescriptor(ud) + " option=" + Number(option) +
              (value ? " -> value=" + Number(*value) : QByteArray(" value=null")));
    return sta;
}

int TracedDriver::ibtmo(int ud, int v) {
    if (!active()) return pass(inner_.ibtmo(ud, v));
    const Started s = begin();
    const int sta = pass(inner_.ibtmo(ud, v));
    write(s, "ibtmo", onDescriptor(ud) + " tmo=" + Number(v));
    return sta;
}

int TracedDriver::ibrsp(int ud, char* spr) {
    if (!active()) return pass(inner_.ibrsp(ud, spr));
    const Started s = begin();
    const int sta = pass(inner_.ibrsp(ud, spr));
    write(s, "ibrsp",
          onDescriptor(ud) + (spr ? " -> spr=" + Hex(static_cast<unsigned char>(*spr), 2)
                                  : QByteArray(" spr=null")));
    return sta;
}

int TracedDriver::ibclr(int ud) {
    if (!active()) return pass(inner_.ibclr(ud));
    const Started s = begin();
    const int sta = pass(inner_.ibclr(ud));
    write(s, "ibclr", onDescriptor(ud));
    return sta;
}

int TracedDriver::ibsre(int ud, int v) {
    if (!active()) return pass(inner_.ibsre(ud, v));
    const Started s = begin();
    const int sta = pass(inner_.ibsre(ud, v));
    write(s, "ibsre", "board=" + Number(ud) + " v=" + Number(v));
    return sta;
}

int TracedDriver::ibrdf(int ud, const char* fileName) {
    if (!active()) return pass(inner_.ibrdf(ud, fileName));
    const Started s = begin();
    const int sta = pass(inner_.ibrdf(ud, fileName));
    write(s, "ibrdf", onDescriptor(ud) + ' ' + QuotedName(fileName));
    return sta;
}

int TracedDriver::ibwrtf(int ud, const char* fileName) {
    if (!active()) return pass(inner_.ibwrtf(ud, fileName));
    const Started s = begin();
    const int sta = pass(inner_.ibwrtf(ud, fileName));
    write(s, "ibwrtf", onDescriptor(ud) + ' ' + QuotedName(fileName));
    return sta;
}

void TracedDriver::SendIFC(int board) {
    const Started s = active() ? begin() : Started{};
    inner_.SendIFC(board);
    pass(0);
    if (active()) write(s, "SendIFC", "board=" + Number(board));
}

void TracedDriver::FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList,
                            int limit) {
    const Started s = active() ? begin() : Started{};
    inner_.FindLstn(board, padList, resultList, limit);
    pass(0);
    if (!active()) return;
    // The board's own 0 comes first; the listeners follow it.
    QByteArray found;
    const long n = (ibsta() & ERR) && iberr() != ETAB ? 0 : std::min<long>(ibcntl(), limit);
    for (long i = 1; resultList && i < n; ++i)
        found += (found.isEmpty() ? "" : ",") + Number(resultList[i]);
    write(s, "FindLstn",
          "board=" + Number(board) + " limit=" + Number(limit) +
              " -> found=" + (found.isEmpty() ? QByteArray("none") : found));
}

void TracedDriver::DevClear(int board, Addr4882_t address) {
    const Started s = active() ? begin() : Started{};
    inner_.DevClear(board, address);
    pass(0);
    if (active()) write(s, "DevClear", "board=" + Number(board) + " pad=" + Number(address));
}

} // namespace gpib
