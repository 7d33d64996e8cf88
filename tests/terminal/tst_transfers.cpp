// Syntax checking by either status model, and the transfers between files and instruments,
// against the simulated bench and its journal.
#include "TerminalFixture.h"
#include "terminal/ui/SyntaxCheckForm.h"
#include "ui_SyntaxCheckForm.h"
#include <QtTest>

using namespace platform;

namespace {

// 3 follows IEEE 488.2, 9 reports command errors in its serial poll byte.
const QByteArray Bench = R"({ "address": 3, "replies": { "*IDN?": "X", "WAVE?": "1,2,3,4",
      "MUTE?": null }, "accepts": ["GOOD", "CURVE *"] },
    { "address": 9, "status": "serial-poll", "terminator": "\r\n", "replies": { "ID?": "OLD" },
      "accepts": ["F1"] })";

// Chooses syntax checking option k (0 serial poll, 1 none, 2 status registers) in the dialog
// that the window opens modally, then closes it, or leaves it with Escape; gives the dialog's
// frame caption.
QString ChooseMethod(Terminal& t, int k, bool escape = false) {
    QString caption;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<SyntaxCheckForm*>(QApplication::activeModalWidget());
        if (!dialog) return;
        caption = dialog->ui->Frame1->title();
        dialog->SyntaxCheckMethod[k]->setChecked(true);
        if (escape)
            QTest::keyClick(dialog->SyntaxCheckMethod[k], Qt::Key_Escape);
        else
            dialog->ui->Close_Button->click();
    });
    t.form->EnableSyntaxCheck_Click();
    return caption;
}

bool Blue(const QPushButton* button) {
    return button->palette().color(QPalette::ButtonText) == QColor(0, 0, 255);
}

} // namespace

class TestTransfers : public QObject {
    Q_OBJECT

private slots:
    // The dialog lists its options top down as none, serial poll, status registers, and
    // stores the option's index less one.
    void dialog() {
        gpib::BusActivity activity;
        SyntaxCheckForm dialog(activity);
        dialog.Form_Load(5, -1);
        QCOMPARE(dialog.ui->Frame1->title(), QString(" Syntax Checking for device at address 5 "));
        QVERIFY(dialog.SyntaxCheckMethod[0]->isChecked());
        QList<QRadioButton*> order = dialog.ui->Frame1->findChildren<QRadioButton*>();
        std::sort(order.begin(), order.end(),
                  [](auto* a, auto* b) { return a->geometry().y() < b->geometry().y(); });
        dialog.adjustSize();
        dialog.ui->Frame1->layout()->activate();
        std::sort(order.begin(), order.end(),
                  [](auto* a, auto* b) { return a->geometry().y() < b->geometry().y(); });
        QCOMPARE(order.first()->text(), QString("None"));
        QCOMPARE(order.last(), dialog.SyntaxCheckMethod[2]);
        for (int k : {2, 1, 0}) {
            dialog.SyntaxCheckMethod[k]->setChecked(true);
            dialog.Close_Button_Click();
            QCOMPARE(dialog.Method, std::optional<int>(k - 1));
        }
    }

    // Both methods with a good and a bad command, the status registers method's preparation,
    // and what the journal shows of each send.
    void methods_data() {
        QTest::addColumn<int>("button"); // 0: address 3, 1: address 9
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("journal");
        QTest::addColumn<bool>("error");
        const QStringList prepare{"3 C", "3 W DESE 32", "3 W *ESE 32", "3 W *SRE 48"};
        QTest::newRow("registers, good command")
            << 0 << 2 << "GOOD" << prepare + QStringList{"3 W *CLS", "3 P 0", "3 W GOOD", "3 P 0"}
            << false;
        QTest::newRow("registers, bad command")
            << 0 << 2 << "BAD" << prepare + QStringList{"3 W *CLS", "3 P 0", "3 W BAD", "3 P 96"}
            << true;
        QTest::newRow("registers, good query")
            << 0 << 2 << "*IDN?"
            << prepare + QStringList{"3 W *CLS", "3 P 0", "3 W *IDN?", "3 P 80", "3 R X\\n"}
            << false;
        QTest::newRow("registers, bad query: no read")
            << 0 << 2 << "BAD?" << prepare + QStringList{"3 W *CLS", "3 P 0", "3 W BAD?", "3 P 96"}
            << true;
        QTest::newRow("serial poll, good command")
            << 1 << 0 << "F1" << QStringList{"9 P 0", "9 W F1", "9 P 0"} << false;
        QTest::newRow("serial poll, bad command")
            << 1 << 0 << "BAD" << QStringList{"9 P 0", "9 W BAD", "9 P 97"} << true;
        QTest::newRow("serial poll, good query")
            << 1 << 0 << "ID?" << QStringList{"9 P 0", "9 W ID?", "9 P 16", "9 R OLD\\r\\n"}
            << false;
        QTest::newRow("serial poll, bad query")
            << 1 << 0 << "XX?" << QStringList{"9 P 0", "9 W XX?", "9 P 97"} << true;
        QTest::newRow("none") << 1 << 1 << "BAD" << QStringList{"9 W BAD"} << false;
    }
    void methods() {
        QFETCH(int, button);
        QFETCH(int, option);
        QFETCH(QString, message);
        QFETCH(QStringList, journal);
        QFETCH(bool, error);
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[button]->click();
        t.journal();
        const int address = button == 0 ? 3 : 9;
        QCOMPARE(ChooseMethod(t, option),
                 QString(" Syntax Checking for device at address %1 ").arg(address));
        QCOMPARE(t.selection.SyntaxMethod[button + 1], option - 1);
        QCOMPARE(Blue(t.form->AddressButton[button]), option != 1);
        t.send(message);
        QCOMPARE(t.journal(), journal);
        QCOMPARE(t.form->Timer1->isActive(), error);
        QCOMPARE(t.form->Incoming.isEmpty(), !message.endsWith('?') || error);
    }

    // Under the serial poll method an instrument's 0x60 is not an error, 0x61 is.
    void pollBytes() {
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[0]->click();
        t.send("*ESE 32");
        t.send("*SRE 32");
        ChooseMethod(t, 0);
        t.journal();
        t.send("BAD");
        QCOMPARE(t.journal(), QStringList({"3 P 0", "3 W BAD", "3 P 96"}));
        QVERIFY(!t.form->Timer1->isActive());
        t.form->AddressButton[1]->click();
        ChooseMethod(t, 0);
        t.send("BAD");
        QCOMPARE(t.journal(), QStringList({"9 P 0", "9 W BAD", "9 P 97"}));
        QVERIFY(t.form->Timer1->isActive());
        // Escape leaves the dialog as it found the device: no preparation, the method kept.
        t.journal();
        ChooseMethod(t, 2, true);
        QVERIFY(t.selection.SyntaxMethod[2] == -1 && Blue(t.form->AddressButton[1]));
        QCOMPARE(t.journal(), QStringList());
        // Back to none: the caption loses its blue, the next error goes unseen.
        ChooseMethod(t, 1);
        QVERIFY(!Blue(t.form->AddressButton[1]) && Blue(t.form->AddressButton[0]));
    }

    // The wait for a request uses 300 ms and puts back whatever timeout was there.
    void timeoutRestored_data() {
        QTest::addColumn<int>("before");
        QTest::newRow("3 s") << 12;
        QTest::newRow("10 s") << 13;
        QTest::newRow("300 ms") << 10;
    }
    void timeoutRestored() {
        QFETCH(int, before);
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[1]->click();
        ChooseMethod(t, 0);
        t.bench.bus()->ibtmo(t.form->TerminalUd, before);
        t.form->CheckSyntax(t.form->TerminalUd);
        int after = 0;
        t.bench.bus()->ibask(t.form->TerminalUd, gpib::IbaTMO, &after);
        QCOMPARE(after, before);
    }

    // The label blinks for seven ticks of 200 ms and then stays; a send hides it.
    void blink() {
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[1]->click();
        ChooseMethod(t, 0);
        t.send("BAD");
        QCOMPARE(t.form->Timer1->interval(), 200);
        QString seen;
        while (t.form->Timer1->isActive() && seen.size() < 20) {
            t.form->Timer1_Timer();
            seen += t.ui()->SyntaxErrorMessage->isVisibleTo(t.form.get()) ? 'S' : '-';
        }
        QCOMPARE(seen, QString("S-S-S-S"));
        t.send("F1");
        QVERIFY(!t.ui()->SyntaxErrorMessage->isVisibleTo(t.form.get()));
    }

    // Once: the answer goes to the chosen file, without CR or LF on the query, and the mark
    // goes; the next answer is shown again. The warning is asked once per window. A No to it,
    // or a cancelled dialog, abandons the send: nothing recorded, the mark kept.
    void receiveOnce() {
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[0]->click();
        t.ui()->bmAddCR->click();
        QFile old(t.path("wave.dat"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an older, longer content\n") > 0);
        old.close();
        t.ui()->SendtoFileOnce->trigger();
        QVERIFY(t.ui()->SendtoFileOnce->isChecked() && !t.ui()->AutoClear->isEnabled());
        t.journal();
        t.sys.answerBox(Answer::No, "Warning"); // No: nothing happens, the warning stays due
        t.send("WAVE?");
        t.sys.answerBox(Answer::Yes, "Warning");
        t.sys.cancelFileDialog();
        t.form->SelectEntry(2); // a picked entry too
        t.form->SendMessage_Click();
        QCOMPARE(t.journal(), QStringList());
        QVERIFY(t.ui()->SendtoFileOnce->isChecked() && !t.form->ListChanged);
        QCOMPARE(t.form->Entries().size(), 6);
        t.sys.answerFileDialog(t.path("wave.dat"));
        t.send("WAVE?");
        QCOMPARE(t.sys.fileDialogs.size(), 2);
        const FileDialogRequest asked = t.sys.fileDialogs.last();
        QCOMPARE(QStringList({asked.title, asked.proposedName, asked.filter, asked.folder}),
                 QStringList({"Save Incoming Message to File", "Data", "Data Files (*.dat)|*.dat",
                              t.dir.path()}));
        QCOMPARE(t.journal(), QStringList({"3 W WAVE?", "3 R 1,2,3,4\\n"}));
        QCOMPARE(FileBytes(t.path("wave.dat")), QByteArray("1,2,3,4\n"));
        QVERIFY(!QFile::exists(t.path("wave.dat.part")));
        QCOMPARE(t.ui()->ReceivedCharacters->text(), QString(" 8 "));
        QVERIFY(t.form->Incoming.isEmpty() && !t.ui()->SendtoFileOnce->isChecked() &&
                t.ui()->AutoClear->isEnabled() && t.ui()->ClearIncoming->isEnabled());
        t.send("WAVE?");
        QCOMPARE(t.form->Incoming, QString("03: 1,2,3,4\r\n"));
    }

    // "Bus Trace…" starts a trace into the chosen file and stops it; its mark shows which.
    void busTrace() {
        Terminal t(Bench);
        QVERIFY(t.start());
        QVERIFY(!t.ui()->BusTrace->isChecked());
        t.form->AddressButton[0]->click();
        t.sys.cancelFileDialog(); // cancelled: no trace
        t.ui()->BusTrace->trigger();
        QVERIFY(!t.ui()->BusTrace->isChecked());
        t.sys.answerFileDialog(t.path("trace.txt"));
        t.ui()->BusTrace->trigger();
        QVERIFY(t.ui()->BusTrace->isChecked());
        QCOMPARE(t.sys.fileDialogKinds.last(), QString("save"));
        QCOMPARE(t.sys.fileDialogs.last().title, QString("Bus Trace"));
        t.send("WAVE?");
        t.ui()->BusTrace->trigger();
        QVERIFY(!t.ui()->BusTrace->isChecked());
        t.send("*IDN?");
        const QStringList lines = QString::fromLatin1(FileBytes(t.path("trace.txt"))).split('\n');
        QVERIFY2(!lines
                      .filter(QRegularExpression(" ibwrt ud=\\d+ pad=3 count=5 \"WAVE\\?\" "
                                                 "ibsta=0x0100 iberr=0 ibcntl=5 "))
                      .isEmpty(),
                 qPrintable(lines.join('\n')));
        QVERIFY(!lines
                     .filter(QRegularExpression(" ibrd ud=\\d+ pad=3 count=512 \"1,2,3,4\\\\n\" "
                                                "ibsta=0x2100 "))
                     .isEmpty());
        QVERIFY(lines.filter("IDN").isEmpty());
        // A file that cannot be written: the box says so, and no trace runs.
        t.sys.answerFileDialog("/nonexistent-folder/trace.txt");
        t.sys.answerBox(Answer::Ok, "Bus Trace");
        t.ui()->BusTrace->trigger();
        QVERIFY(!t.ui()->BusTrace->isChecked());
    }

    // All the time: every query asks for its file; the warning only the first time; the
    // descriptor's timeout is back afterwards; the mode is stored.
    void receiveAllTheTime() {
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[0]->click();
        t.ui()->SendToFile->trigger();
        t.sys.answerBox(Answer::Yes, "Warning");
        t.sys.answerFileDialog(t.path("a.dat"));
        t.send("WAVE?");
        t.sys.answerFileDialog(t.path("b.dat"));
        t.send("*IDN?");
        t.sys.cancelFileDialog();
        t.send("WAVE?");
        QCOMPARE(FileBytes(t.path("a.dat")) + FileBytes(t.path("b.dat")),
                 QByteArray("1,2,3,4\nX\n"));
        QVERIFY(t.form->Incoming.isEmpty() && t.ui()->SendToFile->isChecked());
        QCOMPARE(t.sys.fileDialogs.size(), 3);
        int tmo = 0;
        t.bench.bus()->ibask(t.form->TerminalUd, gpib::IbaTMO, &tmo);
        QCOMPARE(tmo, 12);
        t.form->Form_Unload();
        QCOMPARE(t.sys.settings.value("Busmate/Settings/Send To File"), QString("1"));
    }

    // A transfer that times out is reported, and the chosen file holds what arrived (here
    // nothing), as the box says, not its old contents.
    void receiveTimeout() {
        Terminal t(Bench);
        QVERIFY(t.start());
        QFile old(t.path("mute.dat"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an earlier run\n") > 0);
        old.close();
        t.form->AddressButton[0]->click();
        t.ui()->SendToFile->trigger();
        t.sys.answerBox(Answer::Yes, "Warning");
        t.sys.answerFileDialog(t.path("mute.dat"));
        t.sys.answerBox(Answer::Ok, "Timeout Has Occured");
        t.send("MUTE?");
        QVERIFY(t.sys.boxes.last().text.endsWith("To clear, uncheck \"Send Received Data to File\" "
                                                 "and send a single questionmark (?)."));
        QCOMPARE(FileBytes(t.path("mute.dat")), QByteArray());
        QVERIFY(!QFile::exists(t.path("mute.dat.part")));
        QCOMPARE(t.ui()->ReceivedCharacters->text(), QString(" 0 "));
        int tmo = 0;
        t.bench.bus()->ibask(t.form->TerminalUd, gpib::IbaTMO, &tmo);
        QCOMPARE(tmo, 12);
    }

    // Sending a file: No reopens the dialog, Yes sends its bytes as they are.
    void sendFile() {
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[0]->click();
        QFile data(t.path("curve.dat"));
        QVERIFY(data.open(QIODevice::WriteOnly) && data.write("CURVE 1,2\r\n") > 0);
        data.close();
        t.journal();
        t.sys.answerBox(Answer::Yes, "Warning");
        t.sys.answerFileDialog(t.path("curve.dat"));
        t.sys.answerBox(Answer::No, "Send Datafile to Device");
        t.sys.answerFileDialog(t.path("curve.dat"));
        t.sys.answerBox(Answer::Yes, "Send Datafile to Device");
        t.form->SendToDevice_Click();
        QCOMPARE(t.sys.fileDialogs.size(), 2);
        QCOMPARE(t.sys.fileDialogs.last().title,
                 QString("Send Data from File to the Device at Address 3"));
        QCOMPARE(t.sys.boxes.last().text,
                 QString("Are you sure you want to send the content of the file: curve.dat\nto the "
                         "device at address 3."));
        QCOMPARE(t.journal(), QStringList({"3 W CURVE 1,2\\r\\n"}));
        // The warning was answered Yes once; cancelling the dialog ends the operation.
        t.sys.cancelFileDialog();
        t.form->SendToDevice_Click();
        QCOMPARE(t.journal(), QStringList());
        QCOMPARE(t.sys.pendingAnswers(), 0);
    }

    // Showing data files: markers, lines in file order, the 30-character name rule; empty and
    // unreadable files; a huge file shown in part.
    void showFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // "<dir>": a folder, which cannot be read
        QTest::addColumn<QString>("shown");      // on top of what was there
        QTest::newRow("three lines")
            << "three.dat" << QByteArray("one\r\ntwo\r\nthree\r\n")
            << "\r\n*** Begin Data File three.dat ***\r\none\r\ntwo\r\nthree"
               "\r\n*** End Data File ***\r\n";
        const QString longName = "abcdefghijklmnopqrstuvwxyz1.dat"; // 31 characters
        QTest::newRow("31-character name")
            << longName << QByteArray("x")
            << "\r\n*** Begin Data File abcdefghijklmnopqrstuvwxyz1..."
               " ***\r\nx\r\n*** End Data File ***\r\n";
        QTest::newRow("empty")
            << "empty.dat" << QByteArray()
            << "\r\n*** Begin Data File empty.dat ***\r\n\r\n*** End Data File ***\r\n";
        QTest::newRow("unreadable") << "dir.dat" << QByteArray("<dir>") << QString();
    }
    void showFile() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, shown);
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[0]->click();
        t.send("*IDN?");
        if (content == "<dir>") {
            QVERIFY(QDir(t.dir.path()).mkdir(name));
        } else {
            QFile f(t.path(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        t.sys.answerFileDialog(t.path(name));
        t.form->DisplayFile_Click();
        QCOMPARE(t.form->Incoming, shown + "03: X\r\n");
        QCOMPARE(t.sys.fileDialogs.last().title, QString("Show Data File"));
    }

    void showHugeFile() {
        Terminal t(Bench);
        QVERIFY(t.start());
        QFile f(t.path("huge.dat"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray line(99, 'd');
        for (int i = 0; i < 40000; ++i) // 4 MB
            f.write(line + "\r");
        f.close();
        t.sys.answerFileDialog(t.path("huge.dat"));
        t.sys.answerBox(Answer::Ok, "Show Data File");
        t.form->DisplayFile_Click();
        QVERIFY(t.sys.boxes.last().text.contains("4000000 bytes"));
        QVERIFY(t.form->Incoming.size() < (1 << 20) + 20000);
        QVERIFY(t.form->Incoming.startsWith("\r\n*** Begin Data File huge.dat ***\r\n" + line +
                                            "\r\n"));
    }
};

QTEST_MAIN(TestTransfers)
#include "tst_transfers.moc"
