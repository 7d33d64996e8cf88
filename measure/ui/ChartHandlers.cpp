// The main window's ways into the chart: a log file chosen by the user.
#include "app/MainForm.h"
#include "measure/ui/ChartForm.h"
#include "platform/Platform.h"
#include "ui_MainForm.h"
#include <QFileInfo>

void MainForm::Menu_ChartFile_Click() {
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Open Log File in Chart");
    request.folder = ui->Text_Path->text();
    request.filter = QStringLiteral("Semicolon delimited text (*.csv)|*.csv");
    request.defaultExtension = QStringLiteral("csv");
    const platform::FileDialogResult result = platform::Sys().openFileDialog(request);
    if (!result.cancelled) ChartForm::ShowFile(this, result.fullPath);
}
