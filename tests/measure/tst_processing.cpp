#include "measure/Processing.h"

#include <QTest>
#include <array>
#include <cfloat>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {
// One table row on one line: the tag, then a value for each column.
template <typename... T> void row(const char* tag, const T&... values) {
    (QTest::newRow(tag) << ... << values);
}
// The columns of a table, one type and name each.
template <typename... T> void columns(std::array<const char*, sizeof...(T)> names) {
    int i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}
// The current row's value in a column (QFETCH as an expression).
template <typename T> const T& in(const char* name) {
    return *static_cast<T*>(QTest::qData(name, qMetaTypeId<T>()));
}
} // namespace

class TestProcessing : public QObject {
    Q_OBJECT
private slots:
    void exclusion_data() {
        columns<QByteArray, QByteArray, QByteArray>({"pattern", "answer", "result"});
        row("unit", "VDC"_ba, "+1.2345E+00VDC"_ba, "+1.2345E+00"_ba);
        row("star-comma", "*,"_ba, "NORM,+1.2E-3"_ba, "+1.2E-3"_ba);
        row("comma-star", ",*"_ba, "+1.2E-3,OK"_ba, "+1.2E-3"_ba);
        row("two before", "??E"_ba, "5.00E+01"_ba, "5.+01"_ba);
        row("one after", "E?"_ba, "12E3"_ba, "12"_ba);
        row("only wildcards", "??"_ba, "1.5V"_ba, "1.5V"_ba);
        row("only star", "*"_ba, "1.5V"_ba, "1.5V"_ba);
        row("case-sensitive", "vdc"_ba, "1VDC"_ba, "1VDC"_ba);
        row("first occurrence", ","_ba, "1,2,3"_ba, "12,3"_ba);
        row("at start", "+"_ba, "+1.5"_ba, "1.5"_ba);
        row("at end", "V"_ba, "1.5V"_ba, "1.5"_ba);
        row("A clipped", "??E"_ba, "1E5"_ba, "5"_ba);
        row("B past end", "V???"_ba, "1.5VD"_ba, "1.5"_ba);
        row("star in middle", "A*B"_ba, "xA*By AxB"_ba, "xy AxB"_ba);
        row("empty pattern", QByteArray(), "abc"_ba, "abc"_ba);
        row("pattern longer", "ABCDEFG"_ba, "ABC"_ba, "ABC"_ba);
        row("wildcards longer", "???????X???"_ba, "X"_ba, QByteArray());
        row("NUL bytes", QByteArray("\0?", 2), QByteArray("a\0bc", 4), "ac"_ba);
        const QByteArray sevens(1 << 20, '7'), big = sevens + "VDC";
        row("1 MB answer", "VDC"_ba, big, sevens);
        row("1 MB of ?", QByteArray(1 << 20, '?'), big, big);
        row("1 MB of *", QByteArray(1 << 20, '*'), "1V"_ba, "1V"_ba);
    }

    void exclusion() {
        auto bytes = in<QByteArray>;
        QCOMPARE(ApplyExclusion(bytes("answer"), bytes("pattern")), bytes("result"));
    }

    void numericValue_data() {
        columns<QByteArray, double>({"text", "value"});
        row("answer", "+1.2345E+00VDC"_ba, 1.2345);
        row("blanks anywhere", " - 1 . 5 "_ba, -1.5);
        row("tab and LF skipped, CR stops", "\t\n1\r2"_ba, 1.0);
        row("bare exponent", "1e+"_ba, 1.0);
        row("D, blanks in exponent", "1 D+ 3"_ba, 1000.0);
        row("point first, lower d", "-.5d-2"_ba, -0.005);
        row("second point stops", "1.2.3"_ba, 1.2);
        row("comma stops", "1,5"_ba, 1.0);
        row("hex", " &h1Fg"_ba, 31.0);
        row("octal stops at 8", "&O178"_ba, 15.0);
        row("ampersand alone", "&X1"_ba, 0.0);
        row("point only", "."_ba, 0.0);
        row("leading zeros", "0000.000125"_ba, 0.000125);
        row("overflow", "-9e99999999999999999999"_ba, -DBL_MAX);
        row("underflow", "1e-400"_ba, 0.0);
        row("huge hex", "&H" + QByteArray(400, 'F'), DBL_MAX);
        row("1 MB of digits", QByteArray(1 << 20, '9'), DBL_MAX);
        row("1 MB fraction", "." + QByteArray(1 << 20, '0') + "1", 0.0);
    }

    void numericValue() {
        const double got = NumericValue(in<QByteArray>("text"));
        QVERIFY2(got == in<double>("value"), qPrintable(QString::number(got, 'g', 17)));
    }

    void numberText_data() {
        columns<bool, double, QByteArray>({"single", "value", "text"});
        row("negative zero", false, -0.0, " 0"_ba);
        row("15 digits", false, 2.0 / 3 * 1000, " 666.666666666667"_ba);
        row("0.001", false, 0.001, " .001"_ba);
        row("0.00099", false, 0.00099, " 9.9E-04"_ba);
        row("14 digits", false, 1e14 - 1, " 99999999999999"_ba);
        row("1E15", false, 1e15, " 1E+15"_ba);
        row("rounds up to 1E15", false, 999999999999999.9, " 1E+15"_ba);
        row("1E-20", false, 1e-20, " 1E-20"_ba);
        row("largest", false, DBL_MAX, " 1.79769313486232E+308"_ba);
        row("nan", false, std::nan(""), " NaN"_ba);
        row("inf", false, -HUGE_VAL, "-Inf"_ba);
        row("single tenth", true, 0.1, " .1"_ba);
        row("single third", true, 1.0 / 3, " .3333333"_ba);
        row("single 8 digits rounded", true, 16777216.0, " 16777220"_ba);
        row("single small", true, 0.0001, " 1E-04"_ba);
    }

    void numberText() {
        QFETCH(bool, single);
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QCOMPARE(single ? NumberText(float(value)) : NumberText(value), text);
        // What is logged must read back as the same number.
        if (!single && std::isfinite(value))
            QVERIFY(std::fabs(NumericValue(text) - value) <= std::fabs(value) * 1e-14);
    }

    void decimalNotation_data() {
        columns<QByteArray, bool, QByteArray>({"answer", "valid", "text"});
        row("leading plus", "+1.000E+00"_ba, false, "+1.000E+00"_ba);
        row("one", "1.000E+00"_ba, true, " 1"_ba);
        row("minus half", "-0.5"_ba, true, "-.5"_ba);
        row("small with unit", "1.2345E-03VDC"_ba, true, " .0012345"_ba);
        row("leading point", ".5"_ba, false, ".5"_ba);
        row("leading blank", " 1"_ba, false, " 1"_ba);
        row("empty", QByteArray(), false, QByteArray());
    }

    void decimalNotation() {
        const DecimalNotation result = ToDecimalNotation(in<QByteArray>("answer"));
        QCOMPARE(result.valid, in<bool>("valid"));
        QCOMPARE(result.text, in<QByteArray>("text"));
    }

    void localizeDecimal_data() {
        columns<QString, QByteArray, QByteArray>({"separator", "answer", "result"});
        row("first point only", u","_s, " 1.2.3"_ba, " 1,2.3"_ba);
        row("first comma only", u"."_s, "1,234,5"_ba, "1.234,5"_ba);
        row("point stays", u"."_s, "1.5"_ba, "1.5"_ba);
        row("other separator acts as point", QString(), "1,5"_ba, "1.5"_ba);
    }

    void localizeDecimal() {
        QCOMPARE(LocalizeDecimal(in<QByteArray>("answer"), in<QString>("separator")),
                 in<QByteArray>("result"));
    }
};

QTEST_GUILESS_MAIN(TestProcessing)
#include "tst_processing.moc"
