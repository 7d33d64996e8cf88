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
        row("40||:1", "40|80|3|  Every 40 seconds during 1 minute 20 seconds   |"
                      "Total Minutes and Time Interval don't match exactly.\n"
                      "Number of Sequences will be rounded up to 1 minute 20 seconds .");
        row("30|1|", "30|0|1|  Every 30 seconds during   |");
        row("1||1:30", "1|5400|5401|  Every 1 second during 1 hour 30 minutes   |");
        row("2:30|3| min", "150|300|3|  Every 2:30 minutes during 5 minutes   |");
        // A count typed beside a total: the total decides.
        row("60|7|2", "60|7200|121|  Every 60 seconds during 2 hours   |");
        // Pasted text skips the key filter: a zero interval is refused, nothing is applied.
        row(":5||1", "refused 0");
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

    // The key each box takes: digits and Backspace everywhere; ':' (typed as ':', ',' or '.')
    // once, in the total and in a minutes interval. box (0 interval, 1 count, 2 total), "m" for
    // minutes|text before|typed|taken
    void keys_data() {
        QTest::addColumn<QString>("keys");
        QTest::newRow("seconds") << "0||1a:,.\b-|1\b";
        QTest::newRow("minutes") << "0m||,.:|:::";
        QTest::newRow("total") << "2||1.3|1:3";
        QTest::newRow("total, has ':'") << "2|0:1|:,2|2";
    }
    void keys() {
        QFETCH(QString, keys);
        const QStringList k = keys.split('|');
        const int box = k[0].at(0).digitValue();
        TimingEntries e{.minutes = k[0].endsWith('m')};
        (box == 0 ? e.interval : box == 1 ? e.count : e.total) = k[1];
        QString taken;
        for (QChar c : k[2])
            if (const int key = TimingKey(box, c.unicode(), e)) taken += QChar(key);
        QCOMPARE(taken, k[3]);
    }

    // Whole minutes first, then the rest rounded half to even.
    void planWait() {
        const auto plan = [](float s) {
            const WaitPlan p = PlanWait(s);
            return QString::number(p.minutes) + '+' + QString::number(p.restMs);
        };
        QCOMPARE(plan(150) + ' ' + plan(60.5f) + ' ' + plan(3.5f) + ' ' + plan(2.5f),
                 "2+30000 1+0 0+4000 0+2000");
    }
};

QTEST_GUILESS_MAIN(TestTimingModel)
#include "tst_timingmodel.moc"
