// The Timing frame of the main window and the two waits that keep the window alive.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "settings/SettingsStore.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <ctime>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {
const QByteArray Bench = BenchJson(R"({ "address": 3, "replies": { "ID?": "M401A" } })");
const QString NotApplied = QStringLiteral("  Timing  ");

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void ShowActive(MainForm* form) {
    form->show();
    QApplication::setActiveWindow(form);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
}

// Connected with a query and the start-up timing applied: Start is enabled.
void ConnectReady(FormFixture& f) {
    f.ui()->Text_DeviceID->setText("M401A");
    f.ui()->Text_MeasQuery->setText("MEAS?");
    f.form->Button_Connect_Click();
    QVERIFY(f.form->Connected);
    QVERIFY(f.ui()->Button_Start->isEnabled());
}

// Records each interval armed on Timer1 and ticks it at once, so no real minute passes.
struct FastTicks {
    QList<int> armed;
    QList<bool> timerRunning; // Timer1 really ran with that interval when it was armed
    FastTicks(FormFixture& f, bool stopOnFirst = false) {
        MainForm* form = f.form.get();
        QObject::connect(form, &MainForm::timerArmed, form, [this, form, stopOnFirst](int ms) {
            timerRunning << (form->Timer1->isActive() && form->Timer1->interval() == ms);
            const bool stop = stopOnFirst && armed.isEmpty();
            armed << ms;
            if (stop)
                QTimer::singleShot(0, form, [form] { form->Button_Stop_Click(); });
            else
                QTimer::singleShot(0, form, [form] { form->Timer1_Timer(); });
        });
    }
};
} // namespace

class TestTiming : public QObject {
    Q_OBJECT

private slots:
    void apply_data() {
        QTest::addColumn<bool>("minutes");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("total");
        QTest::addColumn<float>("intervalSeconds");
        QTest::addColumn<float>("totalSeconds");
        QTest::addColumn<QString>("countText");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("mismatch"); // the box's text, empty: no box

        QTest::newRow("30 s for 1 hour") << false << "30"
                                         << ""
                                         << "1" << 30.0f << 3600.0f << "121"
                                         << "  Every 30 seconds during 1 hour   "
                                         << "";
        QTest::newRow("40 s for :1 rounds up")
            << false << "40"
            << ""
            << ":1" << 40.0f << 80.0f << "3"
            << "  Every 40 seconds during 1 minute 20 seconds   "
            << "Total Minutes and Time Interval don't match exactly.\n"
               "Number of Sequences will be rounded up to 1 minute 20 seconds .";
        QTest::newRow("7 min for 2 hours rounds up")
            << true << "7"
            << ""
            << "2" << 420.0f << 7560.0f << "19"
            << "  Every 7 minutes during 2 hours 6 minutes   "
            << "Total Minutes and Time Interval don't match exactly.\n"
               "Number of Sequences will be rounded up to 2 hours 6 minutes .";
        QTest::newRow("hours and minutes") << false << "60"
                                           << ""
                                           << "1:30" << 60.0f << 5400.0f << "91"
                                           << "  Every 60 seconds during 1 hour 30 minutes   "
                                           << "";
        QTest::newRow("one sequence") << false << "30"
                                      << "1"
                                      << "" << 30.0f << 0.0f << "1"
                                      << "  Every 30 seconds during   "
                                      << "";
        QTest::newRow("21 sequences") << false << "30"
                                      << "21"
                                      << "" << 30.0f << 600.0f << "21"
                                      << "  Every 30 seconds during 10 minutes   "
                                      << "";
        QTest::newRow("singular second") << false << "1"
                                         << "11"
                                         << "" << 1.0f << 10.0f << "11"
                                         << "  Every 1 second during 10 seconds   "
                                         << "";
        QTest::newRow("plural seconds") << false << "2"
                                        << "11"
                                        << "" << 2.0f << 20.0f << "11"
                                        << "  Every 2 seconds during 20 seconds   "
                                        << "";
        QTest::newRow("Min 2:30") << true << "2:30"
                                  << "3"
                                  << "" << 150.0f << 300.0f << "3"
                                  << "  Every 2:30 minutes during 5 minutes   "
                                  << "";
        QTest::newRow("Min 2") << true << "2"
                               << "2"
                               << "" << 120.0f << 120.0f << "2"
                               << "  Every 2 minutes during 2 minutes   "
                               << "";
        QTest::newRow("Min :30") << true << ":30"
                                 << "3"
                                 << "" << 30.0f << 60.0f << "3"
                                 << "  Every :30 minute during 1 minute   "
                                 << "";
        QTest::newRow("Min 1:30 is singular") << true << "1:30"
                                              << "2"
                                              << "" << 90.0f << 90.0f << "2"
                                              << "  Every 1:30 minute during 1 minute 30 seconds   "
                                              << "";
    }
    void apply() {
        QFETCH(bool, minutes);
        QFETCH(QString, interval);
        QFETCH(QString, count);
        QFETCH(QString, total);
        QFETCH(float, intervalSeconds);
        QFETCH(float, totalSeconds);
        QFETCH(QString, countText);
        QFETCH(QString, caption);
        QFETCH(QString, mismatch);

        FormFixture f(Bench);
        QVERIFY(f.start());
        f.form->Option_Time[minutes ? 1 : 0]->click();
        f.form->Text_Time[0]->setText(interval);
        if (!count.isEmpty()) f.form->Text_Time[1]->setText(count);
        if (!total.isEmpty()) f.form->Text_Time[2]->setText(total);
        QVERIFY(!f.form->TimeApplied);
        QVERIFY(f.ui()->Button_ApplyTime->isEnabled());
        if (!mismatch.isEmpty()) f.sys.answerBox(Answer::Ok, "Time mismatch");

        f.ui()->Button_ApplyTime->click();

        QCOMPARE(f.form->IntervalSeconds, intervalSeconds);
        QCOMPARE(f.form->TotalSeconds, totalSeconds);
        QCOMPARE(f.form->Text_Time[1]->text(), countText);
        QVERIFY(f.form->Text_Time[2]->text().isEmpty());
        QCOMPARE(f.ui()->Frame3->title(), caption);
        QVERIFY(f.form->TimeApplied);
        QVERIFY(!f.ui()->Button_ApplyTime->isEnabled());
        QCOMPARE(f.sys.boxes.size(), mismatch.isEmpty() ? 0 : 1);
        if (!mismatch.isEmpty()) {
            QCOMPARE(f.sys.boxes[0].text, mismatch);
            QCOMPARE(f.sys.boxes[0].buttons, Buttons::Ok);
            QCOMPARE(f.sys.boxes[0].icon, Icon::Information);
        }
    }

    void zeroIntervalIsNeverApplied() {
        // Pasted text skips the key filter: a colon in the seconds box reads as a positive
        // check value but as a zero interval.
        FormFixture f(Bench);
        QVERIFY(f.start());
        f.form->Text_Time[0]->setText(":5");
        f.form->Text_Time[2]->setText("1");
        f.form->Button_ApplyTime_Click();
        QVERIFY(!f.form->TimeApplied);
        QCOMPARE(f.ui()->Frame3->title(), NotApplied);
        QCOMPARE(f.form->Text_Time[2]->text(), QStringLiteral("1"));
        QVERIFY(f.sys.boxes.isEmpty());
    }

    void keyFilter_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<bool>("minutes");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("seconds: digits pass, letters dropped") << 0 << false << "1a2B3 "
                                                               << "123";
        QTest::newRow("seconds: no colon") << 0 << false << "1:2,3.4"
                                           << "1234";
        QTest::newRow("minutes: one colon") << 0 << true << "2:3:0"
                                            << "2:30";
        QTest::newRow("minutes: comma") << 0 << true << "2,30"
                                        << "2:30";
        QTest::newRow("minutes: full stop") << 0 << true << "2.3.0"
                                            << "2:30";
        QTest::newRow("minutes: colon alone") << 0 << true << ":30"
                                              << "0:30";
        QTest::newRow("count: digits only") << 1 << false << "1:2,3.4x-"
                                            << "1234";
        QTest::newRow("count: digits only with Min") << 1 << true << "1:2"
                                                     << "12";
        QTest::newRow("total: comma") << 2 << false << "1,30"
                                      << "1:30";
        QTest::newRow("total: second colon key ignored") << 2 << false << "1,3.0:"
                                                         << "1:30";
        QTest::newRow("total: colon alone") << 2 << false << ",5"
                                            << "0:5";
        QTest::newRow("total: colon again after backspace") << 2 << false << "1:\b.3"
                                                            << "1:3";
        QTest::newRow("total: backspace") << 2 << false << "12\b5"
                                          << "15";
    }
    void keyFilter() {
        QFETCH(int, box);
        QFETCH(bool, minutes);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        FormFixture f(Bench);
        QVERIFY(f.start());
        ShowActive(f.form.get());
        f.form->Option_Time[minutes ? 1 : 0]->click();
        QLineEdit* edit = f.form->Text_Time[box];
        edit->clear();
        edit->setFocus();
        QTest::keyClicks(edit, keys);
        QCOMPARE(edit->text(), text);
    }

    void countAndTotalExcludeEachOther() {
        FormFixture f(Bench);
        QVERIFY(f.start());
        ShowActive(f.form.get());
        QCOMPARE(f.form->Text_Time[1]->text(), QStringLiteral("21"));
        QTest::keyClicks(f.form->Text_Time[2], "2");
        QVERIFY(f.form->Text_Time[1]->text().isEmpty());
        QCOMPARE(f.form->Text_Time[2]->text(), QStringLiteral("2"));
        QTest::keyClicks(f.form->Text_Time[1], "5");
        QVERIFY(f.form->Text_Time[2]->text().isEmpty());
        QCOMPARE(f.form->Text_Time[1]->text(), QStringLiteral("5"));
        QTest::keyClicks(f.form->Text_Time[0], "0");
        QCOMPARE(f.form->Text_Time[1]->text(), QStringLiteral("5"));
    }

    void enterRunsApplyWhenEnabled_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<bool>("applied");
        QTest::newRow("interval box") << 0 << "20" << true;
        QTest::newRow("count box") << 1 << "20" << true;
        QTest::newRow("Apply disabled") << 1 << "" << false;
    }
    void enterRunsApplyWhenEnabled() {
        QFETCH(int, box);
        QFETCH(QString, interval);
        QFETCH(bool, applied);
        FormFixture f(Bench);
        QVERIFY(f.start());
        ShowActive(f.form.get());
        f.form->Text_Time[0]->setText(interval);
        QVERIFY(!f.form->TimeApplied);
        const QString before = f.form->Text_Time[box]->text();
        QTest::keyClick(f.form->Text_Time[box], Qt::Key_Return);
        QCOMPARE(f.form->TimeApplied, applied);
        QCOMPARE(f.ui()->Frame3->title(),
                 applied ? QStringLiteral("  Every 20 seconds during 6 minutes 40 seconds   ")
                         : NotApplied);
        QCOMPARE(f.form->Text_Time[box]->text(), before);
    }

    void applyEnabling_data() {
        QTest::addColumn<bool>("minutes");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("total");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("interval and count") << false << "30"
                                            << "21"
                                            << "" << true;
        QTest::newRow("interval and total") << false << "30"
                                            << ""
                                            << "2" << true;
        QTest::newRow("total in minutes") << false << "30"
                                          << ""
                                          << ":30" << true;
        QTest::newRow("no interval") << false << ""
                                     << "21"
                                     << "" << false;
        QTest::newRow("zero interval") << false << "0"
                                       << "21"
                                       << "" << false;
        QTest::newRow("neither count nor total") << false << "30"
                                                 << ""
                                                 << "" << false;
        QTest::newRow("zero count") << false << "30"
                                    << "0"
                                    << "" << false;
        QTest::newRow("zero total") << false << "30"
                                    << ""
                                    << "0:" << false;
        QTest::newRow("Min seconds only") << true << ":30"
                                          << "3"
                                          << "" << true;
        QTest::newRow("Min zero minutes") << true << "0:"
                                          << "3"
                                          << "" << false;
    }
    void applyEnabling() {
        QFETCH(bool, minutes);
        QFETCH(QString, interval);
        QFETCH(QString, count);
        QFETCH(QString, total);
        QFETCH(bool, enabled);
        FormFixture f(Bench);
        QVERIFY(f.start());
        ConnectReady(f);
        f.form->Option_Time[minutes ? 1 : 0]->click();
        f.form->Text_Time[0]->setText(interval);
        f.form->Text_Time[1]->setText(count);
        f.form->Text_Time[2]->setText(total);
        QCOMPARE(f.ui()->Button_ApplyTime->isEnabled(), enabled);
        QVERIFY(!f.form->TimeApplied);
        QCOMPARE(f.ui()->Frame3->title(), NotApplied);
        QVERIFY(!f.ui()->Button_Start->isEnabled());
        QVERIFY(SettingsChanged);
    }

    void editsUnapplyAndApplyReenablesStart_data() {
        QTest::addColumn<QString>("edit");
        QTest::newRow("typed digit") << "type";
        QTest::newRow("double click") << "double click";
        QTest::newRow("unit change") << "unit";
        QTest::newRow("Clear") << "clear";
    }
    void editsUnapplyAndApplyReenablesStart() {
        QFETCH(QString, edit);
        FormFixture f(Bench);
        QVERIFY(f.start());
        ShowActive(f.form.get());
        ConnectReady(f);
        SettingsChanged = false;

        if (edit == "type")
            QTest::keyClicks(f.form->Text_Time[1], "0");
        else if (edit == "double click")
            f.form->Text_Time_DblClick(1);
        else if (edit == "unit")
            f.form->Option_Time[1]->click();
        else
            f.ui()->Button_Clear->click();

        QVERIFY(!f.form->TimeApplied);
        QCOMPARE(f.ui()->Frame3->title(), NotApplied);
        QVERIFY(!f.ui()->Button_Start->isEnabled());
        QVERIFY(f.form->Connected);
        if (edit == "unit" || edit == "clear") {
            QVERIFY(f.form->Text_Time[0]->text().isEmpty());
            QVERIFY(!f.ui()->Button_ApplyTime->isEnabled());
            QCOMPARE(QApplication::focusWidget(), f.form->Text_Time[0]);
        }
        if (edit == "clear") {
            QVERIFY(f.form->Text_Time[1]->text().isEmpty());
            QVERIFY(f.form->Text_Time[2]->text().isEmpty());
        }
        QVERIFY(SettingsChanged);

        // Entries made good again and applied: the connected window may start.
        f.form->Text_Time[0]->setText("30");
        f.form->Text_Time[1]->setText("4");
        f.ui()->Button_ApplyTime->click();
        QVERIFY(f.form->TimeApplied);
        QVERIFY(f.ui()->Button_Start->isEnabled());
    }

    void applyDoesNotEnableStartWithoutConnection() {
        FormFixture f(Bench);
        QVERIFY(f.start());
        f.ui()->Text_MeasQuery->setText("MEAS?");
        f.form->Text_Time[1]->setText("4");
        f.ui()->Button_ApplyTime->click();
        QVERIFY(f.form->TimeApplied);
        QVERIFY(!f.ui()->Button_Start->isEnabled());
    }

    void unitChangeBeforeActivationKeepsEntries() {
        FormFixture f(Bench);
        f.form->Form_Load();
        f.form->Text_Time[0]->setText("2:30");
        f.form->Option_Time[1]->click();
        QCOMPARE(f.form->Text_Time[0]->text(), QStringLiteral("2:30"));
        QVERIFY(!SettingsChanged);
    }

    void startTimerArmsWholeMinutesAndRest_data() {
        QTest::addColumn<float>("seconds");
        QTest::addColumn<QList<int>>("armed");
        QTest::newRow("150") << 150.0f << QList<int>{60000, 60000, 30000};
        QTest::newRow("45") << 45.0f << QList<int>{45000};
        QTest::newRow("0") << 0.0f << QList<int>{};
        QTest::newRow("negative") << -5.0f << QList<int>{};
        QTest::newRow("60 exactly") << 60.0f << QList<int>{60000};
        QTest::newRow("59.5 rounds to a whole minute") << 59.5f << QList<int>{60000};
        QTest::newRow("120.4 drops the rest") << 120.4f << QList<int>{60000, 60000};
        QTest::newRow("2.5 half to even") << 2.5f << QList<int>{2000};
        QTest::newRow("3.5 half to even") << 3.5f << QList<int>{4000};
        QTest::newRow("0.4 rounds to nothing") << 0.4f << QList<int>{};
    }
    void startTimerArmsWholeMinutesAndRest() {
        QFETCH(float, seconds);
        QFETCH(QList<int>, armed);
        FormFixture f(Bench);
        QVERIFY(f.start());
        FastTicks ticks(f);
        QElapsedTimer clock;
        clock.start();
        f.form->StartTimer(seconds);
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(ticks.armed, armed);
        QVERIFY(!ticks.timerRunning.contains(false));
        QVERIFY(!f.form->Timer1->isActive());
    }

    void stopEndsTheWaitAndTheRemainingParts() {
        FormFixture f(Bench);
        QVERIFY(f.start());
        FastTicks ticks(f, true);
        QElapsedTimer clock;
        clock.start();
        f.form->StartTimer(150);
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(f.form->StopRequested);
        QCOMPARE(ticks.armed, (QList<int>{60000, 60000, 30000}));
        QVERIFY(!f.form->Timer1->isActive());

        // Still stopped: a later wait ends at once too.
        f.form->StartTimer(45);
        QCOMPARE(ticks.armed.size(), 4);
        QVERIFY(clock.elapsed() < 2000);
    }

    // Real waits: they must last their time without keeping a core busy.
    void startTimerWaitsWithoutSpinning() {
        FormFixture f(Bench);
        QVERIFY(f.start());
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = CpuSeconds();
        f.form->StartTimer(5);
        const double cpu = CpuSeconds() - cpu0;
        const qint64 wall = clock.elapsed();
        qInfo("StartTimer(5): %lld ms elapsed, %.4f s CPU", wall, cpu);
        QVERIFY2(wall >= 4990, qPrintable(QString::number(wall)));
        QVERIFY(wall < 6000);
        QVERIFY(cpu < 1.0);
    }

    void waitSecondsWaitsWithoutSpinning() {
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = CpuSeconds();
        WaitSeconds(2);
        const double cpu = CpuSeconds() - cpu0;
        const qint64 wall = clock.elapsed();
        qInfo("WaitSeconds(2): %lld ms elapsed, %.4f s CPU", wall, cpu);
        QVERIFY(wall >= 2000);
        QVERIFY(wall < 3000);
        QVERIFY(cpu < 0.5);
    }
};

QTEST_MAIN(TestTiming)
#include "tst_timing.moc"
