// USB instruments through the kernel's usbtmc driver: which node is which address, and one
// walk through the I/O path (read, write and the driver's ioctls) against a stand-in for the
// kernel over the simulated bench. With SEQUOR_TEST_USBTMC naming a node, a real instrument
// answers too.
#include "FakeUsbtmc.h"
#include "TestBench.h"
#include "bus/SimBench.h"
#include "platform/Process.h"
#include "platform/ScriptedPlatform.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace gpib;

class TestUsbtmc : public QObject {
    Q_OBJECT

private slots:
    // A write to an instrument that went away must fail, not end the program: the program's
    // own setting, which the unplugged instrument below proves.
    void initTestCase() { platform::KeepRunningPastFileSizeLimit(); }

    // The kernel's usbtmc<N> is address N + 1; the store's section, when it names any node,
    // alone decides.
    void mapping() {
        QTemporaryDir dir;
        platform::ScriptedPlatform sys;
        const auto chosen = [&] {
            QStringList got;
            for (const auto& [pad, path] : UsbtmcChosenNodes(dir.path()))
                got << QString("%1:%2").arg(pad).arg(QString(path).remove(dir.path() + '/'));
            return got.join(' ');
        };
        for (const char* name :
             {"ttyUSB0", "usbtmc0", "usbtmc29", "usbtmc30", "usbtmc01", "usbtmcx"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        QCOMPARE(chosen(), QString("1:usbtmc0 30:usbtmc29"));
        for (const char* entry : {"2=/dev/usbtmc5", "30= /x/y ", "31=/dev/z", "0=/dev/w"})
            sys.settings["Sequor/USBTMC/" + QString(entry).section('=', 0, 0)] =
                QString(entry).section('=', 1);
        QCOMPARE(chosen(), QString("2:/dev/usbtmc5 30:/x/y"));
    }

    // Start-up fails saying what was looked for; then
    // messages both ways, bytes exact; an answer longer than a read ends only with its last
    // read; the ioctls carry timeout, status byte and clear; an instrument unplugged fails as
    // "no listener" while the others go on.
    void io() {
        QString error;
        auto bench = SimBus::fromJson(
            R"({ "timeout_scale": 0.001, "instruments": [{ "address": 3, "replies": {
                "*IDN?": "SIMLAB,M401A,0,1.0", "BINARY?": "A\u0000\r\u00ffZ", "MUTE?": null } },
                { "address": 7, "status": "serial-poll", "replies": { "ID?": "OLD" } }] })",
            &error);
        QVERIFY2(bench, qPrintable(error));
        FakeUsbtmc fake(*bench);
        QVERIFY(!Usbtmc({{3, "/fake/none"}}, fake).start(&error));
        QCOMPARE(error.section('\n', 0, 1),
                 "No USBTMC instrument could be opened. Looked for:\n  /fake/none at address 3");

        Usbtmc usb({{3, fake.plugIn(3)}, {7, fake.plugIn(7)}}, fake, {.timeoutScale = 0.001});
        QVERIFY2(usb.start(&error), qPrintable(error));

        const int ud = usb.ibdev(0, 3, 0, 12, 1, 0);
        usb.ibwrt(ud, "*IDN?\n", 6);
        QCOMPARE(WholeAnswer(usb, ud, 7), QByteArray("SIMLAB,M401A,0,1.0\n"));
        QCOMPARE(usb.ibsta(), END | CMPL); // the last read ends it, and none before
        usb.ibwrt(ud, "BINARY?\n", 8);
        QCOMPARE(WholeAnswer(usb, ud), QByteArray("A\0\r\xFFZ\n", 6));
        char buffer[64];
        usb.ibwrt(ud, "MUTE?\n", 6);
        QCOMPARE(usb.ibrd(ud, buffer, sizeof buffer), ERR | TIMO);

        // The older meter reports a command error in its serial poll byte.
        usb.ibpad(ud, 7);
        usb.ibwrt(ud, "BAD\n", 4);
        char spr = 0;
        QCOMPARE(usb.ibrsp(ud, &spr), CMPL);
        QVERIFY(spr != 0);
        QCOMPARE(usb.ibclr(ud), CMPL);
        // Each node's 3 s, scaled, at the kernel's least.
        QCOMPARE(fake.requests, QStringList({"SET_TIMEOUT 100", "SET_TIMEOUT 100", "CLEAR"}));

        usb.ibpad(ud, 3);
        fake.unplug(3);
        QCOMPARE(usb.ibrd(ud, buffer, sizeof buffer), ERR); // the node answers ENODEV
        QCOMPARE(usb.iberr(), ENOL);
        usb.ibpad(ud, 7);
        usb.ibwrt(ud, "ID?\n", 4);
        QCOMPARE(WholeAnswer(usb, ud), QByteArray("OLD\n"));
        fake.unplug(7);
        QCOMPARE(usb.ibwrt(ud, "ID?\n", 4), ERR); // the pipe is broken
        QCOMPARE(usb.iberr(), ENOL);
    }

    void realInstrument() {
        const QString node = qEnvironmentVariable("SEQUOR_TEST_USBTMC");
        if (node.isEmpty()) QSKIP("SEQUOR_TEST_USBTMC names no usbtmc node");
        Usbtmc usb({{1, node}}, SystemUsbtmcKernel());
        QString error;
        QVERIFY2(usb.start(&error), qPrintable(error));
        const int ud = usb.ibdev(0, 1, 0, 12, 1, 0);
        usb.ibwrt(ud, "*IDN?\n", 6);
        const QByteArray id = WholeAnswer(usb, ud);
        QVERIFY2(!id.isEmpty() && (usb.ibsta() & END), id.constData());
        char spr = 0;
        QCOMPARE(usb.ibrsp(ud, &spr) & ERR, 0);
        QCOMPARE(usb.ibclr(ud) & ERR, 0);
    }
};

QTEST_GUILESS_MAIN(TestUsbtmc)
#include "tst_usbtmc.moc"
