// The bus access layer and discovery against the simulated bench, with the windows' boxes
// scripted.
#include "StubDriver.h"
#include "TestBench.h"
#include "bus/BusAccess.h"
#include "platform/ScriptedPlatform.h"
#include "widgets/BusErrorBoxes.h"
#include <QtTest>
#include <cstring>

using platform::Answer;

static const QStringList IconNames{"none", "critical", "question", "warning", "information"};
static const QStringList ButtonNames{"OK", "OK Cancel", "Yes No", "Yes No Cancel"};

class TestBusAccess : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && QDir::setCurrent(dir.path())); }

    // Q? after the scan, to an instrument at 5 unless the row says where there are some. The
    // scan and the descriptor: listeners ascending, each polled once, the first one addressed.
    void query_data() {
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("shown");
        auto row = [](const char* name, QByteArray reply, QString shown, Answer a = Answer::Ok,
                      QList<int> present = {5}) {
            QTest::newRow(name) << present << reply << int(a) << shown;
        };
        const QByteArray big = QByteArray(700, 'A') + '\0' + QByteArray(599, 'B');
        const QString err = "|0|GPIB ERROR # %1 (warning, OK Cancel): %2\nSelect OK to continue "
                            "or Cancel to terminate program.";
        row("CR LF", R"("12\r\n")", "12|1");
        row("spaces, tabs, four LF keep one", R"("  \t12\n\n\n\n ")", "\t12\n|1");
        row("LF and one byte", R"(" \nA ")", "|1"); // the byte after a line end goes too
        row("chunks of 512, NUL kept", '"' + QByteArray(big).replace('\0', "\\u0000") + '"',
            QString::fromLatin1(big) + "|3");
        row("timeout", "null", "|0|I/O Error (warning, OK): Read cycle failed\nOperation aborted.");
        row("write, OK", R"({"write_error": 6})", err.arg("6", "I/O operation aborted - timeout."));
        row("write, Cancel", R"({"write_error": 14})", "ended" + err.arg("14", "GPIB bus eror."),
            Answer::Cancel);
        const QList<int> fourteen{30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17};
        const QString box = "ended|0|Initialization Error %1 (critical, OK): %2\n\n"
                            "Correct problem and restart.";
        row("none", R"("1")", box.arg("14", "No listeners found."), Answer::Ok, {});
        row("14, out of order", R"("1")", "1|1", Answer::Ok, fourteen);
        row("15", R"("1")", box.arg("20", "Too many listeners found.\nMax 14 listeners allowed."),
            Answer::Ok, fourteen + QList<int>{1});
    }
    // On a bench with an instrument at each address that answers Q? with the reply's bytes as
    // they are, journalling into a file named after the row: scans, opens the descriptor and
    // sends Q?; every box gets the answer. Shows what the query gave ("ended": the program
    // ended), the number of reads and each box as "title (icon, buttons): text", joined by '|'.
    void query() {
        QFETCH(QList<int>, present);
        QFETCH(QByteArray, reply);
        if (reply.contains("write_error") && !BusReportsWriteErrors())
            QSKIP("this bus cannot report a failed write");
        QByteArrayList list;
        for (int a : present)
            list << "{\"address\": " + QByteArray::number(a) +
                        R"(, "terminator": "", "replies": {"Q?": )" + reply + "}}";
        const QString journal = QTest::currentDataTag();
        BenchGuard bench(BenchJson(list.join(", "), journal));
        platform::ScriptedPlatform sys;
        QFETCH(int, answer);
        sys.answerBox(Answer(answer));
        QStringList shown{"ended"};
        try {
            ctl::ShowBusError(bench.open());
            shown[0] = ctl::AnswerOf(bench.instrument().query("Q?"));
        } catch (const platform::ProgramEnded&) {
        }
        shown << QString::number(JournalText(journal).count(" R "));
        for (const auto& b : sys.boxes)
            shown << QString("%1 (%2, %3): %4")
                         .arg(b.title, IconNames[int(b.icon)], ButtonNames[int(b.buttons)], b.text);
        QTEST(shown.join('|'), "shown");
        // The descriptor's own 3 s timeout is back.
        int code = 0;
        QVERIFY(sys.ended ||
                (bench.bus()->ibask(bench.instrument().ud(), gpib::IbaTMO, &code) && code == 12));
        QList<int> listeners = present.size() <= 14 ? present : QList<int>{}; // ascending
        std::sort(listeners.begin(), listeners.end());
        const auto& found = bench.listeners.list();
        QCOMPARE(QList<int>(found.begin(), found.end()),
                 QList<int>{int(listeners.size())} + listeners + QList<int>(14 - listeners.size()));
        QString polls;
        for (int a = 0; a <= 31; ++a) {
            QCOMPARE(bench.listeners.contains(a), listeners.contains(a));
            if (listeners.contains(a)) polls += QString("%1 P 0\n").arg(a);
        }
        QVERIFY(JournalText(journal).startsWith("0 I\n" + polls)); // then the query
    }

    // A descriptor that was never opened, or that the driver refused, is no descriptor: no call
    // reaches the board, and its box ends the program.
    void missingDescriptor() {
        struct Refusing : StubDriver {
            int calls = 0;
            int ibdev(int, int, int, int, int, int) override {
                setStatus(gpib::ERR, gpib::ENEB, 0);
                return -1;
            }
            int ibpad(int, int) override { return ++calls, ok(); }
        } refusing;
        bus::Session session(refusing);
        bus::Instrument instrument(session);
        const bus::Error errors[] = {instrument.query("Q?").error, instrument.sendTo(5, "X"),
                                     instrument.open(bus::Listeners())};
        for (const bus::Error& error : errors)
            QCOMPARE(error.kind, bus::Error::Kind::NotConfigured);
        QCOMPARE(refusing.calls, 0);
        platform::ScriptedPlatform sys;
        sys.answerBox(platform::Answer::Ok, "Device Error");
        QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, ctl::ShowBusError(errors[0]));
        QCOMPARE(sys.boxes.size(), 1);
        QCOMPARE(sys.boxes[0].text,
                 QString("Device not configured.\n\nCorrect problem and restart."));
    }

    // A talker of `length` bytes, 512 a chunk, END with the last one; the run's Stop raised
    // after `stopAt` chunks (0: never). An answer over the cap is a failed read, never a cut
    // one passed as whole; a stop ends the read at once.
    void longAnswer_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("stopAt");
        QTest::addColumn<int>("reads");
        QTest::addColumn<int>("error");
        using K = bus::Error::Kind;
        QTest::newRow("the cap, whole") << MaxAnswerBytes << 0 << 2048 << 0;
        QTest::newRow("a byte over") << MaxAnswerBytes + 1 << 0 << 2048 << int(K::ReadFailed);
        QTest::newRow("stopped") << 4096 << 3 << 3 << int(K::Stopped);
    }
    void longAnswer() {
        struct Talker : StubDriver {
            int left = 0, reads = 0, stopAt = 0;
            bool stop = false;
            int ibrd(int, void* buf, long count) override {
                const int n = int(std::min<long>(count, left));
                std::memset(buf, 'A', size_t(n));
                left -= n;
                stop = ++reads == stopAt;
                return setStatus((left == 0 ? gpib::END : 0) | gpib::CMPL, 0, n);
            }
        } talker;
        QFETCH(int, length);
        talker.left = length;
        QFETCH(int, stopAt);
        talker.stopAt = stopAt;
        bus::Session session(talker);
        bus::Instrument instrument(session);
        QVERIFY(!instrument.open(bus::Listeners()));
        const bus::Reply reply = instrument.read(&talker.stop);
        QTEST(talker.reads, "reads");
        QTEST(int(reply.error.kind), "error");
        QCOMPARE(reply.text.size(), reply.error ? 0 : length);
    }
};

QTEST_MAIN(TestBusAccess)
#include "tst_busaccess.moc"
