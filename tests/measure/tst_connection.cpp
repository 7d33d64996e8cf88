// Connecting the main window to its measuring instrument, on a simulated bench.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "settings/SettingsStore.h"
#include <QApplication>
#include <QRegularExpression>
#include <QTest>

namespace {
// An instrument that also answers "WHO?" with its address, so the addressed one can be told.
QByteArray Inst(int address, const QByteArray& replies = {}) {
    const QByteArray at = QByteArray::number(address);
    return "{ \"address\": " + at + ", \"replies\": { \"WHO?\": \"AT" + at + "\"" + replies + "} }";
}

// The connection frame as one text: device text, query, caption, DeviceAddress (and the
// "WHO?" answer there when it is another instrument's), the shown answer ("-" hidden), flags
// (K Connect, T Test, S Start enabled, C connected, M settings changed), the focused box or
// button, then every box shown.
QString Window(FormFixture& f) {
    Ui::MainForm* u = f.ui();
    const QString at = QString::number(DeviceAddress);
    const QString who = DeviceAddress ? QString::fromLatin1(GpibQuery(DeviceUd, "WHO?")) : "";
    const QString flags = QString(u->Button_Connect->isEnabled() ? "K" : "") +
                          (u->Button_Test->isEnabled() ? "T" : "") +
                          (u->Button_Start->isEnabled() ? "S" : "") +
                          (f.form->Connected ? "C" : "") + (SettingsChanged ? "M" : "");
    QString focus = QApplication::focusWidget()->objectName().section('_', 1);
    if (!QStringList{"DeviceID", "MeasQuery", "Connect", "Test"}.contains(focus)) focus = "-";
    QStringList s = {u->Text_DeviceID->text(), u->Text_MeasQuery->text(), u->Frame1->title()};
    s << (who.isEmpty() || who == "AT" + at ? at : at + " " + who)
      << (u->Text_IDResponse->isHidden() ? "-" : u->Text_IDResponse->text()) << flags << focus;
    for (const platform::BoxRecord& box : f.sys.boxes)
        s << "[" + box.title + "] " + box.text;
    return s.join('|');
}
} // namespace

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    // Each row's name is the script run on the started window, whose query is "MEAS?" and
    // whose start-up timing is applied.
    void connect_data() {
        QTest::addColumn<QByteArray>("instruments");
        QTest::addColumn<QString>("window"); // ends in "ended" where the program ended
        const QByteArray one = Inst(3, R"(, "ID?": "m401a", "*IDN?": "simlab,M401A,0,1.0")");
        const QByteArray two = one + ", " + Inst(6, R"(, "*IDN?": "OTHERCO,X9,0,2")");
        const QByteArray err = Inst(2, R"(, "ID?": { "write_error": 6 })") + ", " +
                               Inst(5, R"(, "ID?": "FLUKE 8840A")");
        const QString errBox = "|[GPIB ERROR # 6] I/O operation aborted - timeout.\n"
                               "Select OK to continue or Cancel to terminate program.";
        QTest::newRow("id=M401A connect")
            << one << "M401A|MEAS?|  Connected to M401A at address 3  |3|M401A|TSC|Test";
        QTest::newRow("mode1 id=simlab connect (lowest address wins)")
            << Inst(9, R"(, "*IDN?": "SIMLAB,M402B")") + ", " + one
            << "simlab|MEAS?|  Connected to simlab at address 3  |3|SIMLAB,M401A,0,1.0|TSC|Test";
        // Typed text is found anywhere in the answer, whatever the case of its ASCII letters;
        // other letters stay as typed, and a percent sign is no placeholder in the caption.
        QTest::newRow("mode1 id=50µv%1 connect")
            << Inst(5, R"(, "*IDN?": "acme,50µV%1-meter")")
            << "50µv%1|MEAS?|  Connected to 50µv%1 at address 5  |5|ACME,50µV%1-METER|TSC|Test";
        QTest::newRow("mode2 addr=7 connect")
            << Inst(2) + ", " + Inst(7) << "|MEAS?|  Connected to address 7  |7|-|TSC|Test";
        // A recalled device text enables Connect while "None" is chosen.
        QTest::newRow("mode2 id=X connect") << Inst(7) << "X|MEAS?|  Not Connected  |0|-|K|-";
        QTest::newRow("mode1 id=M401A connect (silent listener)")
            << Inst(2, R"(, "*IDN?": null)") + ", " + Inst(5, R"(, "*IDN?": "SIMLAB,M401A")")
            << "M401A|MEAS?|  Connected to M401A at address 5  |5|SIMLAB,M401A|TSC|Test|"
               "[I/O Error] Read cycle failed\nOperation aborted.";
        // A failed search leaves the descriptor on the instrument connected before.
        QTest::newRow("mode1 id=M401A connect id=NOWHERE connect")
            << two
            << "NOWHERE|MEAS?|  Not Connected  |3||K|DeviceID|"
               "[Device Error] No response that matched NOWHERE was found.";
        QTest::newRow("id=88 connect (write error, OK)")
            << err << "88|MEAS?|  Connected to 88 at address 5  |5|FLUKE 8840A|TSC|Test" + errBox;
        QTest::newRow("id=88 connect (write error, Cancel)")
            << err << "88|MEAS?|  Not Connected  |0||KM|-" + errBox + "|ended";
        // Enabled states after Connect: Start needs applied timing, Test and Start a query.
        QTest::newRow("id=M401A clear connect")
            << one << "M401A|MEAS?|  Connected to M401A at address 3  |3|M401A|TC|Test";
        QTest::newRow("q=___ id=M401A connect")
            << one << "M401A|   |  Connected to M401A at address 3  |3|M401A|C|MeasQuery";
        QTest::newRow("q=___ id=M401A connect q=MEAS?")
            << one << "M401A|MEAS?|  Connected to M401A at address 3  |3|M401A|TSCM|MeasQuery";
        // Edits of the mode, the address or the device text drop the connection.
        QTest::newRow("id=M401A connect mode1") << one << "M401A|MEAS?|  Not Connected  |3||KM|-";
        QTest::newRow("id=M401A connect mode2") << one << "M401A|MEAS?|  Not Connected  |3|-|M|-";
        QTest::newRow("id=M401A connect dbl") << one << "|MEAS?|  Not Connected  |3||M|DeviceID";
        QTest::newRow("mode2 addr=3 connect addr=6") << two << "|MEAS?|  Not Connected  |3|-|KM|-";
        QTest::newRow("id=M401A mode2 addr=3 connect mode0")
            << one << "M401A|MEAS?|  Not Connected  |3||KM|-";
        // Typed letters become upper case; Enter moves on to the other box or to Connect.
        QTest::newRow("q= idkeys=m401a,z!") << one << "M401A,Z||  Not Connected  |0||KM|MeasQuery";
        QTest::newRow("idkeys=m401a!") << one << "M401A|MEAS?|  Not Connected  |0||KM|Connect";
        QTest::newRow("idkeys=!") << one << "|MEAS?|  Not Connected   |0||M|DeviceID";
        QTest::newRow("q= qkeys=*idn?;ab1!")
            << one << "|*IDN?;AB1|  Not Connected   |0||M|DeviceID";
    }
    void connect() {
        QFETCH(QByteArray, instruments);
        QFETCH(QString, window);
        FormFixture f(BenchJson(instruments));
        QVERIFY(f.start());
        f.form->show();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        f.ui()->Text_MeasQuery->setText("MEAS?");
        // Every box the row expects is answered, with Cancel where the program ends.
        const auto answer =
            window.endsWith("ended") ? platform::Answer::Cancel : platform::Answer::Ok;
        for (const auto& m : QRegularExpression(R"(\[([^\]]+)\])").globalMatch(window))
            f.sys.answerBox(answer, m.captured(1));
        // Steps: "modeN", "id=text", "q=text" ("_" a blank), "addr=N", "connect", "clear" (the
        // timing), "dbl" (double click on the device text), "idkeys=" and "qkeys=" (typed into the
        // focused box; "!" is Enter); a part in brackets only names the row.
        QString got;
        try {
            for (QString step : QString(QTest::currentDataTag()).section(" (", 0, 0).split(' ')) {
                const QString value = step.section('=', 1).replace('_', ' ').replace('!', '\r');
                auto* keys = step.startsWith("id") ? f.ui()->Text_DeviceID : f.ui()->Text_MeasQuery;
                if (step.startsWith("mode")) f.form->Option_ID[step.right(1).toInt()]->click();
                if (step.startsWith("id=")) f.ui()->Text_DeviceID->setText(value);
                if (step.startsWith("q=")) f.ui()->Text_MeasQuery->setText(value);
                if (step.startsWith("addr=")) f.ui()->Combo_Addr->setCurrentText(value);
                if (step.startsWith("addr=")) f.form->Combo_Addr_Click();
                if (step == "connect") f.form->Button_Connect_Click();
                if (step == "connect") SettingsChanged = false;
                if (step == "clear") f.ui()->Button_Clear->click();
                if (step == "dbl") QTest::mouseDClick(f.ui()->Text_DeviceID, Qt::LeftButton);
                if (step.contains("keys=")) keys->setFocus();
                if (step.contains("keys=")) QTest::keyClicks(keys, value);
            }
        } catch (const platform::ProgramEnded&) {
            got = "|ended";
        }
        QCOMPARE(Window(f) + got, window);
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
