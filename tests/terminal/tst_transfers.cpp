// Syntax checking by either status model, and receiving into files, against the simulated bench
// and its journal.
#include "TerminalFixture.h"
#include "terminal/ui/SyntaxCheckForm.h"
#include "ui_SyntaxCheckForm.h"
#include <QtTest>

using namespace platform;

namespace {

// 3 follows IEEE 488.2, 9 reports command errors in its serial poll byte.
const QByteArray Bench = R"({ "address": 3, "replies": { "*IDN?": "X", "WAVE?": "1,2,3,4",
      "MUTE?": null }, "accepts": ["GOOD"] },
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
    // Syntax checking chosen per device in the dialog. The status registers method prepares the
    // device, then polls around each message and reads no answer to a bad query; the serial poll
    // method polls around each message; none just sends. Escape leaves the dialog as it found
    // the device: no preparation, the method kept. The wait for a request uses 300 ms and puts
    // back whatever timeout was there. Back to none, the caption loses its blue.
    void methods() {
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[0]->click();
        t.journal();
        QCOMPARE(ChooseMethod(t, 2), QString(" Syntax Checking for device at address 3 "));
        QVERIFY(t.selection.SyntaxMethod[1] == 1 && Blue(t.form->AddressButton[0]));
        t.send("*IDN?");
        QCOMPARE(t.journal(),
                 QStringList({"3 C", "3 W DESE 32", "3 W *ESE 32", "3 W *SRE 48", "3 W *CLS",
                              "3 P 0", "3 W *IDN?", "3 P 80", "3 R X\\n"}));
        QVERIFY(!t.form->Timer1->isActive());
        t.form->AddressButton[1]->click();
        QVERIFY(!Blue(t.form->AddressButton[1]));
        QCOMPARE(ChooseMethod(t, 0), QString(" Syntax Checking for device at address 9 "));
        QVERIFY(t.selection.SyntaxMethod[2] == -1 && Blue(t.form->AddressButton[1]));
        t.send("BAD");
        QCOMPARE(t.journal(), QStringList({"9 P 0", "9 W BAD", "9 P 97"}));
        QVERIFY(t.form->Timer1->isActive());
        ChooseMethod(t, 2, true);
        QVERIFY(t.selection.SyntaxMethod[2] == -1 && Blue(t.form->AddressButton[1]));
        QCOMPARE(t.journal(), QStringList());
        t.bench.bus()->ibtmo(t.form->TerminalUd, 13);
        t.form->CheckSyntax(t.form->TerminalUd);
        QCOMPARE(t.timeout(), 13);
        ChooseMethod(t, 1);
        QVERIFY(t.selection.SyntaxMethod[2] == 0 && !Blue(t.form->AddressButton[1]));
        t.form->AddressButton[0]->click();
        t.journal();
        t.send("BAD?");
        QCOMPARE(t.journal(), QStringList({"3 W *CLS", "3 P 0", "3 W BAD?", "3 P 96"}));
        QCOMPARE(t.form->Incoming, QString("03: X\r\n"));
    }

    // Receiving once: the answer goes to the chosen file, without CR or LF on the query, and the
    // mark goes; the next answer is shown again. The warning is asked once per window. A No to
    // it, or a cancelled dialog, abandons the send: nothing recorded, the mark kept. All the
    // time: every query asks for its file; one that times out is reported, and the chosen file
    // holds what arrived (here nothing), as the box says, not its old contents.
    void receiveToFile() {
        Terminal t(Bench);
        QVERIFY(t.start());
        t.form->AddressButton[0]->click();
        t.ui()->bmAddCR->click();
        QVERIFY(t.write("wave.dat", "an older, longer content\n"));
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
        const FileDialogRequest asked = t.sys.fileDialogs.last();
        QCOMPARE(QStringList({asked.title, asked.proposedName, asked.filter,
                              QDir::cleanPath(asked.folder)}),
                 QStringList({"Save Incoming Message to File", "Data", "Data Files (*.dat)|*.dat",
                              t.dir.path()}));
        QCOMPARE(t.journal(), QStringList({"3 W WAVE?", "3 R 1,2,3,4\\n"}));
        QCOMPARE(ReadAll(t.path("wave.dat")), QByteArray("1,2,3,4\n"));
        QCOMPARE(t.ui()->ReceivedCharacters->text(), QString(" 8 "));
        QVERIFY(t.form->Incoming.isEmpty() && !t.ui()->SendtoFileOnce->isChecked() &&
                t.ui()->AutoClear->isEnabled() && t.ui()->ClearIncoming->isEnabled());
        t.send("WAVE?");
        QCOMPARE(t.form->Incoming, QString("03: 1,2,3,4\r\n"));
        QVERIFY(t.write("mute.dat", "an earlier run\n"));
        t.ui()->SendToFile->trigger();
        t.sys.answerFileDialog(t.path("mute.dat"));
        t.sys.answerBox(Answer::Ok, "Timeout Has Occured");
        t.send("MUTE?");
        QVERIFY(t.sys.boxes.last().text.endsWith("To clear, uncheck \"Send Received Data to File\" "
                                                 "and send a single questionmark (?)."));
        QCOMPARE(ReadAll(t.path("mute.dat")), QByteArray());
        QVERIFY(!QFile::exists(t.path("mute.dat.part")));
        QVERIFY(t.ui()->SendToFile->isChecked());
        QCOMPARE(t.timeout(), 12);
    }
};

QTEST_MAIN(TestTransfers)
#include "tst_transfers.moc"
