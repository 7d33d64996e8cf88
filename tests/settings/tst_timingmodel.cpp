// What Apply makes of the timing entries, which keys the boxes take, and how a wait is cut.
#include "measure/Run.h"
#include "settings/Timing.h"
#include <QTest>

class TestTimingModel : public QObject {
    Q_OBJECT
private slots:
    // interval|count|total, "min" for minutes -> interval s|total s|count|caption|mismatch box
    void applyTiming_data() {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("result");
        auto row = [](const char* entries, const char* result) {
            QTest::newRow(entries) << QString(entries) << QString(result);
        };
        row("30||1", "30|3600|121|  Every 30 seconds during 1 hour   |");
        row("40||:1", "40|80|3|  Every 40 seconds during 1 minute 20 seconds   |"
                      "Total Minutes and Time Interval don't match exactly.\n"
                      "Number of Sequences will be rounded up to 1 minute 20 seconds .");
        row("30|1|", "30|0|1|  Every 30 seconds during   |");
        row("1||1:30", "1|5400|5401|  Every 1 second during 1 hour 30 minutes   |");
        row("2:30|3| min", "150|300|3|  Every 2:30 minutes during 5 minutes   |");
        row("2|2| min", "120|120|2|  Every 2 minutes during 2 minutes   |");
        row(":30|3| min", "30|60|3|  Every :30 minute during 1 minute   |");
        // A count typed beside a total: the total decides.
        row("60|7|2", "60|7200|121|  Every 60 seconds during 2 hours   |");
        // Pasted text skips the key filter: a zero interval is refused, nothing is applied.
        row(":5||1", "refused 0");
        row("0|5|", "refused 0");
        row("-3|5|", "refused -3");
    }
    void applyTiming() {
        QFETCH(QString, entries);
        const QStringList e = entries.section(' ', 0, 0).split('|');
        const AppliedTiming t = ApplyTiming({e[0], e[1], e[2], entries.endsWith("min")});
        const QString got =
            t.applied ? QStringList{QString::number(t.intervalSeconds),
                                    QString::number(t.totalSeconds), t.count, t.caption, t.mismatch}
                            .join('|')
                      : "refused " + QString::number(t.intervalSeconds);
        QTEST(got, "result");
    }

    void canApply_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("can");
        QTest::newRow("interval and count") << QStringList{"5", "2", ""} << true;
        QTest::newRow("interval and total") << QStringList{"5", "", "0:30"} << true;
        QTest::newRow("no interval") << QStringList{"", "2", ""} << false;
        QTest::newRow("zero interval") << QStringList{"0", "2", ""} << false;
        QTest::newRow("neither count nor total") << QStringList{"5", "", ""} << false;
        QTest::newRow("zero total") << QStringList{"5", "", "0:00"} << false;
        QTest::newRow("minutes form") << QStringList{"0:30", "2", ""} << true;
    }
    void canApply() {
        QFETCH(QStringList, entries);
        QTEST(CanApplyTiming({entries[0], entries[1], entries[2], false}), "can");
    }

    // The key each box takes: digits and Backspace everywhere; ':' (typed as ':', ',' or '.')
    // once, in the total and in a minutes interval.
    void keys_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<bool>("minutes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("taken");
        QTest::newRow("seconds") << 0 << false << ""
                                 << "1a:,.\b-"
                                 << "1\b";
        QTest::newRow("minutes") << 0 << true << ""
                                 << ",.:"
                                 << ":::";
        QTest::newRow("minutes, has ':'") << 0 << true << "1:"
                                          << ":5"
                                          << "5";
        QTest::newRow("count") << 1 << true << ""
                               << "7:.x"
                               << "7";
        QTest::newRow("total") << 2 << false << ""
                               << "1.3"
                               << "1:3";
        QTest::newRow("total, has ':'") << 2 << false << "0:1"
                                        << ":,2"
                                        << "2";
    }
    void keys() {
        QFETCH(int, box);
        QFETCH(bool, minutes);
        QFETCH(QString, text);
        QFETCH(QString, typed);
        TimingEntries e{.minutes = minutes};
        (box == 0 ? e.interval : box == 1 ? e.count : e.total) = text;
        QString taken;
        for (QChar c : typed)
            if (const int k = TimingKey(box, c.unicode(), e)) taken += QChar(k);
        QTEST(taken, "taken");
    }

    // Whole minutes first, then the rest rounded half to even.
    void planWait_data() {
        QTest::addColumn<float>("seconds");
        QTest::addColumn<qint64>("minutes");
        QTest::addColumn<int>("restMs");
        QTest::newRow("150") << 150.0f << qint64(2) << 30000;
        QTest::newRow("45") << 45.0f << qint64(0) << 45000;
        QTest::newRow("60.5: no empty rest") << 60.5f << qint64(1) << 0;
        QTest::newRow("3.5") << 3.5f << qint64(0) << 4000;
        QTest::newRow("2.5") << 2.5f << qint64(0) << 2000;
        QTest::newRow("0") << 0.0f << qint64(0) << 0;
        QTest::newRow("negative") << -5.0f << qint64(0) << 0;
        QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << qint64(0) << 0;
        QTest::newRow("a year") << 31536000.0f << qint64(525600) << 0;
    }
    void planWait() {
        QFETCH(float, seconds);
        const WaitPlan plan = PlanWait(seconds);
        QTEST(plan.minutes, "minutes");
        QTEST(plan.restMs, "restMs");
    }
};

QTEST_GUILESS_MAIN(TestTimingModel)
#include "tst_timingmodel.moc"
