// What a run decides outside the window: one answer's processing, the progress bar's scale and
// labels, and when Start may be clicked.
#include "measure/Run.h"
#include <QTest>

class TestRunModel : public QObject {
    Q_OBJECT
private slots:
    // excluded answer|decimal notation|separator -> field|shown|value|valid
    void processAnswer_data() {
        QTest::addColumn<QByteArray>("excluded");
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QString>("result");
        auto row = [](const char* name, QByteArray excluded, bool decimal, const char* sep,
                      QString result) {
            QTest::newRow(name) << excluded << decimal << sep << result;
        };
        row("decimal", "1.2345E-03", true, ",", " ,0012345|,0012345|0.0012345|1");
        row("decimal, no number", "+1.0E+00", true, ",", "+1,0E+00|+1,0E+00|1|0");
        row("NUL kept", QByteArray("7\0x", 3), false, ".",
            QString("7") + QChar(0) + "x|7" + QChar(0) + "x|7|1");
    }
    void processAnswer() {
        QFETCH(QByteArray, excluded);
        QFETCH(bool, decimal);
        QFETCH(QString, sep);
        const ProcessedAnswer a = ProcessAnswer(excluded, decimal, sep);
        QTEST(QStringList({QString::fromLatin1(a.text), QString::fromLatin1(a.shown),
                           QString::number(a.value), QString::number(a.valid)})
                  .join('|'),
              "result");
    }

    // A count is shown as a plain whole number, and the progress bar keeps within its range.
    // count|sequence -> current|remaining|maximum|value
    void progress_data() {
        QTest::addColumn<double>("count");
        QTest::addColumn<double>("seq");
        QTest::addColumn<QString>("result");
        QTest::newRow("small") << 21.0 << 1.0 << "1|20|21|1";
        QTest::newRow("above int range")
            << 4294967296.0 << 2147483648.0 << "2147483648|2147483648|2147483647|1073741823";
        QTest::newRow("pasted fraction, a row past it") << 2.5 << 3.0 << "3|0|2|2";
    }
    void progress() {
        QFETCH(double, count);
        QFETCH(double, seq);
        const ProgressLabels labels = LabelsAfter(seq, count, 0, 0);
        const ProgressScale scale = ProgressFor(count);
        QTEST(QStringList({labels.current, labels.remaining, QString::number(scale.maximum),
                           QString::number(scale.valueAt(seq))})
                  .join('|'),
              "result");
    }

    // Start waits for a connection, a query and applied timing, and is refused while a run goes.
    void startEnabled() {
        QVERIFY(StartEnabled(true, true, true, false));
        QVERIFY(!StartEnabled(true, true, true, true));
        QVERIFY(!StartEnabled(false, true, true, false));
    }
};

QTEST_GUILESS_MAIN(TestRunModel)
#include "tst_runmodel.moc"
