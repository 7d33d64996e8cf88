// The bus access layer and discovery against the simulated bench, with scripted boxes.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "bus/Discovery.h"
#include <QtTest>
#include <ctime>

using platform::Answer;

namespace {
QByteArray Instruments(const QList<int>& addresses, const QByteArray& rest = "") {
    QByteArrayList list;
    for (int a : addresses)
        list << "{ \"address\": " + QByteArray::number(a) + rest + " }";
    return list.join(", ");
}

const QStringList IconNames{"none", "critical", "question", "warning", "information"};
const QStringList ButtonNames{"OK", "OK Cancel", "Yes No", "Yes No Cancel"};

// Scripted boxes and a bench that keeps a journal.
struct Rig {
    // A bench that fails to load shows itself through the boxes of the missing driver.
    explicit Rig(const QByteArray& instruments)
        : bench(BenchJson(instruments, dir.filePath("j"))) {}
    void open() { FindListeners(), DeviceUd = FindDevice(); }
    QString journal() const { return JournalText(dir.filePath("j")); }
    // The boxes shown, one a line: "title (icon, buttons): text".
    QString boxes() const {
        QStringList shown;
        for (const auto& b : sys.boxes)
            shown << QString("%1 (%2, %3): %4")
                         .arg(b.title, IconNames[int(b.icon)], ButtonNames[int(b.buttons)], b.text);
        return shown.join('\n');
    }
    platform::ScriptedPlatform sys;
    QTemporaryDir dir;
    BenchGuard bench;
};
} // namespace

class TestBusAccess : public QObject {
    Q_OBJECT

private slots:
    // A query of Q? to an instrument at 5 that answers the reply bytes as they are; a box gets
    // the given answer.
    void query_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<int>("reads");
        QTest::addColumn<QString>("boxes");
        auto row = [](const char* name, const QByteArray& reply, Answer answer,
                      const QByteArray& result, int reads, const QString& boxes) {
            QTest::newRow(name) << reply << int(answer) << result << reads << boxes;
        };
        QByteArray big = QByteArray("ABCDEFGHIJKLM").repeated(100);
        big[700] = 0;
        const QString goOn = "\nSelect OK to continue or Cancel to terminate program.";
        row("LF", "\"\\n\"", Answer::Ok, "", 1, "");
        row("CR LF", "\"12\\r\\n\"", Answer::Ok, "12", 1, "");
        row("three LF", "\"12\\n\\n\\n\"", Answer::Ok, "12", 1, "");
        row("four LF keep one", "\"12\\n\\n\\n\\n\"", Answer::Ok, "12\n", 1, "");
        row("spaces, not tabs", "\"  1 2\\t\\r\\n   \"", Answer::Ok, "1 2\t", 1, "");
        // Three reads of at most 512 bytes.
        row("chunks, NUL kept", '"' + QByteArray(big).replace('\0', "\\u0000") + '"', Answer::Ok,
            big, 3, "");
        row("timeout", "null", Answer::Ok, "", 0,
            "I/O Error (warning, OK): Read cycle failed\nOperation aborted.");
        row("write error, OK", "{ \"write_error\": 6 }", Answer::Ok, "", 0,
            "GPIB ERROR # 6 (warning, OK Cancel): I/O operation aborted - timeout." + goOn);
        row("write error, Cancel", "{ \"write_error\": 14 }", Answer::Cancel, "", 0,
            "GPIB ERROR # 14 (warning, OK Cancel): GPIB bus eror." + goOn);
        row("no descriptor", "", Answer::Ok, "", 0,
            "Device Error (critical, OK): Device not configured.\n\nCorrect problem and restart.");
    }
    void query() {
        QFETCH(QByteArray, reply);
        QFETCH(int, answer);
        Rig rig(Instruments({5}, ", \"terminator\": \"\", \"replies\": { \"Q?\": " +
                                     (reply.isEmpty() ? "null" : reply) + " }"));
        if (!reply.isEmpty()) rig.open();
        rig.sys.answerBox(Answer(answer));
        if (answer == int(Answer::Cancel) || reply.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, GpibQuery(DeviceUd, "Q?"));
        } else {
            QTEST(GpibQuery(DeviceUd, "Q?"), "result");
            // Only a failed write is a driver error; the descriptor's own 3 s timeout is back.
            QCOMPARE(GpibErrorFlag, reply.contains("write_error"));
            int code = 0;
            QVERIFY(gpib::Bus().ibask(DeviceUd, gpib::IbaTMO, &code) && code == 12);
        }
        QTEST(rig.boxes(), "boxes");
        QTEST(int(rig.journal().count("5 R ")), "reads");
    }

    // The scan and the descriptor: listeners ascending, each polled once per FindDevice.
    void discovery_data() {
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QList<int>>("listeners");
        QTest::addColumn<QString>("box");
        QList<int> fourteen(14);
        std::iota(fourteen.begin(), fourteen.end(), 17);
        const QString error = "Initialization Error %1 (critical, OK): %2\n\n"
                              "Correct problem and restart.";
        QTest::newRow("none") << QList<int>{} << QList<int>{}
                              << error.arg(14).arg("No listeners found.");
        QTest::newRow("22, 3, 9") << QList<int>{22, 3, 9} << QList<int>{3, 9, 22} << "";
        QTest::newRow("14") << fourteen << fourteen << "";
        QTest::newRow("15") << (fourteen + QList<int>{1}) << QList<int>{}
                            << error.arg(20).arg("Too many listeners found.\n"
                                                 "Max 14 listeners allowed.");
    }
    void discovery() {
        QFETCH(QList<int>, present);
        QFETCH(QList<int>, listeners);
        QFETCH(QString, box);
        Rig rig(Instruments(present, R"(, "replies": { "V?": "1", "OUT ON": null })"));
        if (!box.isEmpty()) {
            rig.sys.answerBox(Answer::Ok);
            QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, FindListeners());
        } else {
            rig.open();
            QCOMPARE(FindDevice(), DeviceUd); // opened once, then used again
            // A command sent elsewhere leaves the descriptor on DeviceAddress.
            DeviceAddress = std::int16_t(listeners.last());
            SendToAddress(std::int16_t(listeners.first()), "OUT ON");
            GpibErrorFlag = true; // the query's good write clears it, or nothing is read
            QCOMPARE(GpibQuery(DeviceUd, "V?"), QByteArray("1"));
            QString polls, first = QString::number(listeners.first()),
                           last = QString::number(listeners.last());
            for (int a : listeners)
                polls += QString("%1 P 0\n").arg(a);
            QCOMPARE(rig.journal(), "0 I\n" + polls + polls + first + " W OUT ON\n" + last +
                                        " W V?\n" + last + " R 1\\n\n");
        }
        QCOMPARE(rig.boxes(), box);
        QCOMPARE(QList<int>(ListenerList.begin(), ListenerList.end()),
                 QList<int>{int(listeners.size())} + listeners + QList<int>(14 - listeners.size()));
        for (int a = 0; a <= 31; ++a)
            QCOMPARE(IsListener(std::int16_t(a)), listeners.contains(a));
    }

    void waitSeconds() {
        bool handled = false;
        QTimer::singleShot(50, this, [&] { handled = true; });
        const std::clock_t cpu = std::clock();
        QElapsedTimer t;
        t.start();
        WaitSeconds(0.4f);
        QVERIFY2(handled && t.elapsed() >= 400 && t.elapsed() < 1500,
                 qPrintable(QString::number(t.elapsed())));
        QVERIFY(double(std::clock() - cpu) / CLOCKS_PER_SEC < 0.2); // it sleeps, not spins
    }
};

QTEST_MAIN(TestBusAccess)
#include "tst_busaccess.moc"
