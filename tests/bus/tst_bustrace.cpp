// The bus trace: byte-exact lines for a scripted sequence of calls, every byte visible, and a
// trace that starts and stops without touching what the calls return.
#include "StubDriver.h"
#include "bus/BusTrace.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

using namespace gpib;

namespace {

// Every other read answers, the others time out.
class Scripted : public StubDriver {
public:
    int reads = 0;
    int ibrd(int, void* buf, long) override {
        if (reads++ % 2) return setStatus(ERR | TIMO, EABO, 0);
        std::memcpy(buf, "\x00\xE9+1\r\n", 6);
        return setStatus(END | CMPL, 0, 6);
    }
};

} // namespace

class TestBusTrace : public QObject {
    Q_OBJECT

private slots:
    // A file that cannot be written says so; then a line per call, byte for byte.
    void lines() {
        QTemporaryDir dir;
        const QString path = dir.filePath("trace.txt");
        Scripted inner;
        // Each call starts 7 ms after the one before and lasts 1.234567 ms.
        const QDateTime base(QDate(2024, 5, 1), QTime(9, 30));
        TracedDriver trace(inner,
                           {[base, calls = 0]() mutable { return base.addMSecs(7 * calls++); },
                            [nanos = qint64(0)]() mutable { return nanos += 1234567; }});
        QString error;
        QVERIFY(!trace.start(dir.filePath("none/trace.txt"), &error));
        QVERIFY2(error.startsWith("The bus trace cannot be written to " + dir.filePath("none")),
                 qPrintable(error));
        QVERIFY(trace.start(path, &error));
        const int ud = trace.ibdev(0, 1, 0, 11, 1, 0);
        trace.ibpad(ud, 3);
        // A byte each of the kinds the escaping tells apart.
        const char written[] = {'M', 0, '\r', '\n', '\t', 0x7F, char(0x80), '\\', '"'};
        trace.ibwrt(ud, written, sizeof written);
        char buffer[512];
        trace.ibrd(ud, buffer, sizeof buffer);
        trace.ibrd(ud, buffer, sizeof buffer); // times out
        trace.stop();
        // Off, calls and their results only pass through, and the address is still followed.
        trace.ibpad(ud, 9);
        QCOMPARE(trace.ibrd(ud, buffer, sizeof buffer), END | CMPL);
        QCOMPARE(QByteArray(buffer, trace.ibcntl()), QByteArray("\x00\xE9+1\r\n", 6));
        QVERIFY(trace.start(path, &error)); // a new start appends
        trace.ibclr(ud);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("2024-05-01 09:30:00.000 ibdev board=0 pad=1 sad=0 tmo=11 eot=1 eos=0 "
                            "-> ud=1 ibsta=0x0100 iberr=0 ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.007 ibpad ud=1 pad=3 ibsta=0x0100 iberr=0 "
                            "ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.014 ibwrt ud=1 pad=3 count=9 "
                            "\"M\\x00\\r\\n\\t\\x7F\\x80\\\\\\\"\" ibsta=0x0100 iberr=0 ibcntl=9 "
                            "1.234 ms\n"
                            "2024-05-01 09:30:00.021 ibrd ud=1 pad=3 count=512 "
                            "\"\\x00\\xE9+1\\r\\n\" ibsta=0x2100 iberr=0 ibcntl=6 1.234 ms\n"
                            "2024-05-01 09:30:00.028 ibrd ud=1 pad=3 count=512 \"\" "
                            "ibsta=0xC000 iberr=6 ibcntl=0 1.234 ms\n"
                            "2024-05-01 09:30:00.035 ibclr ud=1 pad=9 ibsta=0x0100 iberr=0 "
                            "ibcntl=0 1.234 ms\n"));
    }
};

QTEST_GUILESS_MAIN(TestBusTrace)
#include "tst_bustrace.moc"
