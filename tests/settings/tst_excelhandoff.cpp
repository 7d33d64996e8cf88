// Handing a log to the spreadsheet program: the starts, the checks of the chosen paths, and a
// real program started with the arguments as they were built.
#include "FileBytes.h"
#include "platform/ui/QtPlatform.h"
#include "settings/ExcelHandoff.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace excel;

namespace {
const QString DotOption = "--infilter=Text - txt - csv (StarCalc):59,34,12,2,,1033,false,true";
const QString CommaOption = "--infilter=Text - txt - csv (StarCalc):59,34,12,1,,1031,false,true";
} // namespace

class TestExcelHandoff : public QObject {
    Q_OBJECT

private slots:
    // What each kind of program is started with: the workbook (1 the log alone, 2 the
    // plotbook) and how the log was written (a sep= line, its decimal separator).
    void commands() {
        const QString book = "/m y/\"Plotbook\".xlsm", csv = "/logs/run 1.csv";
        const auto starts = [&](int workbook, const QString& program, bool sep, const char* point) {
            QStringList out;
            for (const Launch& l : OpenCommands(workbook, program, book, csv, sep, point))
                out << l.program + "|" + l.arguments.join('|');
            return out.join('\n');
        };
        QCOMPARE(starts(2, "C:\\Apps\\EXCEL.EXE", true, "."),
                 "C:\\Apps\\EXCEL.EXE|" + book + "|" + csv);
        QCOMPARE(starts(1, "/usr/bin/localc", false, ","),
                 "/usr/bin/localc|" + CommaOption + "|" + csv);
        QCOMPARE(starts(1, "/usr/bin/office-tool", true, "."), "/usr/bin/office-tool|" + csv);
    }

    // What the hand-off reads from disk. The log tells how it was written; a log that cannot be
    // read leaves it to the caller. The path dialog starts where the first spreadsheet program
    // on PATH lives, an executable file.
    void filesOnDisk() {
        QTemporaryDir a, b;
        const QString dot = a.filePath("dot.csv"), comma = a.filePath("comma.csv");
        QVERIFY(WriteFile(dot, "sep=;\r\nMeasured\r\n 1.5\r\n") &&
                WriteFile(comma, "Measured\r\n 1,5\r\n"));
        auto text = [](const LogFormat& f) {
            return f.decimalSeparator + (f.hasSepLine ? "s" : "");
        };
        QCOMPARE(text(LogFormatOf(dot, ",")) + text(LogFormatOf(comma, ".")) +
                     text(LogFormatOf(a.filePath("gone.csv"), ",")),
                 ".s,,");
        QVERIFY(WriteFile(a.filePath("gnumeric"), "#!/bin/sh\n", true));
        QVERIFY(WriteFile(b.filePath("soffice"), "#!/bin/sh\n", true));
        QVERIFY(WriteFile(b.filePath("libreoffice"), "not executable"));
        QCOMPARE(FirstSpreadsheetProgram({a.path(), b.path()}), b.filePath("soffice"));
        // Only the plotbook's own name, in any case, is the plotbook.
        QVERIFY(IsPlotbook("/a/PLOTBOOK.XLSM") && !IsPlotbook("/a/Plotbook (2).xlsm"));
    }

    // A stand-in program started the way the menu starts it records its arguments: no shell
    // splits or unquotes them, and the start does not wait.
    void standInReceivesArguments() {
        QTemporaryDir dir;
        const QString program = dir.filePath("libreoffice"), record = program + ".args";
        QVERIFY(WriteFile(
            program,
            "#!/bin/sh\nprintf '%s\\n' \"$@\" >\"$0.part\" && mv \"$0.part\" \"$0.args\"\n", true));
        const QString csv = dir.filePath("it's a \"run\" $HOME;.csv");
        QVERIFY(WriteFile(csv, "sep=;\r\nMeasured\r\n"));
        const Launch start = OpenCommands(1, program, {}, csv, true, ".").value(0);
        platform::QtPlatform p;
        QCOMPARE(p.startProgram(start.program, start.arguments), QString());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), DotOption + "\n" + csv + "\n");
        // A program that cannot start says why.
        QCOMPARE(p.startProgram(csv, {}), QString("Permission denied"));
    }
};

QTEST_MAIN(TestExcelHandoff)
#include "tst_excelhandoff.moc"
