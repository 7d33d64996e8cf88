#pragma once
// Handing a finished log to the user's spreadsheet program: Excel where it exists, otherwise
// the spreadsheet program the user chose (LibreOffice Calc, Gnumeric, ...).
#include <QList>
#include <QString>
#include <QStringList>

namespace excel {

// A program start: never through a shell, so every argument arrives as one, spaces and
// quotes included.
struct Launch {
    QString program;
    QStringList arguments;
    bool operator==(const Launch&) const = default;
};

// Index 1 opens the log alone; index 2 opens the chart workbook, then the log. One start,
// except for LibreOffice with the workbook: its import option applies to every document on
// its command line and the workbook does not load through it, so the workbook gets a start
// of its own, before the log's.
QList<Launch> OpenCommands(int index, const QString& excelPath, const QString& plotbookPath,
                           const QString& csvFile, bool logHasSepLine,
                           const QString& logDecimalSeparator);

// LibreOffice by any of its start names (libreoffice, soffice, localc, with a version or
// ".exe"/".bin" tail).
bool IsLibreOffice(const QString& program);

// LibreOffice ignores the "sep=;" line and would ask for the import settings; this option
// hands them over: ";" separator, '"' text delimiter, one byte per character, the first line
// after "sep=;", standard columns, and the language whose decimal separator the log uses.
QString CsvImportOption(bool logHasSepLine, const QString& logDecimalSeparator);

// What a log file tells about itself: a first line "sep=;" is written only with the "."
// separator; without it the numbers carry ",". Unreadable: the caller's separator decides.
struct LogFormat {
    bool hasSepLine = false;
    QString decimalSeparator;
};
LogFormat LogFormatOf(const QString& csvFile, const QString& fallbackSeparator);

// The check a chosen spreadsheet program must pass: the name "excel.exe" on Windows, an
// executable file elsewhere.
bool IsSpreadsheetProgram(const QString& chosenPath);
// The chart workbook is known by its name on every platform.
bool IsPlotbook(const QString& chosenPath);

// The spreadsheet programs looked for on PATH, in order of preference.
QStringList SpreadsheetProgramNames();
// The full path of the first of them found in the given folders (PATH when empty); empty if
// none.
QString FirstSpreadsheetProgram(const QStringList& folders = {});

} // namespace excel
