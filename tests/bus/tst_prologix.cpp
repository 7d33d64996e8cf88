// The Prologix/AR488 back-end: the protocol's pieces by table, its deadlines over a scripted
// adapter at processor speed, and whole transfers through a fake adapter over the simulated
// bench, on a pseudo-terminal (plain Prologix) and on a loopback TCP port (AR488).
#include "FormFixture.h"
#include "ScriptedStream.h"
#include "TestBench.h"
#include "bus/BusChoice.h"
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace gpib;

namespace {

// The meter at 3 has a 3000-byte dump; RAW? at 5 answers every byte value.
QByteArray Instruments() {
    QByteArray raw;
    for (int b = 0; b < 256; ++b)
        raw += QString::asprintf("\\u%04x", b).toLatin1();
    return R"({"address": 3, "replies": {"*IDN?": "SIMLAB,M401A,0,1.0", "DUMP?": ")" +
           QByteArray(3000, 'x') + R"("}, "accepts": ["OUT *", "DATA *"]},
        {"address": 5, "terminator": "", "replies": {"BLOCK?": "#16AB\nCDEF\n", "RAW?": ")" +
           raw + R"("}},
        {"address": 7, "status": "serial-poll", "terminator": "\r\n", "replies": {"ID?": "OLD"}},
        {"address": 22, "replies": {"*IDN?": "X"}})";
}

const QByteArray Version = "Prologix GPIB-USB Controller version 6.107";

// The whole answer to what was last sent, chunk by chunk; the status of the last chunk.
int ReadWhole(Driver& d, int ud, QByteArray* answer) {
    char buffer[512];
    int sta = 0;
    do {
        sta = d.ibrd(ud, buffer, sizeof buffer);
        if (!(sta & ERR)) *answer += QByteArray(buffer, d.ibcntl());
    } while (!(sta & (ERR | END)));
    return sta;
}

// The adapter back-end behind its worker, over a fake adapter of the row's kind: "prologix"
// (terminal) or "ar488" (TCP) in front of a bench with the instruments above. Its timeouts
// are in real time, and an answer over 1000 bytes is too long.
struct Rig {
    explicit Rig(const QByteArray& kind, const QString& journal = {}) {
        bench = SimBus::fromJson(BenchJson(Instruments(), journal), nullptr);
        const bool ar488 = kind == "ar488";
        fake = std::make_unique<FakeAdapter>(
            *bench, ar488 ? FakeAdapter::Kind::Ar488 : FakeAdapter::Kind::Prologix,
            ar488 ? FakeAdapter::Transport::Tcp : FakeAdapter::Transport::Pty);
        Prologix::Options options = AdapterOptions(bench->timeoutScale());
        options.maxAnswer = 1000;
        options.timeoutScale = 1;
        options.minDeadlineMs = 100;
        driver = OverAdapter(*fake, options, &error);
    }
    int query(int ud, const QByteArray& text, QByteArray* answer) {
        driver->ibwrt(ud, text.constData(), text.size());
        return ReadWhole(*driver, ud, answer);
    }
    // The meter at the descriptor's address answers *IDN? whole: the client is in step.
    bool inStep(int ud) {
        QByteArray answer;
        return (query(ud, "*IDN?", &answer) & (ERR | END)) == END &&
               answer == "SIMLAB,M401A,0,1.0\n";
    }
    std::unique_ptr<SimBus> bench;
    std::unique_ptr<FakeAdapter> fake;
    std::unique_ptr<Driver> driver;
    QString error;
};

void AddKinds() {
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("Prologix on a terminal") << QByteArray("prologix");
    QTest::newRow("AR488 on TCP") << QByteArray("ar488");
}

// The client over a scripted adapter that says its version at that time (0: when asked,
// -1: never),
// started, with a descriptor at 3 of 10 s timeout.
struct Scripted {
    explicit Scripted(qint64 versionAt = 0) {
        Prologix::Options options;
        options.clock = &clock;
        adapter = std::make_unique<Prologix>(
            [this, versionAt] {
                auto s = std::make_unique<ScriptedStream>(clock);
                if (versionAt == 0) s->version = Version; // answers every ++ver
                if (versionAt > 0) s->say(versionAt, Version + "\r\n");
                stream = s.get();
                return s;
            },
            "scripted", options);
        started = adapter->start(&error);
        ud = adapter->ibdev(0, 3, 0, 13, 1, 0);
        clock.now = 0;
    }
    ScriptedClock clock;
    ScriptedStream* stream = nullptr;
    std::unique_ptr<Prologix> adapter;
    bool started = false;
    QString error;
    int ud = 0;
};

QByteArray AllBytes() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    return all;
}

} // namespace

class TestPrologix : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && QDir::setCurrent(dir.path())); }

    void escaping() {
        QCOMPARE(PrologixEscaped(QByteArray("a\rb\nc\x1b"
                                            "d+e\0\xff",
                                            11)),
                 QByteArray("a\x1b\rb\x1b\nc\x1b\x1b"
                            "d\x1b+e\0\xff",
                            15));
    }

    void parsing_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("poll"); // -1: not a poll byte
        QTest::addColumn<QList<int>>("listeners");
        QTest::newRow("16") << QByteArray("16") << 16 << QList<int>{16};
        QTest::newRow("list") << QByteArray("22,3, 9,0,31,9") << -1 << QList<int>{3, 9, 22};
        QTest::newRow("out of range") << QByteArray("256") << -1 << QList<int>{};
        QTest::newRow("text") << QByteArray("Prologix") << -1 << QList<int>{};
    }
    void parsing() {
        QFETCH(QByteArray, line);
        QFETCH(int, poll);
        QFETCH(QList<int>, listeners);
        QCOMPARE(PrologixPollByte(line).value_or(-1), poll);
        QCOMPARE(PrologixListeners(line), listeners);
    }

    // What cannot be reached is named in the box, with the way to the simulated bench.
    void unreachable() {
        for (const QString target : {"/dev/nonexistent-tty", "127.0.0.1:1"}) {
            QString message;
            QVERIFY(!CreateDriver(ParseBusChoice("prologix:" + target), &message));
            QVERIFY2(message.startsWith("The GPIB adapter " + target + " cannot be reached.") &&
                         message.contains("SEQUOR_BUS=sim"),
                     qPrintable(message));
        }
    }

    // Deadlines in scripted time, where seconds cost nothing: the adapter's pieces (at a time
    // in ms, what it says), then a read with the descriptor's 10 s timeout. No pause shorter
    // than the timeout cuts an answer; the eot byte inside a block or in the middle is data.
    void deadlines_data() {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<int>("sta");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<qint64>("tookMs");
        const QByteArray eot(1, PrologixEot);
        QTest::newRow("9.9 s pause")
            << QList<qint64>{0, 9900} << QByteArrayList{"#16AB\n", "CDEF\n" + eot} << END
            << QByteArray("#16AB\nCDEF\n") << 9900LL;
        QTest::newRow("10.5 s pause")
            << QList<qint64>{0, 10500} << QByteArrayList{"#16AB\n", "CDEF\n" + eot} << (ERR | TIMO)
            << QByteArray() << 10000LL;
        QTest::newRow("eot byte last of a piece")
            << QList<qint64>{0, 3000} << QByteArrayList{"AB" + eot, "CD" + eot} << END
            << "AB" + eot + "CD" << 3000LL;
        QTest::newRow("eot byte last of the answer")
            << QList<qint64>{0} << QByteArrayList{"AB" + eot + eot} << END << "AB" + eot << 0LL;
    }
    void deadlines() {
        QFETCH(QList<qint64>, times);
        QFETCH(QByteArrayList, pieces);
        Scripted s;
        QVERIFY(s.started);
        for (int i = 0; i < pieces.size(); ++i)
            s.stream->answer(times[i], pieces[i]);
        QByteArray answer;
        QTEST(ReadWhole(*s.adapter, s.ud, &answer) & (ERR | TIMO | END), "sta");
        QTEST(answer, "answer");
        QTEST(s.clock.now, "tookMs");
    }

    // An adapter that never answers ++ver is given up at the deadline, after one request
    // per wait of its own; one that answers late (a board that resets when its port opens)
    // is taken, and set up to mark the end of every answer.
    void versionDeadline_data() {
        QTest::addColumn<qint64>("answersAt"); // -1: never
        QTest::addColumn<bool>("starts");
        QTest::addColumn<int>("requests");
        QTest::newRow("after 2.5 s") << 2500LL << true << 5;
        QTest::newRow("never") << -1LL << false << 17;
    }
    void versionDeadline() {
        QFETCH(qint64, answersAt);
        Scripted s(answersAt);
        QTEST(s.started, "starts");
        QTEST(int(s.stream->written.count("++ver\n")), "requests");
        const QByteArray setup = "++ver\n++mode 1\n++auto 0\n++eoi 1\n++eos 3\n++eot_enable 1\n"
                                 "++eot_char 4\n++read_tmo_ms 500\n++eot_char\n";
        QVERIFY2(s.started ? s.stream->written.endsWith(setup)
                           : s.error.contains("did not answer ++ver within 10 s") &&
                                 s.error.contains("SEQUOR_BUS=sim"),
                 qPrintable(s.error + s.stream->written));
    }

    // The end of an answer by table: the pieces as they come, the verdict after the last.
    void answerEnd_data() {
        using V = PrologixAnswerEnd::Verdict;
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<int>("verdict");
        const QByteArray e(1, PrologixEot);
        const auto row = [](const char* name, QByteArrayList pieces, V v) {
            QTest::newRow(name) << pieces << int(v);
        };
        row("line end, eot", {"12\n" + e}, V::End);
        row("eot inside", {"A" + e + "B"}, V::More);
        row("eot after other data", {"12" + e}, V::Ask);
        row("eot bytes inside a block", {"#15" + e + e, e + e + e}, V::More);
        row("eot right after a block", {"#1", "5", "\n\n\n\n\n" + e}, V::End);
        row("indefinite block", {"#0AB" + e + "\n" + e}, V::End);
        row("hash, no block", {"#A" + e}, V::Ask);
    }
    void answerEnd() {
        QFETCH(QByteArrayList, pieces);
        PrologixAnswerEnd end;
        auto verdict = PrologixAnswerEnd::Verdict::More;
        for (const QByteArray& piece : pieces)
            verdict = end.feed(piece);
        QTEST(int(verdict), "verdict");
    }

    // A session over a fake adapter. Data passes byte for byte, the four special bytes and NUL
    // included, from memory and from a file. An answer over the read's limit is an error, never
    // a cut answer passed as whole; into a file it goes whole and replaces what the file held.
    // Answers arrive whole whatever they hold, even when the instrument pauses past the
    // adapter's own wait. A 4 MB file goes whole through a stall within the timeout; past it
    // the write fails as a timeout. A port that disappears fails every call while it is away;
    // once it is back, the next call opens it again and works. Then the bus-wide calls.
    void session_data() { AddKinds(); }
    void session() {
        QFETCH(QByteArray, kind);
        const QString journal = dir.filePath(kind + ".journal");
        Rig rig(kind, journal);
        QVERIFY2(rig.driver, qPrintable(rig.error));
        Driver& d = *rig.driver;
        const int ud = d.ibdev(0, 3, 0, 13, 1, 0);
        const QByteArray data("OUT a\rb\nc\x1b"
                              "d+e\0f",
                              15);
        QCOMPARE(d.ibwrt(ud, data.constData(), data.size()), CMPL);
        QCOMPARE(d.ibcntl(), 15L);
        QByteArray answer;
        QCOMPARE(rig.query(ud, "DUMP?", &answer), ERR);
        QCOMPARE(d.iberr(), EABO);
        QFile file(dir.filePath(kind + ".dat"));
        const QByteArray path = file.fileName().toLocal8Bit();
        d.ibwrt(ud, "DUMP?", 5);
        QCOMPARE(d.ibrdf(ud, path.constData()), END | CMPL);
        QCOMPARE(file.size(), 3001);
        d.ibwrt(ud, "*IDN?", 5);
        QCOMPARE(d.ibrdf(ud, path.constData()), END | CMPL);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.readAll(), QByteArray("SIMLAB,M401A,0,1.0\n"));
        QVERIFY(file.resize(0) && file.write("OUT +1\r\n") == 8);
        file.close();
        QCOMPARE(d.ibwrtf(ud, path.constData()), CMPL);
        QCOMPARE(JournalText(journal).section('\n', 0, 0),
                 QString("3 W OUT a\\rb\\nc\\x1Bd+e\\x00f"));
        // The fake adapter passes the last line on in its own time.
        QTRY_VERIFY(JournalText(journal).endsWith("3 W OUT +1\\r\\n\n"));

        rig.fake->answerPauseMs = 300;
        const int old = d.ibdev(0, 5, 0, 13, 1, 0);
        QByteArray block, all;
        QCOMPARE(rig.query(old, "BLOCK?", &block) & (ERR | END), END);
        QCOMPARE(block, QByteArray("#16AB\nCDEF\n"));
        QCOMPARE(rig.query(old, "RAW?", &all) & (ERR | END), END);
        QCOMPARE(all, AllBytes());
        rig.fake->answerPauseMs = 0;

        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("DATA ") == 5 &&
                file.write(QByteArray(4 << 20, 'x')) == 4 << 20);
        file.close();
        rig.fake->stallMs = 3300;
        QCOMPARE(d.ibwrtf(ud, path.constData()), CMPL);
        d.ibtmo(ud, 10); // 300 ms
        rig.fake->stallMs = 600;
        QCOMPARE(d.ibwrtf(ud, path.constData()), ERR | TIMO);
        QVERIFY(rig.inStep(ud));

        d.ibtmo(ud, 13);
        const qsizetype opened = rig.fake->commands().count("ver\n");
        rig.fake->readsLeft = 1;
        rig.fake->backAfterMs = 500;
        QCOMPARE(rig.query(ud, "*IDN?", &answer), ERR);
        QCOMPARE(d.iberr(), ENEB);
        QCOMPARE(d.ibwrt(ud, "*IDN?", 5), ERR);
        QCOMPARE(d.iberr(), ENEB);
        QTest::qWait(700);
        QVERIFY(rig.inStep(ud));
        QCOMPARE(rig.fake->commands().count("ver\n"), opened + 1);

        // The listener search: AR488 asks once, a plain Prologix polls every address with the
        // adapter's own wait shortened, and puts it back. A command error raises a service
        // request, seen on the SRQ line and in the poll byte; a poll where nobody is times out.
        const qsizetype before = rig.fake->commands().size();
        bus::Listeners found;
        QVERIFY(!found.find(d));
        QCOMPARE(QList<int>(found.list().begin(), found.list().begin() + 5),
                 (QList<int>{4, 3, 5, 7, 22}));
        const QByteArray commands = rig.fake->commands().mid(before);
        QCOMPARE(commands.contains("fndl all"), kind == "ar488");
        QCOMPARE(commands.count("spoll"), kind == "ar488" ? 0 : 30);
        if (kind == "prologix") // the fake takes the last command in its own time
            QTRY_VERIFY(rig.fake->commands().trimmed().endsWith("read_tmo_ms 20") &&
                        commands.contains("read_tmo_ms 50\n"));
        d.ibtmo(ud, 10);
        for (const char* c : {"*ESE 32", "*SRE 32"})
            d.ibwrt(ud, c, qstrlen(c));
        QCOMPARE(d.ibwait(ud, TIMO | RQS) & (RQS | TIMO), TIMO);
        d.ibwrt(ud, "BOGUS", 5);
        QCOMPARE(d.ibwait(ud, TIMO | RQS) & (RQS | TIMO), RQS);
        char poll = 0;
        QCOMPARE(d.ibrsp(ud, &poll) & ERR, 0);
        QCOMPARE(int(uchar(poll)), 96);
        QCOMPARE(d.ibrsp(d.ibdev(0, 9, 0, 10, 1, 0), &poll), ERR | TIMO);
    }

    // The whole program when the adapter goes in the middle of a run: the error boxes come,
    // Cancel ends the program, and every row measured so far is in the log.
    void vanishes() {
        qputenv("SEQUOR_TEST_BACKEND", "prologix");
        FormFixture f(BenchJson(R"({"address": 3, "replies": {"MEAS?": ["+1", "+2", "+3"]}})"));
        qunsetenv("SEQUOR_TEST_BACKEND");
        QVERIFY(f.start());
        const qint64 ms = f.RunUntilBusLost(dir.path(), "lost.csv", [&] {
            f.bench.adapter()->readsLeft = 3; // the third read of the run finds no adapter
        });
        QVERIFY(ms >= 0 && ms < 20000);
        QFile log(dir.filePath("lost.csv"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("sep=;\r\nSequence;Measured\r\n1;+1\r\n2;+2\r\n3;\r\n"));
    }

    // Only where SEQUOR_TEST_ADAPTER names a real adapter (e.g. prologix:/dev/ttyUSB0).
    void realAdapter() {
        const QString choice = qEnvironmentVariable("SEQUOR_TEST_ADAPTER");
        if (choice.isEmpty()) QSKIP("SEQUOR_TEST_ADAPTER names no real adapter");
        QString error;
        auto driver = CreateDriver(ParseBusChoice(choice), &error);
        QVERIFY2(driver, qPrintable(error));
        bus::Listeners found;
        QVERIFY(!found.find(*driver) && found.count() >= 1);
    }
};

QTEST_MAIN(TestPrologix)
#include "tst_prologix.moc"
