// Cleaning an answer, and its number as read and as logged.
#include "measure/Processing.h"

#include <QTest>
#include <cfloat>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

// One table row on one line: the tag, then a value for each column.
template <typename... T> static void row(const char* tag, const T&... values) {
    (QTest::newRow(tag) << ... << values);
}

class TestProcessing : public QObject {
    Q_OBJECT
private slots:
    // The answer-cleaning steps, chosen by the tag's first word: "x" removes the pattern "arg",
    // "d" converts to decimal notation ("!" marks a result that is not valid), "l" puts the
    // separator "arg" in place of the first decimal mark.
    void text_data() {
        QTest::addColumn<QByteArray>("arg");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("result");
        row("x unit", "VDC"_ba, "+1.2345E+00VDC"_ba, "+1.2345E+00"_ba);
        row("x star-comma", "*,"_ba, "NORM,+1.2E-3"_ba, "+1.2E-3"_ba);
        row("x ending in a star keeps the text up to it", "VD*"_ba, "1VDC"_ba, "1"_ba);
        row("x A clipped", "??E"_ba, "1E5"_ba, "5"_ba);
        row("x B past end", "V???"_ba, "1.5VD"_ba, "1.5"_ba);
        row("x star in middle", "A*B"_ba, "xA*By AxB"_ba, "xy AxB"_ba);
        row("x NUL bytes", QByteArray("\0?", 2), QByteArray("a\0bc", 4), "ac"_ba);
        row("x 1 MB of *", QByteArray(1 << 20, '*'), "1V"_ba, "1V"_ba);
        row("d leading plus", QByteArray(), "+1.000E+00"_ba, "!+1.000E+00"_ba);
        row("d small with unit", QByteArray(), "1.2345E-03VDC"_ba, " .0012345"_ba);
        row("d leading point", QByteArray(), ".5"_ba, "!.5"_ba);
        row("d leading letter", QByteArray(), "V1"_ba, "!V1"_ba);
        row("l first point only", ","_ba, " 1.2.3"_ba, " 1,2.3"_ba);
        row("l other separator acts as point", ";"_ba, "1,5"_ba, "1.5"_ba);
    }
    void text() {
        QFETCH(QByteArray, arg);
        QFETCH(QByteArray, answer);
        const char kind = QTest::currentDataTag()[0];
        const DecimalNotation decimal = ToDecimalNotation(answer);
        QTEST(kind == 'x'   ? ApplyExclusion(answer, arg)
              : kind == 'l' ? LocalizeDecimal(answer, QString::fromLatin1(arg))
                            : (decimal.valid ? ""_ba : "!"_ba) + decimal.text,
              "result");
    }

    // Numbers read from answers ("v" rows) and written to the log as double ("t") or single
    // ("s") precision.
    void numbers_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value");
        row("v blanks anywhere", " - 1 . 5 "_ba, -1.5);
        row("v point first, lower d", "-.5d-2"_ba, -0.005);
        row("v comma stops", "1,5"_ba, 1.0);
        row("v hex", " &h1Fg"_ba, 31.0);
        row("v leading zeros", "0000.000125"_ba, 0.000125);
        row("v overflow", "-9e99999999999999999999"_ba, -DBL_MAX);
        row("t negative zero", " 0"_ba, -0.0);
        row("t 15 digits", " 666.666666666667"_ba, 2.0 / 3 * 1000);
        row("t 0.00099", " 9.9E-04"_ba, 0.00099);
        row("t 1E15", " 1E+15"_ba, 1e15);
        row("t rounds up to 1E15", " 1E+15"_ba, 999999999999999.9);
        row("t nan", " NaN"_ba, std::nan(""));
        row("s 8 digits rounded", " 16777220"_ba, 16777216.0);
    }
    void numbers() {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        const char kind = QTest::currentDataTag()[0];
        const double read = NumericValue(text);
        if (kind == 'v') QVERIFY2(read == value, qPrintable(QString::number(read, 'g', 17)));
        if (kind != 'v') QCOMPARE(kind == 's' ? NumberText(float(value)) : NumberText(value), text);
        // What is logged must read back as the same number.
        if (kind == 't' && std::isfinite(value))
            QVERIFY(std::fabs(read - value) <= std::fabs(value) * 1e-14);
    }
};

QTEST_GUILESS_MAIN(TestProcessing)
#include "tst_processing.moc"
