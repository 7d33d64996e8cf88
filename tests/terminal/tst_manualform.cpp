// Busmate: its plain rules by table (messages, the incoming box's lines and limits, list files,
// options, status bytes), and the window against the simulated bench: device selection, Id All,
// sending, keys, the message lists on real files and the options.
#include "Focus.h"
#include "TerminalFixture.h"
#include "terminal/Busmate.h"
#include "terminal/IncomingBox.h"
#include "terminal/MessageList.h"
#include "terminal/ui/ManualForm.h"
#include "ui_ManualForm.h"
#include <QAbstractItemView>
#include <QtTest>

using namespace platform;
using namespace term;

namespace {

const QByteArray Three = R"({ "address": 22, "replies": {} },
    { "address": 3, "replies": { "*IDN?": "SIMLAB,M401A,0,1.0" } },
    { "address": 9, "status": "serial-poll", "terminator": "\r\n", "replies": { "ID?": "OLD 9" } })";
const QByteArray One = R"({ "address": 3, "replies": {} })";
// The start-up list a fresh folder gets.
const QByteArray Defaults = "ID?\r\n*IDN?\r\nINIT\r\nFAC\r\nSET?\r\n";

} // namespace

class TestManualForm : public QObject {
    Q_OBJECT

private slots:
    // A question mark anywhere makes a query; the first "??" goes, outer blanks go.
    void prepareMessage_data() {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("query");
        QTest::newRow("A??B") << QByteArray("A??B") << QByteArray("AB") << true;
        QTest::newRow("X???") << QByteArray("X???") << QByteArray("X?") << true;
        QTest::newRow("command") << QByteArray("  OUT ON ") << QByteArray("OUT ON") << false;
        QTest::newRow("NUL kept") << QByteArray("A\0B", 3) << QByteArray("A\0B", 3) << false;
    }
    void prepareMessage() {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, sent);
        const OutgoingMessage m = PrepareMessage(typed);
        QCOMPARE(m.msg, sent);
        QTEST(m.query, "query");
        QCOMPARE(WithLineEnds(m.msg, true, true) + WithLineEnds(m.msg, false, true),
                 sent + "\r\n" + sent + "\n");
    }

    // Lines of 50 characters behind the two-digit address. The size check counts a 50th of the
    // length, rounded half to even, plus one, and 6 characters per line beyond the text; beyond
    // any 16-bit range the answer is still judged too large.
    void incomingBox() {
        QCOMPARE(IncomingLines(7, QString(51, 'a')), "07: " + QString(50, 'a') + "\r\n07: a\r\n");
        QCOMPARE(IncomingLines(7, {}), QString());
        QList<qint64> counted;
        for (const qint64 n : {0, 25, 50, 51, 75, 125})
            counted << SizeLines(n);
        QCOMPARE(counted, QList<qint64>({1, 1, 2, 2, 3, 3}));
        // 30,000 characters: 601 lines, 30000 + 3606 > 32768; 29,000: 581 lines, 29000 + 3486.
        QCOMPARE(QList<Fit>({CheckFit(30000, 0), CheckFit(29000, 282), CheckFit(29000, 283),
                             CheckFit(qint64(1) << 32, 0)}),
                 QList<Fit>({Fit::TooLarge, Fit::Fits, Fit::ClearFirst, Fit::TooLarge}));
    }

    // What the incoming box shows of the bytes, and what Id All keeps of an answer.
    void shownAndIdAnswer() {
        QCOMPARE(DisplayText("05: A\r\n05: B\r\n"), QString("05: A\n05: B\n"));
        QCOMPARE(DisplayText(QString::fromLatin1("A\0B\x1b\rb\tc\x7f\xe9", 10)),
                 QString("A\u2400B\u241b\nb\tc\u2421\u00e9"));
        QCOMPARE(IdAnswer("  TEK/2445\r\n  "), QByteArray("TEK/2445"));
        QCOMPARE(IdAnswer("A\rB\nC\r\n"), QByteArray("ABC"));
    }

    // .gmg files: CR, CR LF (and LF) end a line, entries are trimmed, empty lines stay, the
    // help entry is never written back.
    void listFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("CR LF, empty line, blanks, binary")
            << QByteArray(" A \r\n\r\n\xff\0z", 10)
            << QStringList{"A", "", QString::fromLatin1("\xff\0z", 3)}
            << QByteArray("A\r\n\r\n\xff\0z\r\n", 10);
        QTest::newRow("CR and LF alone")
            << QByteArray("A\rB\nC") << QStringList{"A", "B", "C"} << QByteArray("A\r\nB\r\nC\r\n");
        QTest::newRow("help dropped")
            << QByteArray("<Help>\r\nX\r\n") << QStringList{"<Help>", "X"} << QByteArray("X\r\n");
    }
    void listFile() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, entries);
        QFETCH(QByteArray, written);
        QCOMPARE(ParseMessageList(file), entries);
        QCOMPARE(MessageListBytes(QStringList{HelpEntry} + entries), written);
    }

    // Sorting puts the one help entry first and ignores case.
    void sortSearchAndDelete() {
        const QStringList list{HelpEntry, "set?", "*IDN?", "ID?", "Fac", "INIT", "a", HelpEntry};
        QCOMPARE(SortedEntries(list),
                 QStringList({HelpEntry, "*IDN?", "a", "Fac", "ID?", "INIT", "set?"}));
        QCOMPARE(QList<int>({FindPrefix(list, "*i"), FindPrefix(list, "i"), FindPrefix(list, "zz"),
                             FindEqual(list, "idn?"), FindEqual(list, "SET?")}),
                 QList<int>({2, 3, -1, -1, 1}));
        // The entry selected after deleting entry k of those left (the help entry counted).
        QCOMPARE(QList<int>({SelectionAfterDelete(1, 5), SelectionAfterDelete(5, 5),
                             SelectionAfterDelete(1, 1)}),
                 QList<int>({1, 4, 0}));
    }

    // A command error: bit 5 of the status byte under the registers method (1), bit 0 under
    // the serial poll (-1).
    void syntaxBytes() {
        QString errors;
        for (const int status : {0x60, 0x70, 0x61, 0x50})
            errors += IsSyntaxError(1, status) ? '1' : '0';
        for (const int status : {0x61, 0x71, 0x60})
            errors += IsSyntaxError(-1, status) ? '1' : '0';
        QCOMPARE(errors, QString("1100110"));
    }

    // Loading and addressing, with options stored (text reads by its leading number) and a
    // start-up file that exists but cannot be read: reported, never replaced. Three listeners in
    // ascending order, nothing selected. Keys in the incoming box with an answer shown: while
    // nothing can be sent, Enter and Tab go to the first address button, Escape closes nothing;
    // with a message typed Tab keeps the order (Clear follows). A quick click (released 3 ms
    // after the press, already waiting when the press arrives) on an address button that takes
    // the focus from the outgoing box is not lost, and the box's text is trimmed. Id All with
    // both boxes, clearing first: ID? first, *IDN? only after a timeout, "No response" for the
    // silent one; the descriptor talks to the selection again after it. At unload only the
    // options changed are written; a store that cannot be written is reported.
    void idAll() {
        Terminal t(Three, {{"Add LF", "1"}, {"Auto Clear", "0.6"}, {"Caps Only", "yes"}});
        QVERIFY(QDir(t.dir.path()).mkdir("StartUp.gmg"));
        t.sys.answerBox(Answer::Ok, "File Read error");
        QVERIFY(t.start());
        QVERIFY(QFileInfo(t.path("StartUp.gmg")).isDir() && t.form->Entries().isEmpty());
        QVERIFY(!t.ui()->Caps->isChecked() && t.ui()->bmID->isChecked());
        QVERIFY(ShowActive(t.form.get()));
        QStringList captions;
        for (QPushButton* b : t.form->AddressButton)
            if (b->isEnabled()) captions << b->text();
        QCOMPARE(captions, QStringList({"3", "9", "22"}));
        QVERIFY(!t.ui()->SendMessageList->isEnabled() && t.selection.SelectedButton == 0);
        t.form->PrintMessageList("ANSWER");
        const auto keyInIncoming = [&](Qt::Key key) {
            t.ui()->ReceivedMessages->setFocus();
            QTest::keyClick(t.ui()->ReceivedMessages, key);
            return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "";
        };
        QCOMPARE(QStringList({keyInIncoming(Qt::Key_Return), keyInIncoming(Qt::Key_Tab),
                              keyInIncoming(Qt::Key_Escape)}),
                 QStringList({"AddressButton_0", "AddressButton_0", "ReceivedMessages"}));
        QVERIFY(t.form->isVisible());

        t.ui()->AddressButton_0->click();
        t.ui()->SendMessageList->setEditText("  ID?  ");
        QCOMPARE(QApplication::focusWidget(), t.ui()->SendMessageList);
        QPushButton* button = t.ui()->AddressButton_1;
        QMetaObject::invokeMethod(
            button, [button] { QTest::mouseRelease(button, Qt::LeftButton, {}, {}, 3); },
            Qt::QueuedConnection);
        QTest::mousePress(button, Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(QVariantList({t.selection.SelectedButton, t.device.address(), button->isDown(),
                               t.ui()->SendMessageList->currentText(), button->font().bold(),
                               t.ui()->AddressButton_0->font().bold()}),
                 QVariantList({2, 9, false, "ID?", true, false}));
        QCOMPARE(keyInIncoming(Qt::Key_Tab), QString("ClearIncoming"));

        t.journal();
        t.form->IdAll_Click();
        QCOMPARE(t.form->Incoming,
                 QString("03: SIMLAB,M401A,0,1.0\r\n09: OLD 9\r\n22: No response\r\n"));
        QCOMPARE(t.journal(),
                 QStringList({"22 W ID?\\n", "22 W *IDN?\\n", "9 W ID?\\n", "9 R OLD 9\\r\\n",
                              "3 W ID?\\n", "3 W *IDN?\\n", "3 R SIMLAB,M401A,0,1.0\\n"}));
        t.ui()->bmAddLF->click();
        t.send("ID?");
        QCOMPARE(t.journal(), QStringList({"9 W ID?", "9 R OLD 9\\r\\n"}));
        QCOMPARE(t.timeout(), 12);
        t.form->Form_Unload();
        QCOMPARE(t.sys.settings, (QMap<QString, QString>{{"Busmate/Settings/Add LF", "0"},
                                                         {"Busmate/Settings/Auto Clear", "0.6"},
                                                         {"Busmate/Settings/Caps Only", "yes"}}));
        t.sys.settingsWriteFailure = "/cfg/Busmate/Busmate.ini could not be written.";
        t.sys.answerBox(Answer::Ok, "Save Settings Error");
        t.form->Form_Unload();
        QCOMPARE(t.sys.boxes.last().text, "The Busmate options could not be saved.\n"
                                          "/cfg/Busmate/Busmate.ini could not be written.");
    }

    // One listener is selected at once; a fresh folder gets the default start-up list. The
    // arrow keys walk the list, but Down does not stop on the help entry (it goes on to entry
    // 1, or empties the box when the help entry is all there is). Each kind of message: what
    // goes on the bus, and each answer on top of the box in full lines of 50 behind one prefix,
    // NUL included; the last message is in the list, selected. A character the bus cannot carry
    // is refused with a box, nothing sent or recorded. Clear leaves the help entry alone.
    void messagesAndLists() {
        const QByteArray longAnswer = QByteArray(60, 'x') + "\\u0000" + QByteArray(59, 'y');
        Terminal t(R"({ "address": 3, "replies": { "*IDN?": "SIMLAB,M401A,0,1.0",
            "CURVE": "1,2,3", "HOLD": "held", "LONG?": ")" +
                   longAnswer + R"(" }, "accepts": ["OUT ON", "VOLT *"] })");
        QVERIFY(t.start());
        QVERIFY(ShowActive(t.form.get()));
        QCOMPARE(QVariantList({t.selection.SelectedButton, t.device.address(),
                               t.ui()->AddressButton_0->font().bold(),
                               t.ui()->AddressButton_1->isEnabled()}),
                 QVariantList({1, 3, true, false}));
        QCOMPARE(t.form->Entries(), QStringList({"<Help>", "ID?", "*IDN?", "INIT", "FAC", "SET?"}));
        QCOMPARE(ReadAll(t.path("StartUp.gmg")), Defaults);
        QComboBox* box = t.ui()->SendMessageList;
        const auto arrow = [box](Qt::Key key) {
            box->setFocus();
            QTest::keyClick(QApplication::focusWidget(), key);
            return box->currentText();
        };
        box->setEditText("XYZ");
        QCOMPARE(QStringList({arrow(Qt::Key_Down), arrow(Qt::Key_Up)}),
                 QStringList({"ID?", "<Help>"}));

        t.journal();
        for (const char* s : {"*IDN?", "HOLD", "??", "OUT ON", "CURVE??", "LONG?"})
            t.send(s);
        QCOMPARE(t.journal(),
                 QStringList({"3 W *IDN?", "3 R SIMLAB,M401A,0,1.0\\n", "3 W HOLD", "3 R held\\n",
                              "3 W OUT ON", "3 W CURVE", "3 R 1,2,3\\n", "3 W LONG?",
                              "3 R " + QString(60, 'x') + "\\x00" + QString(59, 'y') + "\\n"}));
        const QString line2 = QString(10, 'x') + QChar(0) + QString(39, 'y');
        QCOMPARE(t.form->Incoming, "03: " + QString(50, 'x') + "\r\n03: " + line2 +
                                       "\r\n03: " + QString(20, 'y') +
                                       "\r\n03: 1,2,3\r\n03: held\r\n03: SIMLAB,M401A,0,1.0\r\n");
        QCOMPARE(t.ui()->ReceivedCharacters->text(), QString(" 120 "));
        QCOMPARE(t.form->Entries().at(t.form->ListIndex()), QString("LONG?"));
        QVERIFY(t.form->ListChanged);
        const QStringList entries = t.form->Entries();
        t.sys.answerBox(Answer::Ok, "Invalid Character");
        t.send("VOLT 5€");
        QCOMPARE(t.sys.boxes.last().text,
                 "The Outgoing Message holds the character €, which can't be sent on the "
                 "bus.\nOnly characters of the 8-bit code page (Latin-1) can be used.");
        QCOMPARE(t.form->Entries(), entries);
        t.send("VOLT 5µ");
        QCOMPARE(t.journal(), QStringList({"3 W VOLT 5\\xB5"}));

        // Clear leaves the help entry alone.
        t.sys.answerBox(Answer::Yes, "Clear Outgoing Messages");
        t.form->ClrMessageList_Click();
        QCOMPARE(t.form->Entries(), QStringList({"<Help>"}));
        box->setEditText("XYZ");
        QCOMPARE(arrow(Qt::Key_Down), QString());
    }
};

QTEST_MAIN(TestManualForm)
#include "tst_manualform.moc"
