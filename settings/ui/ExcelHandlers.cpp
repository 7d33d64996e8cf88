// The spreadsheet menus of the main window: where the spreadsheet program and the chart
// workbook are, and opening the current log with them.
#include "app/MainForm.h"
#include "platform/Platform.h"
#include "settings/ExcelHandoff.h"
#include "settings/SaveFailure.h"
#include "settings/SettingsRecord.h"
#include "ui_MainForm.h"
#include <QFileInfo>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {
// One of the two path menus: what differs between them.
struct PathChoice {
    const char* confirmTitle;
    const char* confirmText;
    const char* dialogTitle;
    QString filter;
    const char* extension;
    bool (*accepted)(const QString&);
    const char* errorTitle;
    const char* errorText;
    const char* key;
    const char* savedName; // what a failed save names
};

// Asks for a new path and returns it; empty when the user kept the old one or chose a
// wrong file.
QString ChoosePath(const PathChoice& c, const QString& current, const QString& startFolder) {
    if (!current.isEmpty() &&
        platform::MsgBox(c.confirmTitle,
                         QString(c.confirmText) + "\n\n" + current +
                             "\n\nDo you want to change it?",
                         Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::No)
        return {};
    platform::FileDialogRequest request;
    request.title = c.dialogTitle;
    request.folder = current.isEmpty() ? startFolder : QFileInfo(current).absolutePath();
    request.filter = c.filter;
    request.defaultExtension = c.extension;
    request.flags = 12;
    const platform::FileDialogResult result = platform::Sys().openFileDialog(request);
    if (result.cancelled) return {};
    if (!c.accepted(result.fullPath)) {
        platform::MsgBox(c.errorTitle, QString(c.errorText) + "\n\nIt will not be saved.",
                         Buttons::Ok, Icon::Critical);
        return {};
    }
    // A path the store refuses still serves until the program ends.
    const QString failure = platform::Sys().writeSetting(
        settings::AppName, settings::SectionName(0), c.key, result.fullPath);
    if (!failure.isEmpty()) ReportSaveFailure(c.savedName, failure);
    return result.fullPath;
}

#ifdef Q_OS_WIN
const QString ProgramFilter = QStringLiteral("Excel Main Program (excel.exe)|excel.exe");
const char* const ProgramExtension = "exe";
#else
// Any executable stands in for Excel here; the caption stays as users know it.
const QString ProgramFilter = QStringLiteral("Excel Main Program (excel.exe)|*");
const char* const ProgramExtension = "";
#endif
} // namespace

void MainForm::ReadExcelPaths() {
    const QString section = settings::SectionName(0);
    logFile.ExcelPath = platform::Sys().readSetting(settings::AppName, section, "ExcelPath", {});
    logFile.PlotbookPath =
        platform::Sys().readSetting(settings::AppName, section, "PlotbookPath", {});
}

void MainForm::Menu_ExcelPath_Click() {
    static const PathChoice choice{"Excel Path",
                                   "Current Path to Excel is:",
                                   "Define the path to Excel Main Program",
                                   ProgramFilter,
                                   ProgramExtension,
                                   excel::IsSpreadsheetProgram,
                                   "Excel Path Error",
                                   "This is not a valid path to Excel.exe.",
                                   "ExcelPath",
                                   "The path to Excel"};
    const QString first = excel::FirstSpreadsheetProgram();
    const QString chosen = ChoosePath(
        choice, logFile.ExcelPath, first.isEmpty() ? QString() : QFileInfo(first).absolutePath());
    if (chosen.isEmpty()) return;
    logFile.ExcelPath = chosen;
    SetCsvMenus();
}

void MainForm::Menu_PlotbookPath_Click() {
    static const PathChoice choice{"Plotbook Path",
                                   "Current Path to Plotbook is:",
                                   "Define path to Plotbook Macro File",
                                   QStringLiteral("Excel Macro File (Plotbook.xlsm)|Plotbook.xlsm"),
                                   "xlsm",
                                   excel::IsPlotbook,
                                   "Plotbook Path Error",
                                   "This is not a valid path to Plotbook.xlsm",
                                   "PlotbookPath",
                                   "The path to Plotbook"};
    const QString chosen = ChoosePath(choice, logFile.PlotbookPath, QString());
    if (chosen.isEmpty()) return;
    logFile.PlotbookPath = chosen;
    SetCsvMenus();
}

void MainForm::Menu_OpenExcel_Click(int index) {
    auto missing = [](const QString& title, const QString& name) {
        platform::MsgBox(title, name + " could not be found.", Buttons::Ok, Icon::Critical);
    };
    if (!QFileInfo::exists(logFile.CsvFile))
        return missing("Open csv-file Error", ui->Text_FileName->text());
    if (!QFileInfo::exists(logFile.ExcelPath))
        return missing("Excel Path Error", logFile.ExcelPath);
    if (index == 2 && !QFileInfo::exists(logFile.PlotbookPath))
        return missing("Plotbook path Error", logFile.PlotbookPath);
    const excel::LogFormat format =
        excel::LogFormatOf(logFile.CsvFile, settings.measurement().DecimalSeparator);
    for (const excel::Launch& launch :
         excel::OpenCommands(index, logFile.ExcelPath, logFile.PlotbookPath, logFile.CsvFile,
                             format.hasSepLine, format.decimalSeparator)) {
        const QString failure = platform::Sys().startProgram(launch.program, launch.arguments);
        if (failure.isEmpty()) continue;
        platform::MsgBox("Excel Start Error", launch.program + " could not be started.\n" + failure,
                         Buttons::Ok, Icon::Critical);
        return;
    }
}
