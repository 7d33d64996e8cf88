#include "measure/LogFile.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {
QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
} // namespace

class TestLogFile : public QObject {
    Q_OBJECT
private slots:
    void proposeFreeName_data();
    void proposeFreeName();
    void headerLine_data();
    void headerLine();
    void rowPrefix();
    void timeOfDayFormat_data();
    void timeOfDayFormat();
    void localeTimesHaveSecondsAndNoZone();
    void openFailureText();
    void logFilePath_data();
    void logFilePath();
    void writesLinesByteForByte_data();
    void writesLinesByteForByte();
    void truncatesExistingFile();
    void openFailures();
    void readOnlyFolder();
    void writeFailureIsReported();
};

void TestLogFile::proposeFreeName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("two digits") << "Test_05.csv"
                                << "Test_06.csv";
    QTest::newRow("19") << "Test_19.csv"
                        << "Test_20.csv";
    QTest::newRow("98") << "Test_98.csv"
                        << "Test_99.csv";
    QTest::newRow("one digit") << "Test_3.csv"
                               << "Test_4.csv";
    QTest::newRow("9") << "Test_9.csv"
                       << "Test_10.csv";
    QTest::newRow("0") << "Test_0.csv"
                       << "Test_1.csv";
    QTest::newRow("ends in 0") << "Test_20.csv"
                               << "Test_20_1.csv";
    QTest::newRow("99") << "Test_99.csv"
                        << "Test_99_1.csv";
    QTest::newRow("00") << "Test_00.csv"
                        << "Test_00_1.csv";
    QTest::newRow("three digits") << "Test_123.csv"
                                  << "Test_123_1.csv";
    QTest::newRow("letter suffix") << "Test_a1.csv"
                                   << "Test_a1_1.csv";
    QTest::newRow("no suffix") << "Data"
                               << "Data_1.csv";
    QTest::newRow("underscore last") << "x_.csv"
                                     << "x__1.csv";
    QTest::newRow("upper-case CSV") << "Run.CSV"
                                    << "Run.CSV_1.csv";
    QTest::newRow("txt") << "Run.txt"
                         << "Run.txt_1.csv";
    QTest::newRow("every .csv removed") << "a.csv_2.csv"
                                        << "a_3.csv";
}

void TestLogFile::proposeFreeName() {
    QFETCH(QString, name);
    QFETCH(QString, proposed);
    QCOMPARE(ProposeFreeName(name), proposed);
}

void TestLogFile::headerLine_data() {
    QTest::addColumn<bool>("pc");
    QTest::addColumn<bool>("fromStart");
    QTest::addColumn<bool>("sequence");
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("all") << true << true << true << "Time;Time From Start;Sequence;Measured"_ba;
    QTest::newRow("pc+start") << true << true << false << "Time;Time From Start;Measured"_ba;
    QTest::newRow("pc+seq") << true << false << true << "Time;Sequence;Measured"_ba;
    QTest::newRow("start+seq") << false << true << true << "Time From Start;Sequence;Measured"_ba;
    QTest::newRow("pc") << true << false << false << "Time;Measured"_ba;
    QTest::newRow("start") << false << true << false << "Time From Start;Measured"_ba;
    QTest::newRow("seq") << false << false << true << "Sequence;Measured"_ba;
}

void TestLogFile::headerLine() {
    QFETCH(bool, pc);
    QFETCH(bool, fromStart);
    QFETCH(bool, sequence);
    QFETCH(QByteArray, header);
    QCOMPARE(HeaderLine({pc, fromStart, sequence}), header);
}

void TestLogFile::rowPrefix() {
    const QTime t(13, 5, 9);
    const QByteArray pc = PcTimeText(t).toLocal8Bit();
    QVERIFY(pc.contains("05") && pc.contains("09"));
    QCOMPARE(RowPrefix({true, true, true}, t, 3725.0f, 12), pc + ";1:02:05;12;");
    QCOMPARE(RowPrefix({false, true, false}, t, 0.0f, 1), "0:00:00;"_ba);
    QCOMPARE(RowPrefix({false, false, true}, t, 30.0f, 2), "2;"_ba);
    QCOMPARE(RowPrefix({true, false, false}, t, 30.0f, 2), pc + ";");
}

void TestLogFile::timeOfDayFormat_data() {
    QTest::addColumn<QString>("longFormat");
    QTest::addColumn<QString>("format");
    QTest::newRow("zone at end") << "HH:mm:ss t"
                                 << "HH:mm:ss";
    QTest::newRow("long zone") << "h:mm:ss AP tttt"
                               << "h:mm:ss AP";
    QTest::newRow("zone first") << "t HH:mm:ss"
                                << "HH:mm:ss";
    QTest::newRow("zone in middle") << "h:mm:ss t  AP"
                                    << "h:mm:ss AP";
    QTest::newRow("no seconds") << "h:mm AP"
                                << "h:mm:ss AP";
    QTest::newRow("quoted letters stay") << "HH 'mit' mm 'tt' ss t"
                                         << "HH 'mit' mm 'tt' ss";
    QTest::newRow("nothing usable") << "t"
                                    << "HH:mm:ss";
}

void TestLogFile::timeOfDayFormat() {
    QFETCH(QString, longFormat);
    QFETCH(QString, format);
    QCOMPARE(TimeOfDayFormat(longFormat), format);
}

void TestLogFile::localeTimesHaveSecondsAndNoZone() {
    const QTime t(13, 5, 9);
    for (auto language : {QLocale::English, QLocale::German, QLocale::Japanese, QLocale::Korean,
                          QLocale::Finnish, QLocale::Arabic}) {
        const QLocale locale(language);
        const QString format = TimeOfDayFormat(locale.timeFormat(QLocale::LongFormat));
        const QString text = locale.toString(t, format);
        QVERIFY2(locale.toTime(text, format) == t, qPrintable(text)); // seconds kept
        QVERIFY2(text == text.trimmed(), qPrintable(text));
        QVERIFY2(!text.contains(u"UTC"_s) && !text.contains(u"GMT"_s), qPrintable(text));
    }
}

void TestLogFile::openFailureText() {
    QCOMPARE(OpenFailureText(OpenFailure::NotFound, u"a.csv"_s), u"Invalid File Name: a.csv."_s);
    QCOMPARE(OpenFailureText(OpenFailure::PermissionDenied, u"a.csv"_s),
             u"Permission denied. File probably already open by other program."_s);
    QCOMPARE(OpenFailureText(OpenFailure::Other, u"a.csv"_s), u"Can't open file a.csv."_s);
}

void TestLogFile::logFilePath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "/data/logs"
                           << "a.csv"
                           << "/data/logs/a.csv";
    QTest::newRow("trailing separator") << "/data/logs/"
                                        << "a.csv"
                                        << "/data/logs/a.csv";
    QTest::newRow("root") << "/"
                          << "a.csv"
                          << "/a.csv";
    QTest::newRow("dots inside name") << "/d"
                                      << "..a.csv"
                                      << "/d/..a.csv";
    QTest::newRow("parent") << "/d"
                            << ".."
                            << "";
    QTest::newRow("self") << "/d"
                          << "."
                          << "";
    QTest::newRow("empty") << "/d"
                           << ""
                           << "";
    QTest::newRow("slash") << "/d"
                           << "../x.csv"
                           << "";
    QTest::newRow("backslash") << "/d"
                               << "..\\x.csv"
                               << "";
    QTest::newRow("NUL") << "/d" << QStringLiteral("a\0b").left(3) << "";
}

void TestLogFile::logFilePath() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(LogFilePath(folder, name), path);
}

void TestLogFile::writesLinesByteForByte_data() {
    QTest::addColumn<SyncPolicy>("policy");
    QTest::newRow("every row") << SyncPolicy::EveryRow;
    QTest::newRow("once per second") << SyncPolicy::AtMostOncePerSecond;
}

void TestLogFile::writesLinesByteForByte() {
    QFETCH(SyncPolicy, policy);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"log.csv"_s);
    QByteArray binary;
    for (int b = 0; b < 256; ++b)
        binary += char(b);
    const QList<QByteArray> lines = {"sep=;", "Sequence;Measured", "1; 1.5", QByteArray(), binary};
    LogWriter writer;
    QCOMPARE(writer.open(path, policy), OpenFailure::None);
    QByteArray expected;
    for (const QByteArray& line : lines) {
        QVERIFY(writer.writeLine(line));
        expected += line + "\r\n";
        QCOMPARE(ReadAll(path), expected); // each row is visible before close
    }
    writer.close();
    QVERIFY(!writer.isOpen());
    QVERIFY(!writer.writeLine("late"));
    QCOMPARE(ReadAll(path), expected);
}

void TestLogFile::truncatesExistingFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"old.csv"_s);
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'x'));
    old.close();
    LogWriter writer;
    QCOMPARE(writer.open(path), OpenFailure::None);
    QVERIFY(writer.writeLine("new"));
    writer.close();
    QCOMPARE(ReadAll(path), "new\r\n"_ba);
}

void TestLogFile::openFailures() {
    QTemporaryDir dir;
    QFile plain(dir.filePath(u"plain"_s));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    LogWriter writer;
    QCOMPARE(writer.open(dir.filePath(u"missing/a.csv"_s)), OpenFailure::NotFound);
    QCOMPARE(writer.open(dir.filePath(u"plain/a.csv"_s)), OpenFailure::NotFound);
    QCOMPARE(writer.open(QString()), OpenFailure::NotFound);
    QCOMPARE(writer.open(dir.path()), OpenFailure::Other);
    QVERIFY(!writer.isOpen());
}

void TestLogFile::readOnlyFolder() {
    if (geteuid() == 0) QSKIP("root may write into a read-only folder");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    LogWriter writer;
    const OpenFailure failure = writer.open(dir.filePath(u"a.csv"_s));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(failure, OpenFailure::PermissionDenied);
}

void TestLogFile::writeFailureIsReported() {
    if (!QFile::exists(u"/dev/full"_s)) QSKIP("no /dev/full here");
    LogWriter writer;
    QCOMPARE(writer.open(u"/dev/full"_s), OpenFailure::None);
    QVERIFY(!writer.writeLine("1;2"));
}

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
