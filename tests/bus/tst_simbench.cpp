// The simulated bench must answer the driver calls the way a bus with instruments does,
// since every other test and the demonstration run on it.
#include "TestBench.h"
#include "bus/Discovery.h"
#include <QtTest>

using namespace gpib;
using Steps = QByteArrayList;

namespace {

const QByteArray Meter = R"({"address": 3, "replies": {"*IDN?": "SIMLAB,M401A,0,1.0",
    "MEAS?": ["+1", "+2"], "BAD?": {"write_error": 6}, "MUTE?": null,
    "SLOW?": {"answer": "slow", "delay_ms": 150}}, "accepts": ["OUT ON", "VSET *"]},
    {"address": 5, "status": "serial-poll", "terminator": "\r\n", "replies": {"ID?": "OLD"}},
    {"address": 8, "delay_ms": 150, "replies": {"SLOW?": "slow"}})";

// A new bench journalling into "j"; timeouts run 1000x faster, so 1 s ends after 1 ms.
std::unique_ptr<SimBus> Bench() {
    QFile::remove("j");
    return SimBus::fromJson(
        R"({"timeout_scale": 0.001, "journal": "j", "instruments": [)" + Meter + "]}", nullptr);
}

// Runs the steps on a new descriptor for address 3 and gives what they showed, joined by
// '|': w<text> writes, r reads one whole answer, p polls, q waits for a service request ("Q" or
// "-"), d<n> clears address n, a<n> re-addresses, t<n> sets the timeout, i clears the interface,
// j takes the journal. A failed step shows "E<iberr>", a timed-out one "T<iberr>".
QByteArray Run(Driver& bus, const Steps& steps) {
    const int ud = bus.ibdev(0, 3, 0, 11, 1, 0);
    QByteArrayList shown;
    for (const QByteArray& s : steps) {
        const QByteArray arg = s.mid(1);
        QByteArray out(4096, ' ');
        const char op = s[0];
        if (op == 'w') bus.ibwrt(ud, arg.constData(), arg.size());
        if (op == 'r' && bus.ibrd(ud, out.data(), out.size()) == (END | CMPL))
            out.resize(bus.ibcntl());
        if (op == 'p' && (bus.ibrsp(ud, out.data()) & CMPL)) out.setNum(uchar(out[0]));
        if (op == 'q') out = (bus.ibwait(ud, TIMO | RQS) & RQS) ? "Q" : "-";
        if (op == 'd') bus.DevClear(0, Addr4882_t(arg.toInt()));
        if (op == 'a') bus.ibpad(ud, arg.toInt());
        if (op == 't') bus.ibtmo(ud, arg.toInt());
        if (op == 'i') bus.SendIFC(0);
        if (op == 'j') out = JournalText("j").toLatin1();
        if ((bus.ibsta() & ERR) && op != 'j')
            shown << (bus.ibsta() & TIMO ? "T" : "E") + QByteArray::number(bus.iberr());
        else if (QByteArray("rpqj").contains(op))
            shown << out;
    }
    return shown.join('|');
}

} // namespace

class TestSimBench : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && QDir::setCurrent(dir.path())); }

    void steps_data() {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QByteArray>("shown");
        auto row = [](const char* name, const Steps& steps, const char* shown) {
            QTest::newRow(name) << steps << QByteArray(shown);
        };
        // IEEE 488.2: a request is raised once, when an enabled bit newly sets.
        row("ESB", {"w*ESE 32", "w*SRE 32", "wX", "q", "p", "p", "w*STB?", "r"}, "Q|96|32|96\n");
        row("not enabled, *ESR?",
            {"wX", "w*STB?", "r", "w*ESE 32", "q", "p", "w*ESR?", "r", "w*ESR?", "r"},
            "0\n|-|32|32\n|0\n");
        row("MAV", {"w*SRE 16", "w*IDN?", "q", "p", "p"}, "Q|80|16");
        row("both", {"wDESE 32", "w*ESE 32", "w*SRE 48", "w*idn?", "wX", "p", "p"}, "112|48");
        row("*CLS", {"w*ESE 32", "w*SRE 48", "w*IDN?", "wX", "w*CLS", "q", "p", "r"}, "-|0|T6");
        row("accepts", {"w*ESE 32", "w*SRE 32", "wOUT ON", "wVSET 1.5", "p", "wVSET", "p"}, "0|96");
        row("serial poll", {"a5", "w*ESE 32", "p", "p", "wID?", "wBAD", "p", "p", "r"},
            "97|0|113|16|OLD\r\n");
        row("device clear", {"a5", "wID?", "wBAD", "d5", "p", "r", "d4", "a4", "wX"}, "0|T6|E2|E2");
        row("answers",
            {"wMEAS?", "r", "wMEAS?", "wOUT ON", "r", "wmeas?\r\n", "r", "wMEAS?", "w*IDN?", "r"},
            "+1\n|+2\n|+2\n|SIMLAB,M401A,0,1.0\n");
        row("nothing to read, delay",
            {"wbad?\n", "wMUTE?", "r", "t13", "wSLOW?", "r", "t17", "r", "wSLOW?", "p", "r"},
            "E6|T6|T6|slow\n|0|slow\n");
        row("instrument delay", {"a8", "t13", "wSLOW?", "p", "r", "t17", "r"}, "0|T6|slow\n");
        // Failed writes and timed-out reads leave no line.
        row("journal",
            {"wMEAS?\n", "r", QByteArray("wA\\B\0\xff\t\r", 8), "wbad?", "p", "r", "d3", "i", "a4",
             "wX", "j"},
            "+1\n|E6|0|T6|E2|"
            "3 W MEAS?\\n\n3 R +1\\n\n3 W A\\\\B\\x00\\xFF\\x09\\r\n3 P 0\n3 C\n0 I\n");
    }
    void steps() {
        QFETCH(Steps, steps);
        auto bus = Bench();
        QVERIFY(bus);
        QTEST(Run(*bus, steps), "shown");
    }

    // The back-end comes from SEQUOR_BUS; a bench file's errors name the file.
    void driverChoice_data() {
        QTest::addColumn<QByteArray>("instruments");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("variable");
        auto row = [](const char* name, const QByteArray& instruments, const char* error,
                      const char* variable = "sim:") {
            QTest::newRow(name) << instruments << QString(error) << QByteArray(variable);
        };
        row("other", {}, "No GPIB driver was found on this computer.", "ni");
        row("built in", {}, "", "sim");
        row("file", Meter, "");
        row("unreadable", {}, "cannot be read");
        row("malformed", "\n{\"address\": \"3}", "line 3: ");
        row("no address", "{\"address\": 1}, {}", "instrument 2 has no address");
        row("address 31", "{\"address\": 31}", "1: address 31 is outside 1..30");
        row("twice", "{\"address\": 3}, {\"address\": 3}", "2: address 3 is used twice");
        row("status", R"({"address": 3, "status": "scpi"})", "1: unknown status model \"scpi\"");
        row("reply", R"({"address": 3, "replies": {"A?": 5}})", "is not a string, list, object");
        row("not a byte", R"({"address": 3, "replies": {"A?": "\u20ac"}})", "is not a byte");
        row("typo", R"({"address": 3, "reply": {}})", "1: unknown key \"reply\"");
    }
    void driverChoice() {
        QFETCH(QByteArray, instruments);
        QFETCH(QString, error);
        QFETCH(QByteArray, variable);
        QFile file(QTest::currentDataTag() + QString(".json"));
        if (!instruments.isEmpty() && file.open(QIODevice::WriteOnly))
            file.write("{\n\"instruments\": [" + instruments + "]}");
        file.close();
        const QString prefix = variable == "sim:" ? "Bench file " + file.fileName() + ": " : "";
        const QByteArray saved = qgetenv("SEQUOR_BUS");
        qputenv("SEQUOR_BUS", variable == "sim:" ? variable + file.fileName().toUtf8() : variable);
        QString message;
        auto driver = CreateDriverFromEnvironment(&message);
        qputenv("SEQUOR_BUS", saved);
        if (!error.isEmpty())
            QVERIFY2(!driver && message.startsWith(prefix) && message.contains(error),
                     qPrintable(message));
        else // the bench is the one asked for: only the file's has an instrument at 5
            QCOMPARE(driver ? Run(*driver, {"a5", "t9", "wID?", "r"}) : message.toUtf8(),
                     variable == "sim" ? "E2|T6" : "OLD\r\n");
    }

    void builtInBench() {
        auto bus = SimBus::builtIn();
        gpib::SetBus(bus.get());
        FindListeners();
        gpib::SetBus(nullptr);
        QCOMPARE(QList<int>(ListenerList.begin(), ListenerList.begin() + 5),
                 (QList<int>{4, 3, 7, 9, 12}));
        QVERIFY(Run(*bus, {"w*IDN?\n", "r"}).startsWith("SIMLAB,"));
        QList<double> v, t;
        for (int i = 0; i < 120; ++i) { // both queries read one slowly drifting input
            const QByteArray volt = Run(*bus, {i % 2 ? "wMEAS?\n" : "wMEAS:VOLT:DC?\n", "r"});
            QVERIFY2(volt.size() == 16 && volt.endsWith("VDC\n") && volt[2] == '.', volt.data());
            v << volt.chopped(4).toDouble();
            QVERIFY(i == 0 || qAbs(v[i] - v[i - 1]) < 0.01);
            t << Run(*bus, {"a12", "wTEMP?", "r"}).toDouble();
        }
        const auto peak = std::max_element(t.begin(), t.end()) - t.begin();
        QVERIFY(t.first() == 21.5 && peak > 5 && peak < 100 && t.last() < t[peak] - 3);
        // The old meter knows no IEEE 488.2 and sends a long dump; the relay never answers.
        const QByteArrayList old =
            Run(*bus, {"a7", "wID?", "r", "w*IDN?", "p", "wDUMP?", "r"}).split('|');
        QVERIFY(old[0].endsWith("\r\n") && old[1] == "97" && old[2].size() > 512);
        QCOMPARE(Run(*bus, {"a9", "t5", "wOUT ON", "wVSET 5.0", "wOUT?", "p", "r"}), "0|T6");
    }
};

QTEST_GUILESS_MAIN(TestSimBench)
#include "tst_simbench.moc"
