// The bus trace: byte-exact lines for a scripted sequence of calls, every byte visible, and a
// trace that starts and stops without touching what the calls return.
#include "StubDriver.h"
#include "bus/BusTrace.h"
#include "platform/ScriptedPlatform.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

using namespace gpib;

namespace {

// Answers each read with the next scripted answer, then times out; a serial poll gives 0xC1
// and the listener search finds 3 and 7.
class Scripted : public StubDriver {
public:
    QList<QByteArray> answers;
    int ibrd(int, void* buf, long count) override {
        if (answers.isEmpty()) return setStatus(ERR | TIMO, EABO, 0);
        const QByteArray a = answers.takeFirst();
        const long n = std::min<long>(count, a.size());
        std::memcpy(buf, a.constData(), size_t(n));
        return setStatus(END | CMPL, 0, n);
    }
    int ibrsp(int, char* spr) override {
        *spr = char(0xC1);
        return ok();
    }
    void FindLstn(int, const Addr4882_t*, Addr4882_t* result, int limit) override {
        setListeners({3, 7}, result, limit);
    }
};

// Each call starts 7 ms after the one before and lasts 1.234567 ms.
TraceClock ScriptedClock() {
    auto calls = std::make_shared<int>(0);
    auto nanos = std::make_shared<qint64>(0);
    const QDateTime base(QDate(2024, 5, 1), QTime(9, 30));
    return {[=] { return base.addMSecs(7 * (*calls)++); },
            [=] { return std::exchange(*nanos, *nanos + 1234567); }};
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// Undoes TraceEscaped, so that a test can tell that nothing was lost or made ambiguous.
QByteArray Unescaped(const QByteArray& text) {
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x') {
            out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
    }
    return out;
}

} // namespace

class TestBusTrace : public QObject {
    Q_OBJECT

private slots:
    // Every byte comes back from its text, and the text holds printable ASCII only.
    void everyByteVisible() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        const QByteArray text = TraceEscaped(all.constData(), long(all.size()));
        for (char c : text)
            QVERIFY(c >= 0x20 && c < 0x7F);
        QCOMPARE(Unescaped(text), all);
    }

    void lines() {
        QTemporaryDir dir;
        const QString path = dir.filePath("trace.txt");
        Scripted inner;
        inner.answers = {QByteArray("\x00\xE9+1\r\n", 6)};
        TracedDriver trace(inner, ScriptedClock());
        QString error;
        QVERIFY(trace.start(path, &error));
        const int ud = trace.ibdev(0, 1, 0, 11, 1, 0);
        trace.ibpad(ud, 3);
        const char written[] = {'M', 0, '\r', '\n', char(0xFF), char(0x80), '\\', '"'};
        trace.ibwrt(ud, written, sizeof written);
        char buffer[512];
        trace.ibrd(ud, buffer, sizeof buffer);
        trace.ibrd(ud, buffer, sizeof buffer); // times out
        QCOMPARE(trace.ibsta(), ERR | TIMO);
        QCOMPARE(trace.iberr(), EABO);
        char spr = 0;
        trace.ibrsp(ud, &spr);
        int code = 0;
        trace.ibask(ud, IbaTMO, &code);
        Addr4882_t pads[] = {3, 5, 7, NOADDR}, found[15] = {};
        trace.FindLstn(0, pads, found, 15);
        trace.DevClear(0, 7);
        trace.ibwrtf(ud, "/tmp/a \"b\".dat");
        trace.stop();
        trace.ibwrt(ud, "lost", 4);         // after the stop: no line
        QVERIFY(trace.start(path, &error)); // a new start appends
        trace.ibclr(ud);
        QCOMPARE(FileBytes(path),
                 QByteArray("2024-05-01 09:30:00.000 ibdev board=0 pad=1 sad=0 tmo=11 eot=1 eos=0 "
                            "-> ud=1 ibsta=0x0100 iberr=0 ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.007 ibpad ud=1 pad=3 ibsta=0x0100 iberr=0 "
                            "ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.014 ibwrt ud=1 pad=3 count=8 "
                            "\"M\\x00\\r\\n\\xFF\\x80\\\\\\\"\" ibsta=0x0100 iberr=0 ibcntl=8 "
                            "1.234 ms\n"
                            "2024-05-01 09:30:00.021 ibrd ud=1 pad=3 count=512 "
                            "\"\\x00\\xE9+1\\r\\n\" ibsta=0x2100 iberr=0 ibcntl=6 1.234 ms\n"
                            "2024-05-01 09:30:00.028 ibrd ud=1 pad=3 count=512 \"\" "
                            "ibsta=0xC000 iberr=6 ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.035 ibrsp ud=1 pad=3 -> spr=0xC1 ibsta=0x0100 "
                            "iberr=0 ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.042 ibask ud=1 pad=3 option=3 -> value=11 "
                            "ibsta=0x0100 iberr=0 ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.049 FindLstn board=0 limit=15 -> found=3,7 "
                            "ibsta=0x0100 iberr=0 ibcntl=3 1.234 ms\n"
                            "2024-05-01 09:30:00.056 DevClear board=0 pad=7 ibsta=0x0100 "
                            "iberr=0 ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.063 ibwrtf ud=1 pad=3 "
                            "file=\"/tmp/a \\\"b\\\".dat\" ibsta=0x0100 iberr=0 ibcntl=0 "
                            "1.234 ms\n"
                            "2024-05-01 09:30:00.070 ibclr ud=1 pad=3 ibsta=0x0100 iberr=0 "
                            "ibcntl=0 1.234 ms\n"));
    }

    // Off, the layer only passes calls and their status on; the address it keeps meanwhile is
    // the one a trace started later names.
    void offPassesThrough() {
        QTemporaryDir dir;
        Scripted inner;
        inner.answers = {"12\n"};
        TracedDriver trace(inner, ScriptedClock());
        const int ud = trace.ibdev(0, 1, 0, 11, 1, 0);
        trace.ibpad(ud, 9);
        char buffer[8];
        QCOMPARE(trace.ibrd(ud, buffer, sizeof buffer), END | CMPL);
        QCOMPARE(trace.ibcntl(), 3L);
        QCOMPARE(QByteArray(buffer, 3), QByteArray("12\n"));
        QVERIFY(!trace.active());
        QString error;
        QVERIFY(trace.start(dir.filePath("t"), &error));
        trace.ibclr(ud);
        QVERIFY(FileBytes(dir.filePath("t")).contains(" ibclr ud=1 pad=9 "));
    }

    void unwritable() {
        Scripted inner;
        TracedDriver trace(inner);
        QString error;
        QVERIFY(!trace.start("/nonexistent-folder/trace.txt", &error));
        QVERIFY2(
            error.startsWith("The bus trace cannot be written to /nonexistent-folder/trace.txt"),
            qPrintable(error));
        QVERIFY(!trace.active());
    }

    // The environment wins over the per-user store; neither: no trace.
    void chosen_data() {
        QTest::addColumn<QByteArray>("env"); // "-": unset
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("nothing") << QByteArray("-") << ""
                                 << "";
        QTest::newRow("store") << QByteArray("-") << " /tmp/t.txt "
                               << "/tmp/t.txt";
        QTest::newRow("both") << QByteArray("/tmp/e.txt") << "/tmp/s.txt"
                              << "/tmp/e.txt";
    }
    void chosen() {
        QFETCH(QByteArray, env);
        QFETCH(QString, stored);
        QFETCH(QString, chosen);
        platform::ScriptedPlatform sys;
        if (!stored.isEmpty()) sys.settings["Sequor/Bus/Trace"] = stored;
        if (env == "-")
            qunsetenv("SEQUOR_TRACE");
        else
            qputenv("SEQUOR_TRACE", env);
        QCOMPARE(ChosenTraceFile(), chosen);
    }
};

QTEST_GUILESS_MAIN(TestBusTrace)
#include "tst_bustrace.moc"
