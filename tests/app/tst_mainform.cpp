// Start-up, first activation, the indicator and closing of the main window.
#include "FormFixture.h"
#include "app/Program.h"
#include "bus/BusAccess.h"
#include "settings/frmAbout.h"
#include <QtTest>

using namespace platform;

static const QByteArray Instruments = R"({ "address": 22, "replies": {} },
    { "address": 3, "replies": {} }, { "address": 9, "replies": {} })";

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void startUp() {
        FormFixture f(BenchJson(Instruments));
        QVERIFY(f.start());
        QCOMPARE(f.form->windowTitle(), QString("Sequor, v2.10 - July 2009 rev. March 2023"));
        // The addresses in ascending order, then what starts disabled (widgets and menu items).
        QStringList shown, disabled;
        for (int i = 0; i < f.ui()->Combo_Addr->count(); ++i)
            shown << f.ui()->Combo_Addr->itemText(i);
        for (const QObject* o : f.form->findChildren<QObject*>())
            if (o->property("enabled") == QVariant(false)) disabled << o->objectName();
        disabled.sort();
        QCOMPARE(shown + disabled,
                 QStringList({"None", "3", "9", "22", "Button_ApplyTime", "Button_Connect",
                              "Button_Start", "Button_Stop", "Button_Test", "Menu_OpenExcel_1",
                              "Menu_OpenExcel_2", "Menu_ShowConditional", "Menu_ViewTerm"}));
        // The descriptor is open and the recalled entries come up applied.
        QVERIFY(DeviceUd != 0 && f.p.timing.TimeApplied &&
                f.p.logFile.CsvFile.endsWith("/Test.csv"));
        // The indicator as started, turned on and off again: only the caption turns bold and blue.
        const QGroupBox* frame = f.ui()->Frame4;
        for (bool on : {false, true, false}) {
            QCOMPARE(
                QVariantList({frame->title(), f.ui()->Menu_ShowConditional->isEnabled(),
                              frame->font().bold(), frame->styleSheet().contains("#0000ff"),
                              f.ui()->Button_Start->font().bold()}),
                QVariantList({QString(" Sequence - Conditional Command %1 ").arg(on ? "ON" : "OFF"),
                              on, on, on, false}));
            f.p.CondOnIndicator(!on);
        }
    }

    // Closing asks once after a change (answer -1: no change); Cancel keeps window and entries.
    void exitQuestion_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("Yes") << int(Answer::Yes);
        QTest::newRow("No") << int(Answer::No);
        QTest::newRow("Cancel") << int(Answer::Cancel);
        QTest::newRow("unchanged") << -1;
    }
    void exitQuestion() {
        QFETCH(int, answer);
        FormFixture f(BenchJson(Instruments));
        QVERIFY(f.start());
        f.form->show();
        if (answer >= 0) f.ui()->Text_MeasQuery->setText("MEAS?");
        if (answer >= 0) f.sys.answerBox(Answer(answer), "Exit");
        f.form->Form_Activate(); // a later activation recalls nothing, so the change stays
        f.p.Menu_Exit_Click();
        for (const auto& box : f.sys.boxes) // an unexpected box fails the test by itself
            QVERIFY(box.text == "Do you want to save the Startup settings ?" &&
                    box.buttons == Buttons::YesNoCancel && box.icon == Icon::Question);
        QVERIFY(f.sys.pendingAnswers() == 0 &&
                f.form->isVisible() == (answer == int(Answer::Cancel)) &&
                f.ui()->Text_MeasQuery->text() == (answer >= 0 ? "MEAS?" : ""));
    }

    // "?" anywhere after the program name shows only the about box; otherwise the driver is
    // asked for, and the one named here fails with a box of its own.
    void questionMark_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("about");
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
        QCOMPARE(shown, about ? QString("About Sequor") : QString());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
