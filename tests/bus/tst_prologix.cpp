// The Prologix/AR488 back-end: the protocol's pieces by table, its deadlines over a scripted
// adapter at processor speed, and whole transfers through a fake adapter over the simulated
// bench, on a pseudo-terminal (plain Prologix) and on a loopback TCP port (AR488).
#include "FormFixture.h"
#include "ScriptedStream.h"
#include "bus/BusChoice.h"
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace gpib;
using platform::Answer;

namespace {

const QByteArray Instruments = R"({"address": 3, "replies": {
        "*IDN?": "SIMLAB,M401A,0,1.0", "DUMP?": "LONG"}, "accepts": ["OUT *", "DATA *"]},
    {"address": 5, "terminator": "", "replies": {"BLOCK?": "#16AB\nCDEF\n", "RAW?": "RAW"}},
    {"address": 7, "status": "serial-poll", "terminator": "\r\n", "replies": {"ID?": "OLD"}},
    {"address": 22, "replies": {"*IDN?": "X"}})";

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
// (terminal) or "ar488" (TCP) in front of a bench with the given instruments.
struct Rig {
    explicit Rig(const QByteArray& kind, const QByteArray& instruments = Instruments,
                 const std::function<void(Prologix::Options&)>& adjust = nullptr,
                 const QString& journal = {}) {
        bench = SimBus::fromJson(BenchJson(instruments, journal), nullptr);
        const bool ar488 = kind == "ar488";
        fake = std::make_unique<FakeAdapter>(
            *bench, ar488 ? FakeAdapter::Kind::Ar488 : FakeAdapter::Kind::Prologix,
            ar488 ? FakeAdapter::Transport::Tcp : FakeAdapter::Transport::Pty);
        Prologix::Options options = AdapterOptions(bench->timeoutScale());
        if (adjust) adjust(options);
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

// The client over a scripted adapter, started, with a descriptor at 3 of 10 s timeout. The
// script, when given, is what a new stream's adapter says without being asked.
struct Scripted {
    explicit Scripted(bool answersVersion = true,
                      std::function<void(ScriptedStream&)> script = nullptr) {
        Prologix::Options options;
        options.clock = &clock;
        adapter = std::make_unique<Prologix>(
            [this, answersVersion, script] {
                auto s = std::make_unique<ScriptedStream>(clock);
                if (answersVersion) s->version = Version;
                if (script) script(*s);
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

    void escaping_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("all four") << QByteArray("a\rb\nc\x1b"
                                                "d+e")
                                  << QByteArray("a\x1b\rb\x1b\nc\x1b\x1b"
                                                "d\x1b+e");
        QTest::newRow("command-like") << QByteArray("++addr 5") << QByteArray("\x1b+\x1b+addr 5");
        QTest::newRow("NUL and high") << QByteArray("\0\xff", 2) << QByteArray("\0\xff", 2);
    }
    void escaping() {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, sent);
        QCOMPARE(PrologixEscaped(data), sent);
    }

    void parsing_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("poll"); // -1: not a poll byte
        QTest::addColumn<QList<int>>("listeners");
        QTest::newRow("16") << QByteArray("16") << 16 << QList<int>{16};
        QTest::newRow("list") << QByteArray("22,3, 9") << -1 << QList<int>{3, 9, 22};
        QTest::newRow("out of range") << QByteArray("256") << -1 << QList<int>{};
        QTest::newRow("0 and 31") << QByteArray("0,31,5,5") << -1 << QList<int>{5};
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
    void unreachable_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing port") << "prologix:/dev/nonexistent-tty"
                                      << "The GPIB adapter /dev/nonexistent-tty cannot be reached.";
        QTest::newRow("nobody there") << "prologix:127.0.0.1:1"
                                      << "The GPIB adapter 127.0.0.1:1 cannot be reached.";
    }
    void unreachable() {
        QFETCH(QString, choice);
        QFETCH(QString, error);
        QString message;
        QVERIFY(!CreateDriver(ParseBusChoice(choice), &message));
        QVERIFY2(message.startsWith(error) && message.contains("SEQUOR_BUS=sim"),
                 qPrintable(message));
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
        const QByteArray all = AllBytes();
        QTest::newRow("block of every byte")
            << QList<qint64>{0, 5} << QByteArrayList{"#3256" + all.left(5), all.mid(5) + eot} << END
            << "#3256" + all << 5LL;
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
        Scripted s(false, [answersAt](ScriptedStream& stream) {
            if (answersAt >= 0) stream.say(answersAt, Version + "\r\n");
        });
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
        row("line end, no eot yet", {"12\n"}, V::More);
        row("eot inside", {"A" + e + "B"}, V::More);
        row("eot after other data", {"12" + e}, V::Ask);
        row("eot bytes inside a block", {"#15" + e + e, e + e + e}, V::More);
        row("eot right after a block", {"#1", "5", "\n\n\n\n\n" + e}, V::End);
        row("block cut short", {"#3100AB\n" + e}, V::More);
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

    // The bus-wide calls. The listener search: AR488 asks once, a plain Prologix polls every
    // address with the adapter's own wait shortened, and puts it back. A command error raises
    // a service request, seen on the SRQ line and in the poll byte; a poll where nobody is
    // times out.
    void busWide_data() { AddKinds(); }
    void busWide() {
        QFETCH(QByteArray, kind);
        Rig rig(kind);
        QVERIFY2(rig.driver, qPrintable(rig.error));
        bus::Listeners found;
        QVERIFY(!found.find(*rig.driver));
        QCOMPARE(QList<int>(found.list().begin(), found.list().begin() + 5),
                 (QList<int>{4, 3, 5, 7, 22}));
        const QByteArray commands = rig.fake->commands();
        QCOMPARE(commands.contains("fndl all"), kind == "ar488");
        QCOMPARE(commands.count("spoll"), kind == "ar488" ? 0 : 30);
        if (kind == "prologix") // the fake takes the last command in its own time
            QTRY_VERIFY(rig.fake->commands().trimmed().endsWith("read_tmo_ms 20") &&
                        commands.contains("read_tmo_ms 50\n"));
        Driver& d = *rig.driver;
        const int ud = d.ibdev(0, 3, 0, 10, 1, 0);
        for (const char* c : {"*ESE 32", "*SRE 32"})
            d.ibwrt(ud, c, qstrlen(c));
        QCOMPARE(d.ibwait(ud, TIMO | RQS) & (RQS | TIMO), TIMO);
        d.ibwrt(ud, "BOGUS", 5);
        QCOMPARE(d.ibwait(ud, TIMO | RQS) & (RQS | TIMO), RQS);
        char poll = 0;
        QCOMPARE(d.ibrsp(ud, &poll) & ERR, 0);
        QCOMPARE(int(uchar(poll)), 96);
        d.ibpad(ud, 9);
        QCOMPARE(d.ibrsp(ud, &poll), ERR | TIMO);
    }

    // Data passes byte for byte, the four special bytes and NUL included, from memory and
    // from a file. An answer over the read's limit is an error, never a cut answer passed as
    // whole; into a file it goes whole, however long, and the next answer is not confused
    // with its rest. An answer read into a file replaces what the file held.
    void transfers_data() { AddKinds(); }
    void transfers() {
        QFETCH(QByteArray, kind);
        const QString journal = dir.filePath(kind + ".journal");
        Rig rig(
            kind, QByteArray(Instruments).replace("LONG", QByteArray(3000, 'x')),
            [](Prologix::Options& o) { o.maxAnswer = 1000; }, journal);
        QVERIFY2(rig.driver, qPrintable(rig.error));
        Driver& d = *rig.driver;
        const int ud = d.ibdev(0, 3, 0, 11, 1, 0);
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
        QCOMPARE(d.ibcntl(), 3001L);
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
    }

    // Answers arrive whole whatever they hold and however the instrument pauses: shorter
    // than the adapter's own wait (20 ms), or so long that the adapter gives up and reads on.
    void wholeAnswers_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("pauseMs");
        for (const char* kind : {"prologix", "ar488"})
            for (int pause : {10, 300})
                QTest::addRow("%s, %d ms pause", kind, pause) << QByteArray(kind) << pause;
    }
    void wholeAnswers() {
        QFETCH(QByteArray, kind);
        QByteArray raw; // every byte value, as a JSON string
        for (int b = 0; b < 256; ++b)
            raw += QString::asprintf("\\u%04x", b).toLatin1();
        Rig rig(kind, QByteArray(Instruments).replace("\"RAW\"", '"' + raw + '"'));
        QVERIFY2(rig.driver, qPrintable(rig.error));
        QFETCH(int, pauseMs);
        rig.fake->answerPauseMs = pauseMs;
        const int ud = rig.driver->ibdev(0, 5, 0, 11, 1, 0);
        QByteArray block, all;
        QCOMPARE(rig.query(ud, "BLOCK?", &block) & (ERR | END), END);
        QCOMPARE(block, QByteArray("#16AB\nCDEF\n"));
        QCOMPARE(rig.query(ud, "RAW?", &all) & (ERR | END), END);
        QCOMPARE(all, AllBytes());
    }

    // The adapter stops taking bytes in the middle of a 4 MB file: for 3.3 s, within the
    // descriptor's 10 s, the file goes whole; for 600 ms, past its 300 ms, the write fails as
    // a timeout, and the next call takes the adapter up again.
    void stalledDrain_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("stallMs");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("sta");
        for (const char* kind : {"prologix", "ar488"}) {
            QTest::addRow("%s, within", kind) << QByteArray(kind) << 3300 << 13 << CMPL;
            QTest::addRow("%s, past", kind) << QByteArray(kind) << 600 << 10 << (ERR | TIMO);
        }
    }
    void stalledDrain() {
        QFETCH(QByteArray, kind);
        QFETCH(int, timeout);
        Rig rig(kind, Instruments, [](Prologix::Options& o) {
            o.timeoutScale = 1;
            o.minDeadlineMs = 100;
        });
        QVERIFY2(rig.driver, qPrintable(rig.error));
        QFile file(dir.filePath("big.dat"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("DATA ") == 5 &&
                file.write(QByteArray(4 << 20, 'x')) == 4 << 20);
        file.close();
        const int ud = rig.driver->ibdev(0, 3, 0, timeout, 1, 0);
        QFETCH(int, stallMs);
        rig.fake->stallMs = stallMs;
        QTEST(rig.driver->ibwrtf(ud, file.fileName().toLocal8Bit().constData()), "sta");
        QVERIFY(rig.inStep(ud));
    }

    // A port that disappears fails the call that finds it gone and every call while it stays
    // away; once it is back, the next call opens it again and works.
    void comesBack_data() { AddKinds(); }
    void comesBack() {
        QFETCH(QByteArray, kind);
        Rig rig(kind);
        QVERIFY2(rig.driver, qPrintable(rig.error));
        const int ud = rig.driver->ibdev(0, 3, 0, 11, 1, 0);
        rig.fake->readsLeft = 1;
        rig.fake->backAfterMs = 500;
        QByteArray answer;
        QCOMPARE(rig.query(ud, "*IDN?", &answer), ERR);
        QCOMPARE(rig.driver->iberr(), ENEB);
        QCOMPARE(rig.driver->ibwrt(ud, "*IDN?", 5), ERR);
        QCOMPARE(rig.driver->iberr(), ENEB);
        QTest::qWait(700);
        QVERIFY(rig.inStep(ud));
        QCOMPARE(rig.fake->commands().count("ver\n"), 2);
    }

    // The adapter vanishes in the middle of a run: the user gets the driver's boxes, Cancel
    // ends the program, and the rows logged before stay in the file.
    void vanishes_data() { AddKinds(); }
    void vanishes() {
        QFETCH(QByteArray, kind);
        qputenv("SEQUOR_TEST_BACKEND", kind);
        FormFixture f(BenchJson(R"({"address": 3, "replies": {"MEAS?": ["+1", "+2", "+3"]}})"));
        qunsetenv("SEQUOR_TEST_BACKEND");
        QVERIFY(f.start());
        const qint64 ms = f.RunUntilBusLost(dir.path(), kind + ".csv", [&] {
            f.bench.adapter()->readsLeft = 3; // the third read of the run finds no adapter
        });
        QVERIFY(ms >= 0 && ms < 20000);
        QCOMPARE(f.sys.boxes.last().text,
                 QString("Non-existent GPIB board.\nSelect OK to continue or Cancel to "
                         "terminate program."));
        QFile log(dir.filePath(kind + ".csv"));
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
