// The simulated bench must answer the driver calls the way a bus with instruments does,
// since every other test and the demonstration run on it.
#include "TestBench.h"
#include "bus/BusChoice.h"
#include <QtTest>

using namespace gpib;
using namespace Qt::StringLiterals;

static const QByteArray Meter = R"({"address": 3, "replies": {"*IDN?": "SIMLAB,M401A,0,1.0",
    "MEAS?": ["+1", "+2"], "BAD?": {"write_error": 6}, "MUTE?": null,
    "SLOW?": {"answer": "slow", "delay_ms": 150}}, "accepts": ["OUT ON", "VSET *"]},
    {"address": 5, "status": "serial-poll", "terminator": "\r\n", "replies": {"ID?": "OLD"}},
    {"address": 8, "delay_ms": 150, "replies": {"SLOW?": "slow"}})";

// Runs the steps (split at ';') on a new descriptor for address 3 and gives what they showed,
// joined by '|': w<text> writes, r reads one whole answer, p polls, q waits for a service
// request ("Q" or "-"), d<n> clears address n, a<n> re-addresses, t<n> sets the timeout, i
// clears the interface, j takes the journal. A failed step shows "E<iberr>", a timed-out one
// "T<iberr>".
static QByteArray Run(Driver& bus, const QByteArray& steps) {
    const int ud = bus.ibdev(0, 3, 0, 11, 1, 0);
    QByteArrayList shown;
    for (const QByteArray& s : steps.split(';')) {
        QByteArray out(4096, ' ');
        const char op = s[0];
        if (op == 'w') bus.ibwrt(ud, s.constData() + 1, s.size() - 1);
        if (op == 'r' && bus.ibrd(ud, out.data(), out.size()) == (END | CMPL))
            out.resize(bus.ibcntl());
        if (op == 'p' && (bus.ibrsp(ud, out.data()) & CMPL)) out.setNum(uchar(out[0]));
        if (op == 'q') out = (bus.ibwait(ud, TIMO | RQS) & RQS) ? "Q" : "-";
        if (op == 'd') bus.DevClear(0, Addr4882_t(s.mid(1).toInt()));
        if (op == 'a') bus.ibpad(ud, s.mid(1).toInt());
        if (op == 't') bus.ibtmo(ud, s.mid(1).toInt());
        if (op == 'i') bus.SendIFC(0);
        if (op == 'j') out = JournalText("j").toLatin1();
        if ((bus.ibsta() & ERR) && op != 'j')
            shown << (bus.ibsta() & TIMO ? "T" : "E") + QByteArray::number(bus.iberr());
        else if (QByteArray("rpqj").contains(op))
            shown << out;
    }
    return shown.join('|');
}

class TestSimBench : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && QDir::setCurrent(dir.path())); }

    // The back-end named by SEQUOR_BUS runs the steps; a bench file ("sim:" and its name, with
    // timeouts 1000x faster) that fails to load is named in the error.
    void bench_data() {
        QTest::addColumn<QByteArray>("env"); // SEQUOR_BUS
        QTest::addColumn<QByteArray>("steps");
        QTest::addColumn<QByteArray>("result"); // what the steps showed, or part of the error
        auto row = [](const char* name, const QByteArray& steps, const char* result,
                      const QByteArray& instruments = Meter, QByteArray env = "sim:") {
            QFile file(name + QString(".json"));
            if (!instruments.isEmpty() && file.open(QIODevice::WriteOnly))
                file.write(BenchJson(instruments, "j"));
            if (env == "sim:") env += file.fileName().toUtf8();
            QTest::newRow(name) << env << steps << QByteArray(result);
        };
        // IEEE 488.2: a request is raised once, when an enabled bit newly sets.
        row("ESB", "w*ESE 32;w*SRE 32;wOUT ON;wVSET 1.5;p;wVSET;q;p;p;w*STB?;r", "0|Q|96|32|96\n");
        row("*ESR?", "wX;w*STB?;r;w*ESE 32;q;p;w*ESR?;r;w*ESR?;r", "0\n|-|32|32\n|0\n");
        row("MAV", "w*SRE 16;w*IDN?;q;p;p", "Q|80|16");
        row("*CLS", "w*ESE 32;w*SRE 48;w*IDN?;wX;w*CLS;q;p;r", "-|0|T6");
        row("serial poll", "a5;w*ESE 32;p;p;wID?;wBAD;p;p;r", "97|0|113|16|OLD\r\n");
        row("device clear", "a5;wID?;wBAD;d5;p;r;d4;a4;wX;a31", "0|T6|E2|E2|E4");
        row("answers", "wMEAS?;r;wMEAS?;wOUT ON;r;wmeas?\r\n;r;wMEAS?;w*IDN?;r",
            "+1\n|+2\n|+2\n|SIMLAB,M401A,0,1.0\n");
        // The reply's, then the instrument's delay: a short timeout gives up, a long one waits.
        row("delay", "wbad?\n;wMUTE?;r;t13;wSLOW?;r;t17;r;wSLOW?;p;r;a8;t13;wSLOW?;p;r;t17;r",
            "E6|T6|T6|slow\n|0|slow\n|0|T6|slow\n");
        // Failed writes and timed-out reads leave no line.
        row("journal", "wMEAS?\n;r;wA\\B\0\xff\t\r;wbad?;p;r;d3;i;a4;wX;j"_ba,
            "+1\n|E6|0|T6|E2|3 W MEAS?\\n\n3 R +1\\n\n"
            "3 W A\\\\B\\x00\\xFF\\x09\\r\n3 P 0\n3 C\n0 I\n");
        row("built in", "a5;wID?", "E2", {}, "sim"); // it has no instrument at 5
        row("unreadable", "", "cannot be read", {});
        row("malformed", "", "line 2: ", "\n{\"address\": \"3}");
        row("typo", "", "1: unknown key \"reply\"", R"({"address": 3, "reply": {}})");
    }
    void bench() {
        QFETCH(QByteArray, env);
        QFETCH(QByteArray, steps);
        QFETCH(QByteArray, result);
        QFile::remove("j");
        qputenv("SEQUOR_BUS", env);
        QString message;
        auto driver = CreateDriverFromEnvironment(&message);
        const QByteArray out = driver ? Run(*driver, steps) : message.toUtf8();
        const QByteArray file = env.contains(':') ? "Bench file " + env.mid(4) + ": " : "";
        QVERIFY2(driver ? out == result : out.startsWith(file) && out.contains(result), out);
    }

    // The timeout codes run from 1 (10 us) to 17 (1000 s); others have no time.
    void timeoutCodes() {
        QCOMPARE(QList<double>({TimeoutSeconds(0), TimeoutSeconds(13), TimeoutSeconds(17),
                                TimeoutSeconds(18)}),
                 QList<double>({-1, 10, 1000, -1}));
    }
};

QTEST_GUILESS_MAIN(TestSimBench)
#include "tst_simbench.moc"
