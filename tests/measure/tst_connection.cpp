// Connecting the main window to its measuring instrument, on a simulated bench.
#include "FormFixture.h"
#include "widgets/BusErrorBoxes.h"
#include <QRegularExpression>
#include <QTest>

// An instrument that also answers "WHO?" with its address, so the addressed one can be told.
static QByteArray Inst(int address, const QByteArray& replies = {}) {
    const QByteArray at = QByteArray::number(address);
    return "{ \"address\": " + at + ", \"replies\": { \"WHO?\": \"AT" + at + "\"" + replies + "} }";
}

// The connection frame as one text: device text, query, caption, DeviceAddress (and the
// "WHO?" answer there when it is another instrument's), the shown answer ("-" hidden), flags
// (K Connect, T Test, S Start enabled, C connected, M settings changed), the focused box or
// button ("-" another widget, whose focus only follows Qt's own rules), then the title of every
// box shown (the bus layer's tests pin their texts).
static QString Window(FormFixture& f) {
    Ui::MainForm* u = f.ui();
    const int address = f.p.instrument.address();
    const QString at = QString::number(address);
    const QString who =
        address ? QString::fromLatin1(ctl::AnswerOf(f.p.instrument.query("WHO?"))) : "";
    const QString flags =
        QString(u->Button_Connect->isEnabled() ? "K" : "") +
        (u->Button_Test->isEnabled() ? "T" : "") + (u->Button_Start->isEnabled() ? "S" : "") +
        (f.p.connection.Connected ? "C" : "") + (f.p.settings.changed() ? "M" : "");
    const QWidget* widget = f.form->focusWidget();
    QString focus = widget ? widget->objectName().section('_', 1) : "";
    if (!QStringList{"DeviceID", "MeasQuery", "Connect", "Test"}.contains(focus)) focus = "-";
    QStringList s = {u->Text_DeviceID->text(), u->Text_MeasQuery->text(), u->Frame1->title()};
    s << (who.isEmpty() || who == "AT" + at ? at : at + " " + who)
      << (u->Text_IDResponse->isHidden() ? "-" : u->Text_IDResponse->text()) << flags << focus;
    for (const platform::BoxRecord& box : f.sys.boxes)
        s << "[" + box.title + "]";
    return s.join('|');
}

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    // Each row's name is the script run on the started window, whose query is "MEAS?" and
    // whose start-up timing is applied.
    void connect_data() {
        QTest::addColumn<QByteArray>("instruments");
        QTest::addColumn<QString>("window");
        auto row = [](const char* t, QByteArray i, QString w) { QTest::newRow(t) << i << w; };
        const QByteArray one = Inst(3, R"(, "ID?": "m401a", "*IDN?": "simlab,M401A,0,1.0")");
        const QByteArray two = one + ", " + Inst(6, R"(, "*IDN?": "OTHERCO,X9,0,2")");
        const QByteArray err = Inst(2, R"(, "ID?": { "write_error": 6 })") + ", " +
                               Inst(5, R"(, "ID?": "FLUKE 8840A")");
        const QString errBox = "|[GPIB ERROR # 6]";
        // A silent listener, then two answers that hold the typed text (whatever the case of its
        // ASCII letters; other letters stay as typed): the search goes on, the lowest address
        // wins, and a percent sign is no placeholder in the caption.
        row("mode1 id=50µv%1 connect",
            Inst(2, R"(, "*IDN?": null)") + ", " + Inst(9, R"(, "*IDN?": "X 50µV%1")") + ", " +
                Inst(5, R"(, "*IDN?": "a,50µV%1-m")"),
            "50µv%1|MEAS?|  Connected to 50µv%1 at address 5  |5|A,50µV%1-M|TSC|Test|"
            "[I/O Error]");
        // A failed search leaves the descriptor on the instrument connected before.
        row("mode1 id=M401A connect id=NOWHERE connect", two,
            "NOWHERE|MEAS?|  Not Connected  |3||K|DeviceID|"
            "[Device Error]");
        // A write error answered with OK goes on searching; Start needs applied timing.
        row("id=88 clear connect", err,
            "88|MEAS?|  Connected to 88 at address 5  |5|FLUKE 8840A|TC|Test" + errBox);
        // Without a query, Test and Start stay off and the query box gets the focus.
        row("q=___ mode2 addr=7 connect", Inst(2) + ", " + Inst(7),
            "|   |  Connected to address 7  |7|-|C|MeasQuery");
        // Edits of the mode or the device text drop the connection; Enter with both boxes
        // filled moves on to Connect.
        row("id=M401A connect mode1 qkeys=!", one, "M401A|MEAS?|  Not Connected  |3||KM|Connect");
        // Typed letters become upper case; Enter moves on to the other box or to Connect.
        row("q= qkeys=*idn?;ab1!", one, "|*IDN?;AB1|  Not Connected   |0||M|DeviceID");
    }
    void connect() {
        QFETCH(QByteArray, instruments);
        QFETCH(QString, window);
        if (instruments.contains("write_error") && !BusReportsWriteErrors())
            QSKIP("this bus cannot report a failed write");
        FormFixture f(BenchJson(instruments));
        QVERIFY(f.start());
        f.ui()->Text_MeasQuery->setText("MEAS?");
        // Every box the row expects is answered.
        for (const auto& m : QRegularExpression(R"(\[([^\]]+)\])").globalMatch(window))
            f.sys.answerBox(platform::Answer::Ok, m.captured(1));
        // Steps: "modeN" (0 "ID?", 1 "*IDN?", 2 by address), "connect", "clear" (the timing),
        // "id=text" and "q=text" (pasted; "_" a blank), "addr=N" (chosen in the address list),
        // "idkeys=" and "qkeys=" (typed into that box; "!" is Enter).
        for (QString step : QString(QTest::currentDataTag()).split(' ')) {
            const QString value = step.section('=', 1).replace('_', ' ').replace('!', '\r');
            auto* box = step.startsWith("id") ? f.ui()->Text_DeviceID : f.ui()->Text_MeasQuery;
            if (step.startsWith("mode")) f.p.Option_ID[step.right(1).toInt()]->click();
            if (step == "connect") f.p.Button_Connect_Click();
            if (step == "connect") f.p.settings.markSaved();
            if (step == "clear") f.ui()->Button_Clear->click();
            if (step.startsWith("id=") || step.startsWith("q=")) box->setText(value);
            if (step.startsWith("addr=")) f.ui()->Combo_Addr->setCurrentText(value);
            if (step.startsWith("addr=")) f.p.Combo_Addr_Click();
            if (step.contains("keys=")) QTest::keyClicks(box, value);
        }
        QCOMPARE(Window(f), window);
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
