// The Prologix/AR488 back-end: the protocol's pieces by table, its deadlines over a scripted
// adapter at processor speed, and whole sessions through a fake adapter over the simulated
// bench, on a pseudo-terminal (plain Prologix) and on a loopback TCP port (AR488).
#include "ScriptedStream.h"
#include "TestBench.h"
#include <QTemporaryDir>
#include <QTest>

using namespace gpib;

// Sends the text, then reads the whole answer chunk by chunk; the status of the last chunk.
static int Query(Driver& d, int ud, const QByteArray& text, QByteArray* answer) {
    d.ibwrt(ud, text.constData(), text.size());
    int sta = 0;
    *answer += WholeAnswer(d, ud, 512, &sta);
    return sta;
}

// The client over a scripted adapter, started, with a descriptor at 3 of 10 s timeout.
struct Scripted {
    Scripted() {
        Prologix::Options options;
        options.clock = &clock;
        adapter = std::make_unique<Prologix>(
            [this] {
                auto s = std::make_unique<ScriptedStream>(clock);
                s->version = "Prologix GPIB-USB Controller version 6.107";
                stream = s.get();
                return s;
            },
            "scripted", options);
        ud = adapter->start(nullptr) ? adapter->ibdev(0, 3, 0, 13, 1, 0) : -1;
        clock.now = 0;
    }
    ScriptedClock clock;
    ScriptedStream* stream = nullptr;
    std::unique_ptr<Prologix> adapter;
    int ud = -1; // -1: the client did not start
};

class TestPrologix : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && QDir::setCurrent(dir.path())); }

    // Deadlines in scripted time, where seconds cost nothing: the adapter's pieces (at a time
    // in ms, what it says), then a read with the descriptor's 10 s timeout. No pause shorter
    // than the timeout cuts an answer, though the adapter's own wait runs out in it; the eot
    // byte inside a block or in the middle is data.
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
        QVERIFY(s.ud > 0);
        for (int i = 0; i < pieces.size(); ++i)
            s.stream->answer(times[i], pieces[i]);
        QByteArray answer;
        QTEST(Query(*s.adapter, s.ud, "X?", &answer) & (ERR | TIMO | END), "sta");
        QTEST(answer, "answer");
        QTEST(s.clock.now, "tookMs");
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
        row("eot after other data", {"12" + e}, V::Ask);
        row("eot bytes inside a block", {"#15" + e + e, e + e + e}, V::More);
        row("eot right after a block", {"#1", "5", "\n\n\n\n\n" + e}, V::End);
    }
    void answerEnd() {
        QFETCH(QByteArrayList, pieces);
        PrologixAnswerEnd end;
        auto verdict = PrologixAnswerEnd::Verdict::More;
        for (const QByteArray& piece : pieces)
            verdict = end.feed(piece);
        QTEST(int(verdict), "verdict");
    }

    // Opening in scripted time: a board that resets when its port opens answers ++ver late and
    // is still taken; one that never answers is given up at the deadline. An adapter that goes
    // away fails the calls while it cannot be opened, and is opened afresh once it is back.
    void opening_data() {
        QTest::addColumn<qint64>("versionAt"); // 0: to each ++ver, -1: never
        QTest::newRow("at once") << 0LL;
        QTest::newRow("after a 2 s reset") << 2000LL;
        QTest::newRow("never") << -1LL;
    }
    void opening() {
        QFETCH(qint64, versionAt);
        ScriptedClock clock;
        ScriptedStream* stream = nullptr;
        bool plugged = true;
        int opened = 0;
        Prologix::Options options;
        options.clock = &clock;
        Prologix adapter(
            [&] {
                auto s = std::make_unique<ScriptedStream>(clock);
                s->plugged = plugged;
                if (++opened > 1 || versionAt == 0)
                    s->version = "Prologix version 6.107";
                else if (versionAt > 0)
                    s->say(versionAt, "Prologix version 6.107\r\n");
                stream = s.get();
                return s;
            },
            "scripted", options);
        QString error;
        QCOMPARE(adapter.start(&error), versionAt >= 0);
        if (versionAt < 0) {
            QVERIFY2(error.contains("did not answer ++ver within 10 s"), qPrintable(error));
            QVERIFY(clock.now >= 10000 && clock.now < 11000);
            return;
        }
        QVERIFY(clock.now >= versionAt);
        const int ud = adapter.ibdev(0, 3, 0, 13, 1, 0);
        QCOMPARE(adapter.ibwrt(ud, "A", 1), CMPL);
        stream->gone = true;
        plugged = false;
        QCOMPARE(adapter.ibwrt(ud, "A", 1), ERR);
        QCOMPARE(adapter.iberr(), ENEB);
        plugged = true;
        QCOMPARE(adapter.ibwrt(ud, "A", 1), CMPL);
        QCOMPARE(opened, 3);
    }

    // A session over a fake adapter. Data passes byte for byte, the four special bytes and NUL
    // included. An answer over the read's limit is an error, never a cut answer passed as
    // whole; into a file it goes whole and replaces what the file held. The listener search finds
    // the instruments; an adapter that disappears fails every call.
    void session_data() {
        QTest::addColumn<bool>("ar488");
        QTest::newRow("Prologix on a terminal") << false;
        QTest::newRow("AR488 on TCP") << true;
    }
    void session() {
        QFETCH(bool, ar488);
        const QString journal = dir.filePath(QString::number(ar488) + ".journal");
        // The meter at 3 has a 3000-byte dump; timeouts are in real time, and an answer over
        // 1000 bytes is too long.
        const QByteArray dump(3000, 'x');
        const auto bench = SimBus::fromJson(
            BenchJson(R"({"address": 3, "replies": {"DUMP?": ")" + dump +
                          R"(", "*IDN?": "M401A"}, "accepts": ["OUT *"]}, {"address": 5})",
                      journal),
            nullptr);
        FakeAdapter fake(*bench, ar488 ? FakeAdapter::Kind::Ar488 : FakeAdapter::Kind::Prologix,
                         ar488 ? FakeAdapter::Transport::Tcp : FakeAdapter::Transport::Pty);
        Prologix::Options options = AdapterOptions(bench->timeoutScale());
        options.maxAnswer = 1000;
        options.timeoutScale = 1;
        options.minDeadlineMs = 100;
        QString error;
        const auto driver = OverAdapter(fake, options, &error);
        QVERIFY2(driver, qPrintable(error));
        Driver& d = *driver;
        const int ud = d.ibdev(0, 3, 0, 13, 1, 0);
        const QByteArray data("OUT a\rb\nc\x1b"
                              "d+e\0f",
                              15);
        QCOMPARE(d.ibwrt(ud, data.constData(), data.size()), CMPL);
        QCOMPARE(d.ibcntl(), 15L);
        QByteArray answer;
        QCOMPARE(Query(d, ud, "DUMP?", &answer), ERR);
        QCOMPARE(d.iberr(), EABO);
        QFile file(dir.filePath(QString::number(ar488) + ".dat"));
        const QByteArray path = file.fileName().toLocal8Bit();
        d.ibwrt(ud, "DUMP?", 5);
        QCOMPARE(d.ibrdf(ud, path.constData()), END | CMPL);
        QCOMPARE(file.size(), 3001);
        d.ibwrt(ud, "*IDN?", 5);
        QCOMPARE(d.ibrdf(ud, path.constData()), END | CMPL);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.readAll(), QByteArray("M401A\n"));
        QVERIFY(file.resize(0) && file.write("OUT +1\r\n") == 8);
        file.close();
        QCOMPARE(d.ibwrtf(ud, path.constData()), CMPL);
        QCOMPARE(JournalText(journal).section('\n', 0, 0),
                 QString("3 W OUT a\\rb\\nc\\x1Bd+e\\x00f"));
        // The fake adapter passes the last line on in its own time.
        QTRY_VERIFY(JournalText(journal).endsWith("3 W OUT +1\\r\\n\n"));

        bus::Listeners found;
        QVERIFY(!found.find(d));
        QCOMPARE(QList<int>(found.list().begin(), found.list().begin() + 4),
                 (QList<int>{2, 3, 5, 0}));
        fake.readsLeft = 1;
        QCOMPARE(Query(d, ud, "*IDN?", &answer), ERR);
        QCOMPARE(d.iberr(), ENEB);
        QCOMPARE(d.ibwrt(ud, "*IDN?", 5), ERR);
        QCOMPARE(d.iberr(), ENEB);
    }
};

QTEST_MAIN(TestPrologix)
#include "tst_prologix.moc"
