#include "settings/ui/LogFilePart.h"
#include "measure/LogFile.h"
#include "platform/Platform.h"
#include "settings/LogFileLocation.h"
#include "settings/Settings.h"
#include "widgets/ControlEvents.h"
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

LogFilePart::LogFilePart(const Parts& parts) : c(parts) {}

void LogFilePart::ConnectHandlers() {
    for (int i = 0; i < 3; ++i)
        connect(c.Check_Log[i], &QCheckBox::clicked, this, [this, i] { Check_Log_Click(i); });
    connect(c.Text_Path, &QLineEdit::textChanged, this, &LogFilePart::Text_Path_Change);
    connect(c.Button_Path, &QPushButton::clicked, this, &LogFilePart::Button_Path_Click);
    connect(c.Button_File, &QPushButton::clicked, this, &LogFilePart::Button_File_Click);
    connect(c.Menu_LogFilePath, &QAction::triggered, this, &LogFilePart::Menu_LogFilePath_Click);
    connect(c.Menu_LogFileName, &QAction::triggered, this, &LogFilePart::Menu_LogFileName_Click);
    connect(c.Menu_File, &QMenu::aboutToShow, this, &LogFilePart::Menu_File_Click);
    connect(c.Menu_Tools, &QMenu::aboutToShow, this, &LogFilePart::Menu_Tools_Click);
    connect(c.Menu_About, &QMenu::aboutToShow, this, &LogFilePart::Menu_About_Click);
    ctl::Attach(c.Text_FileName, {.keyPress = [this](int& k) { Text_FileName_KeyPress(k); },
                                  .dblClick = [this] { Text_FileName_DblClick(); },
                                  .gotFocus = [this] { Text_FileName_GotFocus(); },
                                  .lostFocus = [this] { Text_FileName_LostFocus(); }});
}

QString LogFilePart::fileName() const {
    return c.Text_FileName->text();
}

QString LogFilePart::logPath() const {
    return LogFilePath(c.Text_Path->text(), c.Text_FileName->text());
}

std::array<bool, 3> LogFilePart::columns() const {
    return {c.Check_Log[0]->isChecked(), c.Check_Log[1]->isChecked(), c.Check_Log[2]->isChecked()};
}

void LogFilePart::Check_Log_Click(int) {
    c.settings->markChanged();
}

bool LogFilePart::ChooseLogFile() {
    QString name = c.Text_FileName->text();
    return ::ChooseLogFile(c.Text_Path->text(), &name, [this](const QString& proposed) {
        c.Text_FileName->setText(proposed);
        // The spreadsheet menus must open the file this run writes, not the old one.
        UpdateCsvFile();
    });
}

void LogFilePart::Text_FileName_KeyPress(int& keyAscii) {
    keyAscii = FileNameKey(keyAscii, c.Text_FileName->text());
}

void LogFilePart::Text_FileName_DblClick() {
    c.Text_FileName->clear();
}

void LogFilePart::Text_FileName_GotFocus() {
    logFile.FileNameOnFocus = c.Text_FileName->text();
}

void LogFilePart::Text_FileName_LostFocus() {
    QString name = c.Text_FileName->text();
    if (name.isEmpty()) {
        c.Text_FileName->setText(logFile.FileNameOnFocus);
        return;
    }
    if (LacksCsvExtension(name)) {
        if (platform::MsgBox("Check File Name", "Extension csv not found.\nDo you want to add it ?",
                             Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::Yes) {
            name = WithCsvExtension(name);
            c.Text_FileName->setText(name);
        }
    }
    const QString before = logFile.CsvFile;
    UpdateCsvFile();
    if (logFile.CsvFile != before) c.settings->markChanged();
}

void LogFilePart::Text_Path_Change() {
    if (!*c.activated) return;
    UpdateCsvFile();
    c.settings->markChanged();
}

void LogFilePart::Button_Path_Click() {
    QString start = c.Text_Path->text();
    if (start.isEmpty() || !QFileInfo(start).isDir()) {
        platform::MsgBox(
            "Path Error",
            "The current path and/or drive does not exist.\nThe Path will be reset to " +
                DefaultFolder(),
            Buttons::OkCancel, Icon::Warning);
        start = DefaultFolder();
        c.Text_Path->setText(start);
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
    if (folder != c.Text_Path->text()) c.Text_Path->setText(folder);
}

void LogFilePart::Button_File_Click() {
    platform::FileDialogRequest request;
    request.title = "Log File";
    request.folder = c.Text_Path->text();
    request.filter = "Semicolon delimited text (*.csv)|*.csv";
    request.defaultExtension = "csv";
    request.flags = 12;
    const platform::FileDialogResult result = platform::Sys().saveFileDialog(request);
    if (result.cancelled) return;
    const QString folder = FolderOf(result.fullPath);
    if (folder != c.Text_Path->text()) {
        c.Text_Path->setText(folder);
        c.settings->markChanged();
    }
    if (result.fileTitle != c.Text_FileName->text()) {
        c.Text_FileName->setText(result.fileTitle);
        c.settings->markChanged();
    }
    if (c.settings->changed()) Text_FileName_LostFocus();
}

void LogFilePart::Menu_LogFilePath_Click() {
    Button_Path_Click();
}

void LogFilePart::Menu_LogFileName_Click() {
    Button_File_Click();
}

namespace {
// A top-level menu opened while the name box has the focus checks the name first.
bool NameBoxActive(QWidget* focus, const QLineEdit* nameBox) {
    const auto* edit = qobject_cast<const QLineEdit*>(focus);
    return edit && edit->text() == nameBox->text();
}
} // namespace

void LogFilePart::Menu_File_Click() {
    if (NameBoxActive(c.window->focusWidget(), c.Text_FileName)) Text_FileName_LostFocus();
}

void LogFilePart::Menu_Tools_Click() {
    Menu_File_Click();
}

void LogFilePart::Menu_About_Click() {
    Menu_File_Click();
}

void LogFilePart::UpdateCsvFile() {
    // The very path the run opens, so the spreadsheet menus never name another file.
    logFile.CsvFile = LogFilePath(c.Text_Path->text(), c.Text_FileName->text());
    emit csvFileChanged();
}
