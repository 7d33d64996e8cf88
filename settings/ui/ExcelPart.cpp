#include "settings/ui/ExcelPart.h"
#include "platform/Platform.h"
#include "settings/ExcelHandoff.h"
#include "settings/SaveFailure.h"
#include "settings/Settings.h"
#include "settings/SettingsRecord.h"
#include "settings/ui/LogFilePart.h"
#include <QAction>
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

ExcelPart::ExcelPart(const Parts& parts) : c(parts) {}

void ExcelPart::ConnectHandlers() {
    connect(c.Menu_ExcelPath, &QAction::triggered, this, &ExcelPart::Menu_ExcelPath_Click);
    connect(c.Menu_PlotbookPath, &QAction::triggered, this, &ExcelPart::Menu_PlotbookPath_Click);
    for (int i = 1; i <= 2; ++i)
        connect(c.Menu_OpenExcel[i], &QAction::triggered, this,
                [this, i] { Menu_OpenExcel_Click(i); });
}

void ExcelPart::SetCsvMenus() {
    c.Menu_OpenExcel[1]->setEnabled(false);
    c.Menu_OpenExcel[2]->setEnabled(false);
    const QString& csvFile = c.logFile->csvFile();
    if (excel.ExcelPath.isEmpty() || csvFile.isEmpty()) return;
    if (QFileInfo::exists(excel.ExcelPath) && QFileInfo::exists(csvFile)) {
        c.Menu_OpenExcel[1]->setEnabled(true);
        if (!excel.PlotbookPath.isEmpty() && QFileInfo::exists(excel.PlotbookPath))
            c.Menu_OpenExcel[2]->setEnabled(true);
    }
}

void ExcelPart::ReadExcelPaths() {
    const QString section = settings::SectionName(0);
    excel.ExcelPath = platform::Sys().readSetting(settings::AppName, section, "ExcelPath", {});
    excel.PlotbookPath =
        platform::Sys().readSetting(settings::AppName, section, "PlotbookPath", {});
}

void ExcelPart::Menu_ExcelPath_Click() {
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
        choice, excel.ExcelPath, first.isEmpty() ? QString() : QFileInfo(first).absolutePath());
    if (chosen.isEmpty()) return;
    excel.ExcelPath = chosen;
    SetCsvMenus();
}

void ExcelPart::Menu_PlotbookPath_Click() {
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
    const QString chosen = ChoosePath(choice, excel.PlotbookPath, QString());
    if (chosen.isEmpty()) return;
    excel.PlotbookPath = chosen;
    SetCsvMenus();
}

void ExcelPart::Menu_OpenExcel_Click(int index) {
    auto missing = [](const QString& title, const QString& name) {
        platform::MsgBox(title, name + " could not be found.", Buttons::Ok, Icon::Critical);
    };
    if (!QFileInfo::exists(c.logFile->csvFile()))
        return missing("Open csv-file Error", c.logFile->fileName());
    if (!QFileInfo::exists(excel.ExcelPath)) return missing("Excel Path Error", excel.ExcelPath);
    if (index == 2 && !QFileInfo::exists(excel.PlotbookPath))
        return missing("Plotbook path Error", excel.PlotbookPath);
    const excel::LogFormat format =
        excel::LogFormatOf(c.logFile->csvFile(), c.settings->measurement().DecimalSeparator);
    for (const excel::Launch& launch :
         excel::OpenCommands(index, excel.ExcelPath, excel.PlotbookPath, c.logFile->csvFile(),
                             format.hasSepLine, format.decimalSeparator)) {
        const QString failure = platform::Sys().startProgram(launch.program, launch.arguments);
        if (failure.isEmpty()) continue;
        platform::MsgBox("Excel Start Error", launch.program + " could not be started.\n" + failure,
                         Buttons::Ok, Icon::Critical);
        return;
    }
}
