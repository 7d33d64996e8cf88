// The bus access layer and discovery against the simulated bench, with the windows' boxes
// scripted.
#include "StubDriver.h"
#include "TestBench.h"
#include "bus/BusAccess.h"
#include "platform/ScriptedPlatform.h"
#include "widgets/BusErrorBoxes.h"
#include <QtTest>
#include <cstring>
#include <ctime>
#include <optional>

using platform::Answer;

static const QStringList IconNames{"none", "critical", "question", "warning", "information"};
static const QStringList ButtonNames{"OK", "OK Cancel", "Yes No", "Yes No Cancel"};

class TestBusAccess : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::optional<platform::ScriptedPlatform> sys;
    std::optional<BenchGuard> bench;

    // On a bench with an instrument at each address that answers Q? with the reply's bytes as
    // they are, journalling into a file named after the row: scans, opens the descriptor and
    // sends Q?; every box gets the answer. Shows what the query gave ("ended": the program
    // ended), the number of reads and each box as "title (icon, buttons): text", joined by '|'.
    QString run(const QList<int>& addresses, const QByteArray& reply, Answer answer = Answer::Ok) {
        QByteArrayList list;
        for (int a : addresses)
            list << "{\"address\": " + QByteArray::number(a) +
                        R"(, "terminator": "", "replies": {"Q?": )" + reply + "}}";
        bench.emplace(BenchJson(list.join(", "), QTest::currentDataTag()));
        sys.emplace().answerBox(answer);
        QStringList shown{"ended"};
        try {
            ctl::ShowBusError(bench->open());
            shown[0] = ctl::AnswerOf(bench->instrument().query("Q?"));
        } catch (const platform::ProgramEnded&) {
        }
        shown << QString::number(JournalText(QTest::currentDataTag()).count(" R "));
        for (const auto& b : sys->boxes)
            shown << QString("%1 (%2, %3): %4")
                         .arg(b.title, IconNames[int(b.icon)], ButtonNames[int(b.buttons)], b.text);
        return shown.join('|');
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && QDir::setCurrent(dir.path())); }

    // Q? to an instrument at 5.
    void query_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("shown");
        auto row = [](const char* name, QByteArray reply, QString shown, Answer a = Answer::Ok) {
            QTest::newRow(name) << reply << int(a) << shown;
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
        row("write, no board", R"({"write_error": 7})", err.arg("7", "Non-existent GPIB board."));
        row("write, Cancel", R"({"write_error": 14})", "ended" + err.arg("14", "GPIB bus eror."),
            Answer::Cancel);
    }
    void query() {
        QFETCH(QByteArray, reply);
        QFETCH(int, answer);
        if (reply.contains("write_error") && !BusReportsWriteErrors())
            QSKIP("this bus cannot report a failed write");
        QTEST(run({5}, reply, Answer(answer)), "shown");
        // The descriptor's own 3 s timeout is back.
        int code = 0;
        QVERIFY(sys->ended ||
                (bench->bus()->ibask(bench->instrument().ud(), gpib::IbaTMO, &code) && code == 12));
    }

    // The scan and the descriptor: listeners ascending, each polled once, the first one addressed.
    void discovery_data() {
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QString>("shown");
        const QList<int> fourteen{30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17};
        const QString box = "ended|0|Initialization Error %1 (critical, OK): %2\n\n"
                            "Correct problem and restart.";
        QTest::newRow("none") << QList<int>{} << box.arg("14", "No listeners found.");
        QTest::newRow("14, out of order") << fourteen << "1|1";
        const QString tooMany =
            box.arg("20", "Too many listeners found.\nMax 14 listeners allowed.");
        QTest::newRow("15") << fourteen + QList<int>{1} << tooMany;
    }
    void discovery() {
        QFETCH(QList<int>, present);
        QTEST(run(present, R"("1")"), "shown");
        QList<int> listeners = sys->ended ? QList<int>{} : present; // the same, ascending
        std::sort(listeners.begin(), listeners.end());
        const auto& list = bench->listeners.list();
        QCOMPARE(QList<int>(list.begin(), list.end()),
                 QList<int>{int(listeners.size())} + listeners + QList<int>(14 - listeners.size()));
        QString polls;
        for (int a = 0; a <= 31; ++a) {
            QCOMPARE(bench->listeners.contains(a), listeners.contains(a));
            if (listeners.contains(a)) polls += QString("%1 P 0\n").arg(a);
        }
        QVERIFY(JournalText(QTest::currentDataTag()).startsWith("0 I\n" + polls)); // then the query
    }

    // A descriptor that was never opened, or that the driver refused, is no descriptor: no call
    // reaches the board, and its box ends the program.
    void missingDescriptor_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("query") << "query";
        QTest::newRow("send to an address") << "send";
        QTest::newRow("driver refuses the descriptor") << "find";
    }
    void missingDescriptor() {
        QFETCH(QString, action);
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
        const bus::Error error = action == "query"  ? instrument.query("Q?").error
                                 : action == "send" ? instrument.sendTo(5, "X")
                                                    : instrument.open(bus::Listeners());
        QCOMPARE(error.kind, bus::Error::Kind::NotConfigured);
        platform::ScriptedPlatform sys;
        sys.answerBox(platform::Answer::Ok, "Device Error");
        QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, ctl::ShowBusError(error));
        QCOMPARE(sys.boxes.size(), 1);
        QCOMPARE(sys.boxes[0].text,
                 QString("Device not configured.\n\nCorrect problem and restart."));
        QCOMPARE(refusing.calls, 0);
    }

    // A talker of `length` bytes, 512 a chunk, END with the last one; the run's Stop raised
    // after `stopAt` chunks. An answer over the cap is a failed read, never a cut one passed
    // as whole; a stop ends the read at once.
    void longAnswer_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("stopAt"); // 0: never
        QTest::addColumn<int>("size");   // of the answer
        QTest::addColumn<int>("reads");
        QTest::addColumn<int>("error");
        using K = bus::Error::Kind;
        QTest::newRow("the cap, whole") << MaxAnswerBytes << 0 << MaxAnswerBytes << 2048 << 0;
        QTest::newRow("a byte over") << MaxAnswerBytes + 1 << 0 << 0 << 2048 << int(K::ReadFailed);
        QTest::newRow("stopped") << 4096 << 3 << 0 << 3 << int(K::Stopped);
    }
    void longAnswer() {
        QFETCH(int, length);
        QFETCH(int, stopAt);
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
        talker.left = length;
        talker.stopAt = stopAt;
        bus::Session session(talker);
        bus::Instrument instrument(session);
        QVERIFY(!instrument.open(bus::Listeners()));
        const bus::Reply reply = instrument.read(&talker.stop);
        QTEST(int(reply.text.size()), "size");
        QTEST(talker.reads, "reads");
        QTEST(int(reply.error.kind), "error");
    }

    // It returns after its time, handles a queued event meanwhile, and sleeps rather than spins.
    void waitSeconds() {
        bool handled = false;
        QTimer::singleShot(50, this, [&] { handled = true; });
        const std::clock_t cpu = std::clock();
        const QDeadlineTimer early(400), late(1500);
        WaitSeconds(0.4f);
        QVERIFY(handled && early.hasExpired() && !late.hasExpired() &&
                std::clock() - cpu < CLOCKS_PER_SEC / 5);
    }
};

QTEST_MAIN(TestBusAccess)
#include "tst_busaccess.moc"
