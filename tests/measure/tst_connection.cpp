// Connecting the main window to its measuring instrument, on a simulated bench.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "settings/SettingsStore.h"
#include <QApplication>
#include <QTest>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {
QByteArray Inst(int address, const QByteArray& replies) {
    return "{ \"address\": " + QByteArray::number(address) + ", \"replies\": " + replies + " }";
}

// Which instrument the shared descriptor talks to now, read back over the bus.
QByteArray AddressedIdentity() {
    return GpibQuery(DeviceUd, "WHO?");
}

QByteArray Who(int address) {
    return "\"WHO?\": \"AT" + QByteArray::number(address) + "\"";
}

// The window shown and active, so that focus moves can be observed.
void ShowActive(MainForm* form) {
    form->show();
    QApplication::setActiveWindow(form);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
}

void SelectAddress(FormFixture& f, const QString& address) {
    f.ui()->Combo_Addr->setCurrentIndex(f.ui()->Combo_Addr->findText(address));
    f.form->Combo_Addr_Click();
}
} // namespace

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    void connectByIdentification_data() {
        QTest::addColumn<QByteArray>("instruments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("response");

        const QByteArray modern = Inst(3, R"({ "*IDN?": "simlab,M401A,0,1.0", )" + Who(3) + "}");
        QTest::newRow("older instrument by ID?")
            << Inst(4, R"({ "ID?": "hp3478a", )" + Who(4) + "}") << 0 << "3478" << 4 << "HP3478A";
        QTest::newRow("by *IDN?") << modern << 1 << "SIMLAB" << 3 << "SIMLAB,M401A,0,1.0";
        QTest::newRow("lower case matches inside the model field")
            << modern << 1 << "401a" << 3 << "SIMLAB,M401A,0,1.0";
        QTest::newRow("lowest address wins")
            << Inst(9, R"({ "*IDN?": "SIMLAB,M402B,0,1.0", )" + Who(9) + "}") + ", " + modern << 1
            << "simlab" << 3 << "SIMLAB,M401A,0,1.0";
        QTest::newRow("later listener matches")
            << modern + ", " + Inst(9, R"({ "*IDN?": "OTHERCO,X9,0,2", )" + Who(9) + "}") << 1
            << "OTHERCO" << 9 << "OTHERCO,X9,0,2";
        QTest::newRow("non-ASCII letters typed as answered")
            << Inst(5, R"({ "*IDN?": "acme,50µV-meter", )" + Who(5) + "}") << 1 << "50µv" << 5
            << "ACME,50µV-METER";
        // A typed percent sign is plain text in the caption, not a placeholder.
        QTest::newRow("percent sign in the typed text")
            << Inst(5, R"({ "*IDN?": "LAB 50%1 SUPPLY", )" + Who(5) + "}") << 1 << "50%1" << 5
            << "LAB 50%1 SUPPLY";
    }
    void connectByIdentification() {
        QFETCH(QByteArray, instruments);
        QFETCH(int, mode);
        QFETCH(QString, typed);
        QFETCH(int, address);
        QFETCH(QString, response);

        FormFixture f(BenchJson(instruments));
        QVERIFY2(f.bench.ok(), qPrintable(f.bench.error()));
        QVERIFY(f.start());
        f.form->Option_ID[mode]->click();
        f.ui()->Text_DeviceID->setText(typed);
        f.ui()->Text_MeasQuery->setText("MEAS?");
        QVERIFY(f.ui()->Button_Connect->isEnabled());

        f.form->Button_Connect_Click();

        QVERIFY(f.sys.boxes.isEmpty());
        QVERIFY(f.form->Connected);
        QCOMPARE(DeviceAddress, address);
        QCOMPARE(f.ui()->Text_IDResponse->text(), response);
        QCOMPARE(f.ui()->Frame1->title(),
                 "  Connected to " + typed + " at address " + QString::number(address) + "  ");
        QCOMPARE(AddressedIdentity(), "AT" + QByteArray::number(address));
        QVERIFY(!f.ui()->Button_Connect->isEnabled());
        QVERIFY(f.ui()->Button_Test->isEnabled());
    }

    void connectByAddressNeedsNoAnswer() {
        // The instrument at 7 answers nothing: a query would show a read failure box.
        FormFixture f(BenchJson(Inst(2, "{}") + ", " + Inst(7, "{}")));
        QVERIFY(f.start());
        QCOMPARE(f.ui()->Combo_Addr->count(), 3);
        f.form->Option_ID[2]->click();
        QCOMPARE(f.ui()->Label5->text(), QStringLiteral("Select GPIB Address:"));
        QVERIFY(!f.ui()->Button_Connect->isEnabled()); // "None" is selected

        SelectAddress(f, "7");
        QVERIFY(f.ui()->Button_Connect->isEnabled());
        SelectAddress(f, "None");
        QVERIFY(!f.ui()->Button_Connect->isEnabled());
        SelectAddress(f, "7");

        f.form->Button_Connect_Click();
        QVERIFY(f.sys.boxes.isEmpty());
        QVERIFY(f.form->Connected);
        QCOMPARE(DeviceAddress, 7);
        QCOMPARE(f.ui()->Frame1->title(), QStringLiteral("  Connected to address 7  "));
        QVERIFY(!f.ui()->Button_Connect->isEnabled());
    }

    void noAddressChosenDoesNotConnect() {
        FormFixture f(BenchJson(Inst(7, "{}")));
        QVERIFY(f.start());
        f.form->Option_ID[2]->click();
        QVERIFY(!f.ui()->Button_Connect->isEnabled());
        // A settings recall fills the hidden identification text, which enables Connect.
        f.ui()->Text_DeviceID->setText("M401A");
        f.form->Button_Connect_Click();
        QVERIFY(!f.form->Connected);
        QCOMPARE(f.ui()->Frame1->title(), QStringLiteral("  Not Connected  "));
        QVERIFY(f.sys.boxes.isEmpty());
    }

    void silentListenerIsSkipped() {
        FormFixture f(BenchJson(Inst(2, R"({ "*IDN?": null })") + ", " +
                                Inst(5, R"({ "*IDN?": "SIMLAB,M401A,0,1.0" })")));
        QVERIFY(f.start());
        f.form->Option_ID[1]->click();
        f.ui()->Text_DeviceID->setText("M401A");
        f.sys.answerBox(Answer::Ok, "I/O Error");

        f.form->Button_Connect_Click();

        QCOMPARE(f.sys.boxes.size(), 1);
        QCOMPARE(f.sys.boxes[0].text, QStringLiteral("Read cycle failed\nOperation aborted."));
        QVERIFY(f.form->Connected);
        QCOMPARE(DeviceAddress, 5);
    }

    void noMatch_data() {
        QTest::addColumn<QByteArray>("instruments");
        QTest::addColumn<int>("readFailures");
        QTest::newRow("answers differ")
            << Inst(3, R"({ "*IDN?": "SIMLAB,M401A,0,1.0", "WHO?": "AT3" })") + ", " +
                   Inst(6, R"({ "*IDN?": "OTHERCO,X9,0,2", "WHO?": "AT6" })")
            << 0;
        QTest::newRow("all silent") << Inst(3, R"({ "*IDN?": null, "WHO?": "AT3" })") + ", " +
                                           Inst(6, R"({ "*IDN?": null, "WHO?": "AT6" })")
                                    << 2;
    }
    void noMatch() {
        QFETCH(QByteArray, instruments);
        QFETCH(int, readFailures);
        FormFixture f(BenchJson(instruments));
        QVERIFY(f.start());
        ShowActive(f.form.get());
        f.form->Option_ID[1]->click();
        f.ui()->Text_DeviceID->setText("Xyz");
        f.ui()->Text_MeasQuery->setText("MEAS?");
        f.ui()->Button_Connect->setFocus();
        for (int i = 0; i < readFailures; ++i)
            f.sys.answerBox(Answer::Ok, "I/O Error");
        f.sys.answerBox(Answer::Ok, "Device Error");

        f.form->Button_Connect_Click();

        QCOMPARE(f.sys.boxes.size(), readFailures + 1);
        const platform::BoxRecord& box = f.sys.boxes.last();
        QCOMPARE(box.title, QStringLiteral("Device Error"));
        QCOMPARE(box.text, QStringLiteral("No response that matched Xyz was found."));
        QCOMPARE(box.buttons, Buttons::Ok);
        QCOMPARE(box.icon, Icon::Information);
        QVERIFY(!f.form->Connected);
        QCOMPARE(f.ui()->Frame1->title(), QStringLiteral("  Not Connected  "));
        QVERIFY(f.ui()->Button_Connect->isEnabled());
        QVERIFY(!f.ui()->Button_Test->isEnabled());
        QVERIFY(!f.ui()->Button_Start->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f.ui()->Text_DeviceID);
    }

    void failedSearchKeepsTheDescriptorOnTheConnectedAddress() {
        FormFixture f(BenchJson(Inst(3, R"({ "*IDN?": "SIMLAB,M401A,0,1.0", "WHO?": "AT3" })") +
                                ", " + Inst(6, R"({ "*IDN?": "OTHERCO,X9,0,2", "WHO?": "AT6" })")));
        QVERIFY(f.start());
        f.form->Option_ID[1]->click();
        f.ui()->Text_DeviceID->setText("M401A");
        f.form->Button_Connect_Click();
        QCOMPARE(DeviceAddress, 3);

        f.ui()->Text_DeviceID->setText("NOWHERE");
        f.sys.answerBox(Answer::Ok, "Device Error");
        f.form->Button_Connect_Click();
        QCOMPARE(DeviceAddress, 3);
        QCOMPARE(AddressedIdentity(), QByteArray("AT3"));
    }

    void writeErrorOnTheQuery_data() {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("OK goes on with the next listener") << true;
        QTest::newRow("Cancel ends the program") << false;
    }
    void writeErrorOnTheQuery() {
        QFETCH(bool, goOn);
        FormFixture f(BenchJson(Inst(2, R"({ "ID?": { "write_error": 6 } })") + ", " +
                                Inst(5, R"({ "ID?": "FLUKE 8840A" })")));
        QVERIFY(f.start());
        f.ui()->Text_DeviceID->setText("8840");
        f.sys.answerBox(goOn ? Answer::Ok : Answer::Cancel, "GPIB ERROR # 6");

        if (!goOn) {
            QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, f.form->Button_Connect_Click());
            QCOMPARE(f.sys.boxes.size(), 1);
            QVERIFY(!f.form->Connected);
            return;
        }
        f.form->Button_Connect_Click();
        QCOMPARE(f.sys.boxes.size(), 1);
        QCOMPARE(f.sys.boxes[0].buttons, Buttons::OkCancel);
        QVERIFY(f.form->Connected);
        QCOMPARE(DeviceAddress, 5);
        QCOMPARE(f.ui()->Text_IDResponse->text(), QStringLiteral("FLUKE 8840A"));
    }

    void enabledStatesAfterConnect_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("timingApplied");
        QTest::addColumn<bool>("testEnabled");
        QTest::addColumn<bool>("startEnabled");
        QTest::newRow("query, timing applied") << "MEAS?" << true << true << true;
        QTest::newRow("query, timing not applied") << "MEAS?" << false << true << false;
        QTest::newRow("no query, timing applied") << "" << true << false << false;
        QTest::newRow("only blanks, timing applied") << "   " << true << false << false;
    }
    void enabledStatesAfterConnect() {
        QFETCH(QString, query);
        QFETCH(bool, timingApplied);
        QFETCH(bool, testEnabled);
        QFETCH(bool, startEnabled);
        FormFixture f(BenchJson(Inst(3, R"({ "ID?": "M401A" })")));
        QVERIFY(f.start());
        ShowActive(f.form.get());
        QVERIFY(f.form->TimeApplied); // the start-up entries are applied
        if (!timingApplied) f.form->Button_Clear_Click();
        QCOMPARE(f.form->TimeApplied, timingApplied);
        f.ui()->Text_DeviceID->setText("M401A");
        f.ui()->Text_MeasQuery->setText(query);

        f.form->Button_Connect_Click();

        QVERIFY(f.form->Connected);
        QVERIFY(!f.ui()->Button_Connect->isEnabled());
        QCOMPARE(f.ui()->Button_Test->isEnabled(), testEnabled);
        QCOMPARE(f.ui()->Button_Start->isEnabled(), startEnabled);
        QCOMPARE(QApplication::focusWidget(), testEnabled
                                                  ? static_cast<QWidget*>(f.ui()->Button_Test)
                                                  : static_cast<QWidget*>(f.ui()->Text_MeasQuery));

        // A query typed afterwards completes the connection's enabling.
        if (!testEnabled) {
            f.ui()->Text_MeasQuery->setText("MEAS?");
            QVERIFY(f.ui()->Button_Test->isEnabled());
            QCOMPARE(f.ui()->Button_Start->isEnabled(), timingApplied);
        }
    }

    void editsDropTheConnection_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("edit");
        QTest::newRow("ID? to *IDN?") << 0 << "mode 1";
        QTest::newRow("*IDN? to ID?") << 1 << "mode 0";
        QTest::newRow("identification to address") << 0 << "mode 2";
        QTest::newRow("device text edited") << 0 << "device text";
        QTest::newRow("device text cleared by double click") << 0 << "double click";
        QTest::newRow("another address") << 2 << "address 9";
        QTest::newRow("address to identification") << 2 << "mode 0";
    }
    void editsDropTheConnection() {
        QFETCH(int, mode);
        QFETCH(QString, edit);
        FormFixture f(BenchJson(Inst(3, R"({ "ID?": "M401A", "*IDN?": "SIMLAB,M401A" })") + ", " +
                                Inst(9, "{}")));
        QVERIFY(f.start());
        f.form->Option_ID[mode]->click();
        f.ui()->Text_DeviceID->setText("M401A");
        if (mode == 2) SelectAddress(f, "3");
        f.ui()->Text_MeasQuery->setText("MEAS?");
        f.form->Button_Connect_Click();
        QVERIFY(f.form->Connected);
        QVERIFY(f.ui()->Button_Start->isEnabled());
        SettingsChanged = false;

        if (edit.startsWith("mode "))
            f.form->Option_ID[edit.right(1).toInt()]->click();
        else if (edit == "device text")
            f.ui()->Text_DeviceID->setText("M401");
        else if (edit == "double click")
            f.form->Text_DeviceID_DblClick();
        else if (edit == "address 9")
            SelectAddress(f, "9");

        QVERIFY(!f.form->Connected);
        QCOMPARE(f.ui()->Frame1->title(), QStringLiteral("  Not Connected  "));
        QVERIFY(!f.ui()->Button_Test->isEnabled());
        QVERIFY(!f.ui()->Button_Start->isEnabled());
        // A stale answer may stay behind the hidden box in address mode, never on show.
        QVERIFY(f.ui()->Text_IDResponse->isHidden() || f.ui()->Text_IDResponse->text().isEmpty());
        QVERIFY(SettingsChanged);
        // Connect comes back whenever there is something to connect by.
        const bool byAddress = f.form->Option_ID[2]->isChecked();
        QCOMPARE(f.ui()->Button_Connect->isEnabled(),
                 byAddress ? f.ui()->Combo_Addr->currentIndex() >= 1
                           : !f.ui()->Text_DeviceID->text().isEmpty());
        QCOMPARE(f.form->LastIdOption, byAddress ? 2 : f.form->Option_ID[1]->isChecked() ? 1 : 0);
    }

    void clearingTheQueryDisablesTestAndStart() {
        FormFixture f(BenchJson(Inst(3, R"({ "ID?": "M401A" })")));
        QVERIFY(f.start());
        f.ui()->Text_DeviceID->setText("M401A");
        f.ui()->Text_MeasQuery->setText("MEAS?");
        f.form->Button_Connect_Click();
        QVERIFY(f.ui()->Button_Start->isEnabled());
        f.form->Text_MeasQuery_DblClick();
        QVERIFY(f.ui()->Text_MeasQuery->text().isEmpty());
        QVERIFY(!f.ui()->Button_Test->isEnabled());
        QVERIFY(!f.ui()->Button_Start->isEnabled());
        QVERIFY(f.form->Connected); // the instrument is still the chosen one
        f.ui()->Text_MeasQuery->setText("MEAS?");
        QVERIFY(f.ui()->Button_Test->isEnabled());
        QVERIFY(f.ui()->Button_Start->isEnabled());
    }

    void startUpRecallDoesNotMarkSettingsChanged() {
        FormFixture f(BenchJson(Inst(3, "{}")));
        f.form->Form_Load();
        f.ui()->Text_DeviceID->setText("M401A"); // as the start-up recall fills it
        f.ui()->Text_MeasQuery->setText("MEAS?");
        QVERIFY(!SettingsChanged);
        QVERIFY(f.ui()->Button_Connect->isEnabled());
    }

    void typedLettersBecomeUpperCase_data() {
        QTest::addColumn<bool>("deviceBox");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("device id") << true << "m401a, z"
                                   << "M401A, Z";
        QTest::newRow("query") << false << "meas:volt?"
                               << "MEAS:VOLT?";
        QTest::newRow("query keeps symbols") << false << "*idn?;ab_1"
                                             << "*IDN?;AB_1";
    }
    void typedLettersBecomeUpperCase() {
        QFETCH(bool, deviceBox);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        FormFixture f(BenchJson(Inst(3, "{}")));
        QVERIFY(f.start());
        ShowActive(f.form.get());
        QLineEdit* box = deviceBox ? f.ui()->Text_DeviceID : f.ui()->Text_MeasQuery;
        box->clear();
        box->setFocus();
        QTest::keyClicks(box, keys);
        QCOMPARE(box->text(), text);
    }

    void enterMovesTheFocus_data() {
        QTest::addColumn<bool>("fromDevice");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("focus");
        QTest::newRow("device, query empty") << true << "M401A"
                                             << ""
                                             << "Text_MeasQuery";
        QTest::newRow("device, both filled") << true << "M401A"
                                             << "MEAS?"
                                             << "Button_Connect";
        QTest::newRow("device empty stays") << true << ""
                                            << "MEAS?"
                                            << "Text_DeviceID";
        QTest::newRow("query, device empty") << false << ""
                                             << "MEAS?"
                                             << "Text_DeviceID";
        QTest::newRow("query, both filled") << false << "M401A"
                                            << "MEAS?"
                                            << "Button_Connect";
        QTest::newRow("query empty stays") << false << "M401A"
                                           << ""
                                           << "Text_MeasQuery";
    }
    void enterMovesTheFocus() {
        QFETCH(bool, fromDevice);
        QFETCH(QString, device);
        QFETCH(QString, query);
        QFETCH(QString, focus);
        FormFixture f(BenchJson(Inst(3, R"({ "ID?": "M401A" })")));
        QVERIFY(f.start());
        ShowActive(f.form.get());
        f.ui()->Text_DeviceID->setText(device);
        f.ui()->Text_MeasQuery->setText(query);
        QLineEdit* from = fromDevice ? f.ui()->Text_DeviceID : f.ui()->Text_MeasQuery;
        from->setFocus();
        QCOMPARE(QApplication::focusWidget(), from);

        QTest::keyClick(from, Qt::Key_Return);

        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        // Enter only moves on: it neither connects nor changes the text.
        QVERIFY(!f.form->Connected);
        QVERIFY(f.sys.boxes.isEmpty());
        QCOMPARE(f.ui()->Text_DeviceID->text(), device);
        QCOMPARE(f.ui()->Text_MeasQuery->text(), query);
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
