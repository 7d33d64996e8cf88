// Logs written by the program's own row code, read back into chart points.
#include "measure/LogFile.h"
#include "measure/LogReader.h"
#include "measure/Run.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>

using namespace Qt::Literals::StringLiterals;
using chart::LogPoint;
using chart::LogReader;

namespace {
// Answers after the exclusions, and the chart value each must give (NaN: a gap).
const QList<QPair<QByteArray, double>> Answers = {
    {"+1.0000E+01", 10}, {"", NAN},  {"-2.5E-3VDC", -0.0025},    {"OVLD", NAN},
    {"12;5", 12},        {"  7", 7}, {QByteArray("\0x", 2), NAN}};

// Reads bytes in random chunks, as from a file a run is still writing.
LogReader ReadInChunks(const QByteArray& bytes, std::vector<LogPoint>& points, quint32 mix) {
    LogReader reader;
    QRandomGenerator random(mix);
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype n = random.bounded(1, 40);
        if (!reader.feed(bytes.mid(at, n))) break;
        at += n;
        for (const LogPoint& p : reader.take())
            points.push_back(p);
    }
    if (reader.finish())
        for (const LogPoint& p : reader.take())
            points.push_back(p);
    return reader;
}

QString Points(const std::vector<LogPoint>& points) {
    QStringList out;
    for (const LogPoint& p : points)
        out << u"%1:%2"_s.arg(p.x).arg(std::isnan(p.y) ? u"gap"_s : QString::number(p.y));
    return out.join(' ');
}
} // namespace

class TestLogReader : public QObject {
    Q_OBJECT
private slots:
    // Each column the x values come from, both decimal separators, with and without decimal
    // notation.
    void readsWrittenLogs_data() {
        QTest::addColumn<int>("mask"); // PC time 4, time from start 2, sequence 1
        QTest::addColumn<QString>("sep");
        QTest::addColumn<bool>("decimal");
        QTest::newRow("PTS .") << 7 << u"."_s << false;
        QTest::newRow("P-S , decimal") << 5 << u","_s << true;
        QTest::newRow("--S .") << 1 << u"."_s << false;
    }
    void readsWrittenLogs() {
        QFETCH(int, mask);
        QFETCH(QString, sep);
        QFETCH(bool, decimal);
        const std::array<bool, 3> columns{bool(mask & 4), bool(mask & 2), bool(mask & 1)};
        QByteArray log;
        if (sep == ".") log += "sep=;\r\n";
        log += HeaderLine(columns) + "\r\n";
        QStringList expected;
        const float interval = 1800; // past midnight on the PC clock, past a day from start
        for (qsizetype i = 0; i < Answers.size(); ++i) {
            const QTime pcTime = QTime(22, 0, 5).addSecs(int(i * interval));
            const ProcessedAnswer a = ProcessAnswer(Answers[i].first, decimal, sep);
            log += RowPrefix(columns, pcTime, float(i) * interval * 10, i + 1) + a.text + "\r\n";
            const double x = columns[1]   ? i * interval * 10.0
                             : columns[0] ? 22 * 3600 + 5 + i * interval
                                          : double(i + 1);
            const double y = Answers[i].second;
            expected << u"%1:%2"_s.arg(x).arg(std::isnan(y) ? u"gap"_s : QString::number(y));
        }
        std::vector<LogPoint> points;
        const LogReader reader = ReadInChunks(log, points, quint32(mask));
        QCOMPARE(reader.error(), QString());
        QCOMPARE(Points(points), expected.join(' '));
        QCOMPARE(reader.nonNumbers(), 3);
        QCOMPARE(reader.decimalSeparator(), sep[0].toLatin1());
    }

    // What is not a log gives an error naming the line; nothing is read past it. The line
    // ends the writer uses decide where a row ends: a lone LF inside an answer stays in it; a
    // log saved with LF line ends is read too, its last line without one as well. An invalid
    // measurement ends the run: counted, not drawn.
    void files_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const QByteArray& bytes, const QString& points,
                            const QString& error) {
            QTest::newRow(name) << bytes << points << error;
        };
        const QByteArray invalid =
            "Sequence;Measured\r\n1;2\r\nInvalid Measurement, Sequence terminated by program."
            "\r\nERR\r\n"_ba;
        row("empty", {}, {}, u"Line 1: the file ends before the header"_s);
        row("no header", "1;2\r\n"_ba, {}, u"Line 1: \"1;2\" is not the header"_s);
        row("few fields", "sep=;\r\nTime;Sequence;Measured\r\n12:00:00;1;2\r\n12:00:01\r\n"_ba,
            u"43200:2"_s, u"Line 4: \"12:00:01\" has fewer fields"_s);
        row("bad time", "Time;Measured\r\n25:00:00;1\r\n"_ba, {},
            u"Line 2: \"25:00:00\" is not a Time value"_s);
        row("after the end", invalid + "3;4\r\n", u"1:2"_s,
            u"Line 5: text after the end of the run"_s);
        row("an invalid measurement", invalid, u"1:2"_s, {});
        row("a lone LF in an answer", "Sequence;Measured\r\n1;2\nV\r\n2;4\r\n"_ba, u"1:2 2:4"_s,
            {});
        row("LF line ends", "Sequence;Measured\n1;2\n2;x\n3;5"_ba, u"1:2 2:gap 3:5"_s, {});
    }
    void files() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        std::vector<LogPoint> points;
        const LogReader reader = ReadInChunks(bytes, points, 7);
        QTEST(Points(points), "points");
        QVERIFY2(error.isEmpty() ? reader.error().isEmpty() : reader.error().startsWith(error),
                 qPrintable(reader.error()));
        QCOMPARE(reader.endedInvalid(), bytes.contains("Invalid"));
    }

    // The PC time as locales write it, with the format the log writer makes of theirs.
    void timeOfDay() {
        for (const char* name : {"en_US", "fi_FI", "en_AU", "C"}) {
            const QLocale l(QString::fromLatin1(name));
            const QString format = TimeOfDayFormat(l.timeFormat(QLocale::LongFormat));
            for (const QTime& t : {QTime(13, 5, 9), QTime(0, 0, 1), QTime(12, 30, 0)}) {
                const QByteArray text = l.toString(t, format).toLocal8Bit();
                QVERIFY2(chart::TimeOfDaySeconds(text) == t.msecsSinceStartOfDay() / 1000,
                         text.constData());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLogReader)
#include "tst_logreader.moc"
