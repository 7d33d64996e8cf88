// Times, numbers and trimmed answers as text.
#include "common/Numbers.h"
#include "common/Texts.h"

#include <QTest>
#include <limits>

class TestTexts : public QObject {
    Q_OBJECT
private slots:
    // Each row gives the short, words and clock texts joined by "|".
    void formatTime_data() {
        QTest::addColumn<float>("seconds");
        QTest::addColumn<QString>("texts");
        QTest::newRow("3725") << 3725.0f << "1 h 2 m 5 s |1 hour 2 minutes 5 seconds |1:02:05";
        QTest::newRow("0") << 0.0f << "||0:00:00";
        QTest::newRow("over a day") << 90000.0f << "25 h |25 hours |25:00:00";
        QTest::newRow("1 second") << 1.0f << "1 s |1 second |0:00:01";
        // Seconds are rounded half to even and never carried into the minutes.
        QTest::newRow("59.5 not carried") << 59.5f << "60 s |60 seconds |0:00:60";
        QTest::newRow("60.5 half down") << 60.5f << "1 m |1 minute |0:01:00";
        QTest::newRow("negative") << -65.0f << "-1 m 5 s |-1 minute 5 seconds |-0:01:05";
        QTest::newRow("negative rounds to 0") << -0.2f << "||0:00:00";
    }
    void formatTime() {
        QFETCH(float, seconds);
        QTEST(FormatTime(seconds, 0) + '|' + FormatTime(seconds, 1) + '|' + FormatTime(seconds, 2),
              "texts");
    }

    void absurdInputsDoNotCrash() {
        QVERIFY(!FormatTime(std::numeric_limits<float>::quiet_NaN(), 1).isEmpty());
        QCOMPARE(FormatTime(1e10f, 2).left(8), QStringLiteral("2777777:"));
    }

    // Text to number and back: signs, exponents, leading zeros, and where the plain form ends.
    void numbers() {
        QCOMPARE(TrimSpaces("  a b  ") + TrimSpaces("   "), QByteArray("a b"));
        QCOMPARE(NumericValue(QByteArray("-2.5E-2")), -0.025);
        QCOMPARE(NumericValue(QByteArray("0.000000000000000123456789")), 1.23456789e-16);
        QCOMPARE(NumericValue(QByteArray("1000.05")), 1000.05);
        QCOMPARE(NumberText(1e14) + '|' + NumberText(1e15), " 100000000000000| 1E+15");
    }
};

QTEST_GUILESS_MAIN(TestTexts)
#include "tst_texts.moc"
