// The Log File frame's handlers: the folder and name of the log file, and the full path
// CsvFile; what they decide is in LogFileLocation.h.
#include "app/MainForm.h"
#include "measure/LogFile.h"
#include "platform/Platform.h"
#include "settings/LogFileLocation.h"
#include "ui_MainForm.h"
#include <QDir>
#include <QFileInfo>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

void MainForm::Text_FileName_KeyPress(int& keyAscii) {
    keyAscii = FileNameKey(keyAscii, ui->Text_FileName->text());
}

void MainForm::Text_FileName_DblClick() {
    ui->Text_FileName->clear();
}

void MainForm::Text_FileName_GotFocus() {
    logFile.FileNameOnFocus = ui->Text_FileName->text();
}

void MainForm::Text_FileName_LostFocus() {
    QString name = ui->Text_FileName->text();
    if (name.isEmpty()) {
        ui->Text_FileName->setText(logFile.FileNameOnFocus);
        return;
    }
    if (LacksCsvExtension(name)) {
        if (platform::MsgBox("Check File Name", "Extension csv not found.\nDo you want to add it ?",
                             Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::Yes) {
            name = WithCsvExtension(name);
            ui->Text_FileName->setText(name);
        }
    }
    const QString before = logFile.CsvFile;
    UpdateCsvFile();
    if (logFile.CsvFile != before) settings.markChanged();
}

void MainForm::Text_Path_Change() {
    if (!startup.Activated) return;
    UpdateCsvFile();
    settings.markChanged();
}

void MainForm::Button_Path_Click() {
    QString start = ui->Text_Path->text();
    if (start.isEmpty() || !QFileInfo(start).isDir()) {
        platform::MsgBox(
            "Path Error",
            "The current path and/or drive does not exist.\nThe Path will be reset to " +
                DefaultFolder(),
            Buttons::OkCancel, Icon::Warning);
        start = DefaultFolder();
        ui->Text_Path->setText(start);
    }
    platform::FileDialogRequest request;
    request.title = "Select csv-file Path";
    request.folder = start;
    request.proposedName = "Open Folder";
    request.filter = "Folders|*.~#~";
    request.flags = 268;
    const platform::FileDialogResult result = platform::Sys().chooseFolder(request);
    if (result.cancelled) return;
    const QString folder = FolderOf(result.fullPath);
    if (folder != ui->Text_Path->text()) ui->Text_Path->setText(folder);
}

void MainForm::Button_File_Click() {
    platform::FileDialogRequest request;
    request.title = "Log File";
    request.folder = ui->Text_Path->text();
    request.filter = "Semicolon delimited text (*.csv)|*.csv";
    request.defaultExtension = "csv";
    request.flags = 12;
    const platform::FileDialogResult result = platform::Sys().saveFileDialog(request);
    if (result.cancelled) return;
    const QString folder = FolderOf(result.fullPath);
    if (folder != ui->Text_Path->text()) {
        ui->Text_Path->setText(folder);
        settings.markChanged();
    }
    if (result.fileTitle != ui->Text_FileName->text()) {
        ui->Text_FileName->setText(result.fileTitle);
        settings.markChanged();
    }
    if (settings.changed()) Text_FileName_LostFocus();
}

void MainForm::Menu_LogFilePath_Click() {
    Button_Path_Click();
}

void MainForm::Menu_LogFileName_Click() {
    Button_File_Click();
}

namespace {
// A top-level menu opened while the name box has the focus checks the name first.
bool NameBoxActive(QWidget* focus, const QLineEdit* nameBox) {
    const auto* edit = qobject_cast<const QLineEdit*>(focus);
    return edit && edit->text() == nameBox->text();
}
} // namespace

void MainForm::Menu_File_Click() {
    if (NameBoxActive(focusWidget(), ui->Text_FileName)) Text_FileName_LostFocus();
}

void MainForm::Menu_Tools_Click() {
    Menu_File_Click();
}

void MainForm::Menu_About_Click() {
    Menu_File_Click();
}

void MainForm::UpdateCsvFile() {
    // The very path the run opens, so the spreadsheet menus never name another file.
    logFile.CsvFile = LogFilePath(ui->Text_Path->text(), ui->Text_FileName->text());
    SetCsvMenus();
}

void MainForm::SetCsvMenus() {
    Menu_OpenExcel[1]->setEnabled(false);
    Menu_OpenExcel[2]->setEnabled(false);
    if (logFile.ExcelPath.isEmpty() || logFile.CsvFile.isEmpty()) return;
    if (QFileInfo::exists(logFile.ExcelPath) && QFileInfo::exists(logFile.CsvFile)) {
        Menu_OpenExcel[1]->setEnabled(true);
        if (!logFile.PlotbookPath.isEmpty() && QFileInfo::exists(logFile.PlotbookPath))
            Menu_OpenExcel[2]->setEnabled(true);
    }
}
