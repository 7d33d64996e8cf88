#include "settings/TimeFormat.h"

#include <QTest>
#include <cmath>
#include <limits>

class TestTimeFormat : public QObject {
    Q_OBJECT
private slots:
    void formatTime_data();
    void formatTime();
    void absurdInputsDoNotCrash();
};

void TestTimeFormat::formatTime_data() {
    QTest::addColumn<float>("seconds");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("3725 short") << 3725.0f << 0 << "1 h 2 m 5 s ";
    QTest::newRow("3725 words") << 3725.0f << 1 << "1 hour 2 minutes 5 seconds ";
    QTest::newRow("3725 clock") << 3725.0f << 2 << "1:02:05";
    QTest::newRow("65 short") << 65.0f << 0 << "1 m 5 s ";
    QTest::newRow("65 words") << 65.0f << 1 << "1 minute 5 seconds ";
    QTest::newRow("65 clock") << 65.0f << 2 << "0:01:05";
    QTest::newRow("0 short") << 0.0f << 0 << "";
    QTest::newRow("0 words") << 0.0f << 1 << "";
    QTest::newRow("0 clock") << 0.0f << 2 << "0:00:00";
    QTest::newRow("1 hour") << 3600.0f << 1 << "1 hour ";
    QTest::newRow("2 hours") << 7200.0f << 1 << "2 hours ";
    QTest::newRow("59.5 not carried") << 59.5f << 2 << "0:00:60";
    QTest::newRow("half to even down") << 60.5f << 2 << "0:01:00";
    QTest::newRow("half to even up") << 61.5f << 2 << "0:01:02";
    QTest::newRow("1 second") << 1.0f << 1 << "1 second ";
    QTest::newRow("2 minutes") << 120.0f << 1 << "2 minutes ";
    QTest::newRow("80 words") << 80.0f << 1 << "1 minute 20 seconds ";
    QTest::newRow("600 words") << 600.0f << 1 << "10 minutes ";
    QTest::newRow("hours only clock") << 36000.0f << 2 << "10:00:00";
    QTest::newRow("3599 clock") << 3599.0f << 2 << "0:59:59";
    QTest::newRow("over a day") << 90000.0f << 0 << "25 h ";
    QTest::newRow("negative short") << -30.0f << 0 << "-30 s ";
    QTest::newRow("negative clock") << -65.0f << 2 << "-0:01:05";
    QTest::newRow("negative rounds to 0") << -0.2f << 2 << "0:00:00";
}

void TestTimeFormat::formatTime() {
    QFETCH(float, seconds);
    QFETCH(int, mode);
    QFETCH(QString, text);
    QCOMPARE(FormatTime(seconds, mode), text);
}

void TestTimeFormat::absurdInputsDoNotCrash() {
    const float inputs[] = {std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(), 1e10f};
    for (float s : inputs)
        for (int mode = 0; mode <= 2; ++mode)
            QVERIFY(!FormatTime(s, mode).isEmpty());
    QCOMPARE(FormatTime(1e10f, 2).left(8), QStringLiteral("2777777:"));
}

QTEST_GUILESS_MAIN(TestTimeFormat)
#include "tst_timeformat.moc"
