#include "measure/Processing.h"

#include <QTest>
#include <cfloat>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

class TestProcessing : public QObject {
    Q_OBJECT
private slots:
    void exclusion_data();
    void exclusion();
    void exclusionHugeInputs();
    void numericValue_data();
    void numericValue();
    void numberText_data();
    void numberText();
    void numberTextSingle_data();
    void numberTextSingle();
    void numberTextReadsBack();
    void decimalNotation_data();
    void decimalNotation();
    void localizeDecimal_data();
    void localizeDecimal();
};

void TestProcessing::exclusion_data() {
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("unit") << "VDC"_ba
                          << "+1.2345E+00VDC"_ba
                          << "+1.2345E+00"_ba;
    QTest::newRow("star-comma") << "*,"_ba
                                << "NORM,+1.2E-3"_ba
                                << "+1.2E-3"_ba;
    QTest::newRow("comma-star") << ",*"_ba
                                << "+1.2E-3,OK"_ba
                                << "+1.2E-3"_ba;
    QTest::newRow("two before") << "??E"_ba
                                << "5.00E+01"_ba
                                << "5.+01"_ba;
    QTest::newRow("one after") << "E?"_ba
                               << "12E3"_ba
                               << "12"_ba;
    QTest::newRow("only wildcards") << "??"_ba
                                    << "1.5V"_ba
                                    << "1.5V"_ba;
    QTest::newRow("only star") << "*"_ba
                               << "1.5V"_ba
                               << "1.5V"_ba;
    QTest::newRow("not present") << "XYZ"_ba
                                 << "12.5"_ba
                                 << "12.5"_ba;
    QTest::newRow("case-sensitive") << "vdc"_ba
                                    << "1VDC"_ba
                                    << "1VDC"_ba;
    QTest::newRow("first occurrence") << ","_ba
                                      << "1,2,3"_ba
                                      << "12,3"_ba;
    QTest::newRow("at start") << "+"_ba
                              << "+1.5"_ba
                              << "1.5"_ba;
    QTest::newRow("at end") << "V"_ba
                            << "1.5V"_ba
                            << "1.5"_ba;
    QTest::newRow("A clipped to 1") << "??E"_ba
                                    << "1E5"_ba
                                    << "5"_ba;
    QTest::newRow("A clipped to 0") << "???V"_ba
                                    << "V12"_ba
                                    << "12"_ba;
    QTest::newRow("B past end") << "V???"_ba
                                << "1.5VD"_ba
                                << "1.5"_ba;
    QTest::newRow("star in middle") << "A*B"_ba
                                    << "xA*By AxB"_ba
                                    << "xy AxB"_ba;
    QTest::newRow("star pattern absent") << "*;"_ba
                                         << "1,2"_ba
                                         << "1,2"_ba;
    QTest::newRow("keep-from at start") << "*1"_ba
                                        << "123"_ba
                                        << "23"_ba;
    QTest::newRow("keep-up-to at end") << "3*"_ba
                                       << "123"_ba
                                       << "12"_ba;
    QTest::newRow("literal star") << "**"_ba
                                  << "a*b"_ba
                                  << "b"_ba;
    QTest::newRow("empty pattern") << QByteArray() << "abc"_ba
                                   << "abc"_ba;
    QTest::newRow("empty answer") << "V"_ba << QByteArray() << QByteArray();
    QTest::newRow("pattern longer") << "ABCDEFG"_ba
                                    << "ABC"_ba
                                    << "ABC"_ba;
    QTest::newRow("wildcards longer") << "???????X???"_ba
                                      << "X"_ba << QByteArray();
    QTest::newRow("NUL in answer") << "V"_ba
                                   << QByteArray("1\0"
                                                 "2V3",
                                                 5)
                                   << QByteArray("1\0"
                                                 "23",
                                                 4);
    QTest::newRow("NUL in pattern") << QByteArray("\0?", 2) << QByteArray("a\0bc", 4) << "ac"_ba;
}

void TestProcessing::exclusion() {
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, result);
    QCOMPARE(ApplyExclusion(answer, pattern), result);
}

void TestProcessing::exclusionHugeInputs() {
    const QByteArray big = QByteArray(1 << 20, '7') + "VDC";
    QCOMPARE(ApplyExclusion(big, "VDC"), QByteArray(1 << 20, '7'));
    QCOMPARE(ApplyExclusion(big, "*VDC"), QByteArray());
    QCOMPARE(ApplyExclusion(big, QByteArray(1 << 20, '?')), big);
    QCOMPARE(ApplyExclusion("1V", QByteArray(1 << 20, '*')), "1V"_ba);
    QCOMPARE(ApplyExclusion(big, QByteArray(5000, '?') + "D"),
             QByteArray((1 << 20) - 4999, '7') + "C");
}

void TestProcessing::numericValue_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("answer") << "+1.2345E+00VDC"_ba << 1.2345;
    QTest::newRow("blanks anywhere") << " - 1 . 5 "_ba << -1.5;
    QTest::newRow("blank between digits") << "1 2"_ba << 12.0;
    QTest::newRow("tab and LF") << "\t\n3"_ba << 3.0;
    QTest::newRow("CR stops") << "1\r2"_ba << 1.0;
    QTest::newRow("bare E") << "1E"_ba << 1.0;
    QTest::newRow("E and sign") << "1E+"_ba << 1.0;
    QTest::newRow("D exponent") << "1D3"_ba << 1000.0;
    QTest::newRow("lower d") << "2.5d-1"_ba << 0.25;
    QTest::newRow("point first") << "-.5e-2"_ba << -0.005;
    QTest::newRow("second point stops") << "1.2.3"_ba << 1.2;
    QTest::newRow("comma stops") << "1,5"_ba << 1.0;
    QTest::newRow("hex") << "&H1F"_ba << 31.0;
    QTest::newRow("hex lower") << " &h1f"_ba << 31.0;
    QTest::newRow("octal") << "&O17"_ba << 15.0;
    QTest::newRow("octal stops at 8") << "&o78"_ba << 7.0;
    QTest::newRow("ampersand alone") << "&X1"_ba << 0.0;
    QTest::newRow("letters") << "VDC"_ba << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("point only") << "."_ba << 0.0;
    QTest::newRow("leading zeros") << "0000.000125"_ba << 0.000125;
    QTest::newRow("long mantissa") << "12345678901234567890"_ba << 12345678901234567890.0;
    QTest::newRow("overflow") << "1E400"_ba << DBL_MAX;
    QTest::newRow("negative overflow") << "-9e99999999999999999999"_ba << -DBL_MAX;
    QTest::newRow("underflow") << "1e-400"_ba << 0.0;
    QTest::newRow("huge hex") << "&H" + QByteArray(400, 'F') << DBL_MAX;
    QTest::newRow("1 MB of digits") << QByteArray(1 << 20, '9') << DBL_MAX;
    QTest::newRow("1 MB fraction") << "." + QByteArray(1 << 20, '0') + "1" << 0.0;
}

void TestProcessing::numericValue() {
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    const double got = NumericValue(text);
    QVERIFY2(got == value, qPrintable(QString::number(got, 'g', 17)));
}

void TestProcessing::numberText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("zero") << 0.0 << " 0"_ba;
    QTest::newRow("negative zero") << -0.0 << " 0"_ba;
    QTest::newRow("whole") << 450.0 << " 450"_ba;
    QTest::newRow("quarter") << 0.25 << " .25"_ba;
    QTest::newRow("minus half") << -0.5 << "-.5"_ba;
    QTest::newRow("third") << 1.0 / 3 << " .333333333333333"_ba;
    QTest::newRow("15 digits") << 2.0 / 3 * 1000 << " 666.666666666667"_ba;
    QTest::newRow("0.001") << 0.001 << " .001"_ba;
    QTest::newRow("0.00099") << 0.00099 << " 9.9E-04"_ba;
    QTest::newRow("14 digits") << 1e14 - 1 << " 99999999999999"_ba;
    QTest::newRow("1E15") << 1e15 << " 1E+15"_ba;
    QTest::newRow("rounds up to 1E15") << 999999999999999.9 << " 1E+15"_ba;
    QTest::newRow("1.5E15") << 1.5e15 << " 1.5E+15"_ba;
    QTest::newRow("1E-20") << 1e-20 << " 1E-20"_ba;
    QTest::newRow("negative small") << -2.5e-5 << "-2.5E-05"_ba;
    QTest::newRow("1E300") << 1e300 << " 1E+300"_ba;
    QTest::newRow("-1E-300") << -1e-300 << "-1E-300"_ba;
    QTest::newRow("largest") << DBL_MAX << " 1.79769313486232E+308"_ba;
    QTest::newRow("nan") << std::nan("") << " NaN"_ba;
    QTest::newRow("inf") << -HUGE_VAL << "-Inf"_ba;
}

void TestProcessing::numberText() {
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    QCOMPARE(NumberText(value), text);
}

void TestProcessing::numberTextSingle_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("tenth") << 0.1f << " .1"_ba;
    QTest::newRow("third") << 1.0f / 3 << " .3333333"_ba;
    QTest::newRow("7 digits") << 1234567.0f << " 1234567"_ba;
    QTest::newRow("8 digits rounded") << 16777216.0f << " 16777220"_ba;
    QTest::newRow("negative") << -2.5f << "-2.5"_ba;
    QTest::newRow("small") << 0.0001f << " 1E-04"_ba;
    QTest::newRow("large") << 3e20f << " 3E+20"_ba;
}

void TestProcessing::numberTextSingle() {
    QFETCH(float, value);
    QFETCH(QByteArray, text);
    QCOMPARE(NumberText(value), text);
}

void TestProcessing::numberTextReadsBack() {
    // What is logged must read back as the same number (to 15 digits).
    for (double v : {1.2345e-3, -987654.321, 6.02214076e23, 1.6e-19, 0.1, 12345678901234.5}) {
        const double back = NumericValue(NumberText(v));
        QVERIFY2(std::fabs(back - v) <= std::fabs(v) * 1e-14, NumberText(v).constData());
    }
}

void TestProcessing::decimalNotation_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("leading plus") << "+1.000E+00"_ba << false << "+1.000E+00"_ba;
    QTest::newRow("one") << "1.000E+00"_ba << true << " 1"_ba;
    QTest::newRow("minus half") << "-0.5"_ba << true << "-.5"_ba;
    QTest::newRow("small") << "1.2345E-03VDC"_ba << true << " .0012345"_ba;
    QTest::newRow("negative") << "-4.5E+02"_ba << true << "-450"_ba;
    QTest::newRow("leading point") << ".5"_ba << false << ".5"_ba;
    QTest::newRow("leading blank") << " 1"_ba << false << " 1"_ba;
    QTest::newRow("letter") << "V1"_ba << false << "V1"_ba;
    QTest::newRow("empty") << QByteArray() << false << QByteArray();
}

void TestProcessing::decimalNotation() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, valid);
    QFETCH(QByteArray, text);
    const DecimalNotation result = ToDecimalNotation(answer);
    QCOMPARE(result.valid, valid);
    QCOMPARE(result.text, text);
}

void TestProcessing::localizeDecimal_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("to comma") << ","
                              << " .0012345"_ba
                              << " ,0012345"_ba;
    QTest::newRow("first point only") << ","
                                      << "1.2.3"_ba
                                      << "1,2.3"_ba;
    QTest::newRow("to point") << "."
                              << "3,14"_ba
                              << "3.14"_ba;
    QTest::newRow("first comma only") << "."
                                      << "1,234,5"_ba
                                      << "1.234,5"_ba;
    QTest::newRow("nothing to change") << "."
                                       << "1.5"_ba
                                       << "1.5"_ba;
    QTest::newRow("other separator acts as point") << ""
                                                   << "1,5"_ba
                                                   << "1.5"_ba;
    QTest::newRow("empty") << "," << QByteArray() << QByteArray();
}

void TestProcessing::localizeDecimal() {
    QFETCH(QString, separator);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, result);
    QCOMPARE(LocalizeDecimal(answer, separator), result);
}

QTEST_GUILESS_MAIN(TestProcessing)
#include "tst_processing.moc"
