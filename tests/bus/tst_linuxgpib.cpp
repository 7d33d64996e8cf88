// The linux-gpib back-end over the stand-in libgpib.so.0: choosing the bus, loading the
// library, the status mapping, and the worker thread that keeps the window thread responsive.
#include "TestBench.h"
#include "app/MainForm.h"
#include "app/Program.h"
#include "bus/BusChoice.h"
#include "bus/LinuxGpib.h"
#include "bus/ThreadedDriver.h"
#include "platform/ScriptedPlatform.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace gpib;

namespace {

const QString StandIn = STANDIN_LIBRARY;
const QString WithoutDevClear = NODEVCLEAR_LIBRARY;

} // namespace

class TestLinuxGpib : public QObject {
    Q_OBJECT

private slots:
    // First, while no libgpib.so.0 is loaded and none is on the library path: the whole program
    // shows its box and ends, naming the library and the way to the simulated bench.
    void programWithoutLibrary() {
        if (QLibrary(LinuxGpibLibrary).load()) QSKIP("a libgpib.so.0 is installed here");
        platform::ScriptedPlatform sys;
        sys.answerBox(platform::Answer::Ok, "Initialization Error");
        qputenv("SEQUOR_BUS", "gpib");
        QCOMPARE(RunSequor({"sequor"}), 1);
        QCOMPARE(sys.boxes.size(), 1);
        const QString text = sys.boxes[0].text;
        QVERIFY2(text.contains("libgpib.so.0") && text.contains("SEQUOR_BUS=sim"),
                 qPrintable(text));
    }

    void choice_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind"); // BusChoice::Kind
        QTest::addColumn<int>("board");
        QTest::addColumn<QString>("title");
        using K = BusChoice::Kind;
        auto row = [](const char* t, K k, int b, const char* title) {
            QTest::newRow(t) << QString(t) << int(k) << b << QString(title);
        };
        row("sim", K::Sim, 0, "simulated bench");
        row("sim:/a/b/bench.json", K::SimFile, 0, "simulated bench bench.json");
        row("gpib", K::LinuxGpib, 0, "");
        row("gpib:2", K::LinuxGpib, 2, "linux-gpib board 2");
        row("prologix:/dev/ttyUSB0", K::Prologix, 0, "GPIB adapter /dev/ttyUSB0");
        row("prologix:gpib-lan", K::Prologix, 0, "GPIB adapter gpib-lan:1234");
        row("prologix:10.1.2.3:4000", K::Prologix, 0, "GPIB adapter 10.1.2.3:4000");
        for (const char* wrong : {"gpib:16", "gpib:", "gpib:+1", "gpib:1x", "sim:", "SIM", " gpib",
                                  "prologix:host:0", "prologix::1234", "prologix:"})
            row(wrong, K::Invalid, 0, "");
    }
    void choice() {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(int, board);
        QFETCH(QString, title);
        const BusChoice c = ParseBusChoice(text);
        QCOMPARE(int(c.kind), kind);
        QCOMPARE(c.board, board);
        QCOMPARE(BusTitle(c), title);
        if (c.kind != BusChoice::Kind::Invalid) return;
        QString error;
        QVERIFY(!CreateDriver(c, &error));
        QVERIFY2(error.startsWith("Unknown bus \"" + text + "\".") &&
                     error.contains("gpib:<board>"),
                 qPrintable(error));
    }

    // The environment wins over the per-user store, which wins over linux-gpib board 0.
    void chosenBus() {
        platform::ScriptedPlatform sys;
        qunsetenv("SEQUOR_BUS");
        QCOMPARE(ChosenBusText(), "gpib");
        sys.settings["Sequor/Bus/Interface"] = " gpib:1 ";
        QCOMPARE(ChosenBusText(), "gpib:1");
        qputenv("SEQUOR_BUS", "gpib:3");
        QCOMPARE(ChosenBusText(), "gpib:3");
    }

    // Each way the library can fail gets a message naming what was looked for; none crashes.
    void open_data() {
        QTest::addColumn<QString>("library");
        QTest::addColumn<int>("board");
        QTest::addColumn<QString>("error"); // empty: opens
        QTest::newRow("stand-in") << StandIn << 0 << "";
        QTest::newRow("missing") << "/nonexistent/libgpib.so.0" << 0
                                 << "The linux-gpib library /nonexistent/libgpib.so.0 could not";
        QTest::newRow("lacks DevClear") << WithoutDevClear << 0 << "lacks the function DevClear.";
        QTest::newRow("no board 1") << StandIn << 1 << "No GPIB board answers as board 1 ";
    }
    void open() {
        QFETCH(QString, library);
        QFETCH(int, board);
        QFETCH(QString, error);
        QString message;
        const auto driver = LinuxGpib::open(library, board, &message);
        QCOMPARE(driver == nullptr, !error.isEmpty());
        QVERIFY2(message.contains(error) && (error.isEmpty() || message.contains("SEQUOR_BUS=sim")),
                 qPrintable(message));
    }

    // While a read blocks, the window thread handles its timers; a bus call made from one of
    // them waits for the read, then runs, and each caller sees its own call's status. An
    // answer read into a file replaces what the file held, though linux-gpib appends to it.
    // A bad address is refused before the library sees it, as an argument error.
    void transfers() {
        QString error;
        auto lib = LinuxGpib::open(StandIn, 0, &error);
        QVERIFY2(lib && UseStandInBench(StandIn,
                                        BenchJson(R"({"address": 4, "replies": {"DUMP?": "A;B",
            "SLOW?": {"answer": "late", "delay_ms": 400}}}, {"address": 5})",
                                                  {}, 1.0),
                                        &error),
                 qPrintable(error));
        ThreadedDriver d(std::move(lib));
        const int ud = d.ibdev(0, 4, 0, 12, 1, 0);    // 3 s timeout
        const int other = d.ibdev(0, 6, 0, 12, 1, 0); // nobody listens there
        d.ibwrt(ud, "SLOW?", 5);
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(10);
        QElapsedTimer clock;
        int nestedSta = 0, nestedErr = 0;
        qint64 nestedAt = 0;
        QTimer::singleShot(100, [&] {
            nestedSta = d.ibwrt(other, "X?", 2);
            nestedErr = d.iberr();
            nestedAt = clock.elapsed();
        });
        char buf[16] = {};
        clock.start();
        const int sta = d.ibrd(ud, buf, sizeof buf);
        const qint64 readTook = clock.elapsed();
        QCOMPARE(sta & (ERR | END), END);
        QCOMPARE(d.ibcntl(), 5L);
        QCOMPARE(QByteArray(buf, 5), QByteArray("late\n"));
        QVERIFY2(ticks >= 15, qPrintable(QString::number(ticks)));
        QCOMPARE(nestedSta & ERR, ERR);
        QCOMPARE(nestedErr, ENOL);
        QVERIFY2(nestedAt >= 350 && readTook >= nestedAt,
                 qPrintable(QString("%1 %2").arg(nestedAt).arg(readTook)));
        QTemporaryDir dir;
        QFile file(dir.filePath("x.dat"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("an earlier answer") > 0);
        file.close();
        d.ibwrt(ud, "DUMP?", 5);
        QCOMPARE(d.ibrdf(ud, file.fileName().toLocal8Bit().constData()) & (ERR | END), END);
        QCOMPARE(d.ibcntl(), 4L);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("A;B\n"));
        QCOMPARE(d.ibdev(0, 31, 0, 11, 1, 0), -1);
        QCOMPARE(d.iberr(), EARG);
    }

    // The whole program: the window title names the bus.
    void title() {
        qputenv("SEQUOR_BUS", "sim");
        platform::ScriptedPlatform sys;
        QString shown;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) return void(modal->close());
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<MainForm*>(w) && w->isVisible()) {
                    shown = w->windowTitle();
                    w->close();
                }
        });
        poll.start(50);
        QCOMPARE(RunSequor({"sequor"}), 0);
        QVERIFY2(shown.startsWith("Sequor, v") && shown.endsWith(" - simulated bench"),
                 qPrintable(shown));
    }

    // Only where SEQUOR_TEST_GPIB_BOARD names a real board: the scan finds its instruments.
    void realHardware() {
        if (!qEnvironmentVariableIsSet("SEQUOR_TEST_GPIB_BOARD"))
            QSKIP("SEQUOR_TEST_GPIB_BOARD names no real board");
        const int board = qEnvironmentVariableIntValue("SEQUOR_TEST_GPIB_BOARD");
        QString error;
        auto lib = LinuxGpib::open(LinuxGpibLibrary, board, &error);
        QVERIFY2(lib, qPrintable(error));
        ThreadedDriver driver(std::move(lib));
        bus::Session session(driver);
        bus::Listeners listeners;
        bus::Instrument instrument(session);
        QVERIFY(!listeners.find(driver) && listeners.count() >= 1);
        QVERIFY(!instrument.open(listeners) && instrument.ud() > 0);
    }
};

QTEST_MAIN(TestLinuxGpib)
#include "tst_linuxgpib.moc"
