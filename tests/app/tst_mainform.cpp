// Start-up, first activation, the indicator and closing of the main window.
#include "FormFixture.h"
#include "app/Program.h"
#include "bus/BusAccess.h"
#include "bus/Discovery.h"
#include "settings/SettingsStore.h"
#include "settings/frmAbout.h"
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using platform::Answer;

namespace {
QByteArray ThreeInstruments() {
    return R"({ "address": 22, "replies": {} }, { "address": 3, "replies": {} },
              { "address": 9, "replies": {} })";
}
} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void startUpState() {
        FormFixture f(BenchJson(ThreeInstruments()));
        QVERIFY(f.start());
        QCOMPARE(f.form->windowTitle(), QString("Sequor, v2.10 - July 2009 rev. March 2023"));
        QStringList entries;
        for (int i = 0; i < f.ui()->Combo_Addr->count(); ++i)
            entries << f.ui()->Combo_Addr->itemText(i);
        QCOMPARE(entries, QStringList({"None", "3", "9", "22"}));
        QVERIFY(DeviceUd != 0);
        QCOMPARE(int(IoTimeout), 12);

        for (QWidget* w : {static_cast<QWidget*>(f.ui()->Button_Connect),
                           static_cast<QWidget*>(f.ui()->Button_Test),
                           static_cast<QWidget*>(f.ui()->Button_Start),
                           static_cast<QWidget*>(f.ui()->Button_Stop)})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(!f.ui()->Menu_ViewTerm->isEnabled());
        QVERIFY(!f.form->Menu_OpenExcel[1]->isEnabled());
        QVERIFY(!f.form->Menu_OpenExcel[2]->isEnabled());
        QVERIFY(f.ui()->Menu_Exit->isEnabled());
        QVERIFY(f.ui()->Button_Clear->isEnabled());
        QCOMPARE(f.ui()->Frame1->title(), QString("  Not Connected   "));
        QCOMPARE(f.ui()->Frame4->title(), QString(" Sequence - Conditional Command OFF "));
        QVERIFY(!f.ui()->Menu_ShowConditional->isEnabled());
        // The entries come up applied, so Apply is disabled again.
        QVERIFY(f.form->TimeApplied);
        QVERIFY(!f.ui()->Button_ApplyTime->isEnabled());
        QVERIFY(!SettingsChanged);
        QVERIFY(f.form->CsvFile.endsWith("/Test.csv"));
        QVERIFY(f.sys.boxes.isEmpty());
    }

    void noListenersEndsProgram() {
        FormFixture f(BenchJson(""));
        f.sys.answerBox(Answer::Ok, "Initialization Error 14");
        QVERIFY(!f.start());
        QVERIFY(f.sys.ended);
        QCOMPARE(f.ui()->Combo_Addr->count(), 0);
    }

    void indicatorCaptions_data() {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("caption");
        QTest::newRow("on") << true << " Sequence - Conditional Command ON ";
        QTest::newRow("off") << false << " Sequence - Conditional Command OFF ";
    }
    void indicatorCaptions() {
        QFETCH(bool, on);
        QFETCH(QString, caption);
        FormFixture f(BenchJson(ThreeInstruments()));
        QVERIFY(f.start());
        f.form->CondOnIndicator(!on);
        f.form->CondOnIndicator(on);
        QCOMPARE(f.ui()->Frame4->title(), caption);
        QCOMPARE(f.ui()->Menu_ShowConditional->isEnabled(), on);
        QCOMPARE(f.ui()->Frame4->font().bold(), on);
        QVERIFY(!f.ui()->Button_Start->font().bold());
        QCOMPARE(f.ui()->Frame4->styleSheet().contains("#0000ff"), on);
    }

    void secondActivationDoesNothing() {
        FormFixture f(BenchJson(ThreeInstruments()));
        QVERIFY(f.start());
        f.ui()->Text_FileName->setText("Other.csv");
        f.form->Text_Time[0]->setText("5");
        f.form->Form_Activate();
        QCOMPARE(f.ui()->Text_FileName->text(), QString("Other.csv"));
        QCOMPARE(f.form->Text_Time[0]->text(), QString("5"));
    }

    void timerTickSetsFlag() {
        FormFixture f(BenchJson(ThreeInstruments()));
        QVERIFY(f.start());
        f.form->TimerFired = false;
        f.form->Timer1_Timer();
        QVERIFY(f.form->TimerFired);
    }

    void exitQuestion_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::newRow("Yes") << int(Answer::Yes) << true;
        QTest::newRow("No") << int(Answer::No) << true;
        QTest::newRow("Cancel") << int(Answer::Cancel) << false;
    }
    void exitQuestion() {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        FormFixture f(BenchJson(ThreeInstruments()));
        QVERIFY(f.start());
        f.form->show();
        f.ui()->Text_MeasQuery->setText("MEAS?"); // an edit after activation
        QVERIFY(SettingsChanged);
        f.sys.answerBox(Answer(answer), "Exit");
        f.form->Menu_Exit_Click();
        QCOMPARE(f.sys.boxes.size(), 1);
        QCOMPARE(f.sys.boxes[0].text, QString("Do you want to save the Startup settings ?"));
        QCOMPARE(f.sys.boxes[0].buttons, platform::Buttons::YesNoCancel);
        QCOMPARE(f.sys.boxes[0].icon, platform::Icon::Question);
        QCOMPARE(f.form->isVisible(), !closed);
        if (!closed) QCOMPARE(f.ui()->Text_MeasQuery->text(), QString("MEAS?"));
    }

    void closingUnchangedAsksNothing() {
        FormFixture f(BenchJson(ThreeInstruments()));
        QVERIFY(f.start());
        f.form->show();
        QVERIFY(f.form->close());
        QVERIFY(f.sys.boxes.isEmpty());
    }

    void wantsAboutOnly_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("about");
        QTest::newRow("none") << QStringList{"sequor"} << false;
        QTest::newRow("/?") << QStringList{"sequor", "/?"} << true;
        QTest::newRow("inside") << QStringList{"sequor", "-x", "a?b"} << true;
        QTest::newRow("program name only") << QStringList{"/opt/what?/sequor"} << false;
    }
    void wantsAboutOnly() {
        QFETCH(QStringList, args);
        QFETCH(bool, about);
        QCOMPARE(WantsAboutOnly(args), about);
    }

    void questionMarkShowsOnlyAboutBox() {
        platform::ScriptedPlatform sys;
        QTemporaryDir dir;
        const QString bench = dir.filePath("bench.json");
        const QString journal = dir.filePath("journal.txt");
        QFile file(bench);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(BenchJson(R"({ "address": 3, "replies": {} })", journal));
        file.close();
        qputenv("SEQUOR_BUS", ("sim:" + bench).toUtf8());

        QString shown;
        QTimer::singleShot(100, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (qobject_cast<frmAbout*>(modal)) shown = modal->windowTitle();
            if (modal) modal->close();
        });
        QCOMPARE(RunSequor({"sequor", "/?"}), 0);
        QCOMPARE(shown, QString("About Sequor"));
        QVERIFY(!QFile::exists(journal)); // no bus access at all
        qputenv("SEQUOR_BUS", "sim");
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
