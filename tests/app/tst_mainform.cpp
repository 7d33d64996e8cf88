// Start-up, first activation, the indicator and closing of the main window.
#include "FormFixture.h"
#include "app/Program.h"
#include "bus/BusAccess.h"
#include "settings/SettingsStore.h"
#include "settings/frmAbout.h"
#include <QApplication>
#include <QtTest>

using namespace platform;

namespace {
const QByteArray Instruments = R"({ "address": 22, "replies": {} },
    { "address": 3, "replies": {} }, { "address": 9, "replies": {} })";
} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void startUp() {
        FormFixture f(BenchJson(Instruments));
        QVERIFY(f.start());
        QCOMPARE(f.form->windowTitle(), QString("Sequor, v2.10 - July 2009 rev. March 2023"));
        QStringList entries;
        for (int i = 0; i < f.ui()->Combo_Addr->count(); ++i)
            entries << f.ui()->Combo_Addr->itemText(i);
        QCOMPARE(entries, QStringList({"None", "3", "9", "22"}));
        QVERIFY(DeviceUd != 0);
        // Everything else starts enabled.
        QStringList disabled; // widgets and menu items
        for (const QObject* o : f.form->findChildren<QObject*>())
            if (o->property("enabled") == QVariant(false)) disabled << o->objectName();
        disabled.sort();
        QCOMPARE(disabled,
                 QStringList({"Button_ApplyTime", "Button_Connect", "Button_Start", "Button_Stop",
                              "Button_Test", "Menu_OpenExcel_1", "Menu_OpenExcel_2",
                              "Menu_ShowConditional", "Menu_ViewTerm"}));
        // The recalled entries come up applied and unchanged.
        QVERIFY(f.form->TimeApplied && !SettingsChanged && f.form->CsvFile.endsWith("/Test.csv"));
        QVERIFY(f.sys.boxes.isEmpty());
        // A later activation recalls nothing.
        f.ui()->Text_FileName->setText("Other.csv");
        f.form->Form_Activate();
        QCOMPARE(f.ui()->Text_FileName->text(), QString("Other.csv"));
        // The conditional command indicator as started, then turned on and off again: only
        // the caption turns bold and blue.
        for (bool on : {false, true, false}) {
            QCOMPARE(f.ui()->Frame4->title(),
                     QString(" Sequence - Conditional Command %1 ").arg(on ? "ON" : "OFF"));
            QCOMPARE(QList<bool>({f.ui()->Menu_ShowConditional->isEnabled(),
                                  f.ui()->Frame4->font().bold(),
                                  f.ui()->Frame4->styleSheet().contains("#0000ff")}),
                     QList<bool>(3, on));
            QVERIFY(!f.ui()->Button_Start->font().bold());
            f.form->CondOnIndicator(!on);
        }
    }

    void noListenersEndsProgram() {
        FormFixture f(BenchJson(""));
        f.sys.answerBox(Answer::Ok, "Initialization Error 14");
        QVERIFY(!f.start());
        QCOMPARE(f.ui()->Combo_Addr->count(), 0);
    }

    // Closing asks once after a change (answer -1: no change); Cancel keeps window and entries.
    void exitQuestion_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::newRow("Yes") << int(Answer::Yes) << true;
        QTest::newRow("No") << int(Answer::No) << true;
        QTest::newRow("Cancel") << int(Answer::Cancel) << false;
        QTest::newRow("unchanged") << -1 << true;
    }
    void exitQuestion() {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        FormFixture f(BenchJson(Instruments));
        QVERIFY(f.start());
        f.form->show();
        if (answer >= 0) f.ui()->Text_MeasQuery->setText("MEAS?");
        if (answer >= 0) f.sys.answerBox(Answer(answer), "Exit");
        f.form->Menu_Exit_Click();
        QCOMPARE(f.sys.boxes.size(), answer >= 0 ? 1 : 0);
        for (const auto& box : f.sys.boxes)
            QVERIFY(box.text == "Do you want to save the Startup settings ?" &&
                    box.buttons == Buttons::YesNoCancel && box.icon == Icon::Question);
        QCOMPARE(!f.form->isVisible(), closed);
        if (!closed) QCOMPARE(f.ui()->Text_MeasQuery->text(), QString("MEAS?"));
    }

    // "?" anywhere after the program name shows only the about box; otherwise the driver is
    // asked for, and the one named here fails with a box of its own.
    void questionMark_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("about");
        QTest::newRow("/?") << QStringList{"sequor", "/?"} << true;
        QTest::newRow("inside") << QStringList{"sequor", "-x", "a?b"} << true;
        QTest::newRow("program name") << QStringList{"/opt/what?/sequor"} << false;
    }
    void questionMark() {
        QFETCH(QStringList, args);
        QFETCH(bool, about);
        ScriptedPlatform sys;
        if (!about) sys.answerBox(Answer::Ok, "Initialization Error");
        qputenv("SEQUOR_BUS", "sim:/nonexistent/bench.json");
        QString shown;
        QObject scope; // ends the timer with the test
        QTimer::singleShot(100, &scope, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (qobject_cast<frmAbout*>(modal)) shown = modal->windowTitle();
            if (modal) modal->close();
        });
        QCOMPARE(RunSequor(args), about ? 0 : 1);
        qputenv("SEQUOR_BUS", "sim");
        QCOMPARE(shown, about ? QString("About Sequor") : QString());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
