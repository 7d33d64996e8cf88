#pragma once
// The main window's spreadsheet menus: where the spreadsheet program and the chart workbook
// are, and opening the current log with them.
#include <QObject>
#include <QString>
#include <array>

class QAction;
class LogFilePart;
struct MainFormProbe;
namespace settings {
class Settings;
}

class ExcelPart : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QAction* Menu_ExcelPath;
        QAction* Menu_PlotbookPath;
        std::array<QAction*, 3> Menu_OpenExcel; // indices 1 and 2
        const settings::Settings* settings;
        const LogFilePart* logFile;
    };
    explicit ExcelPart(const Parts& parts);
    void ConnectHandlers();

    void ReadExcelPaths();
    // The open menus are enabled while the program, the workbook and the log exist.
    void SetCsvMenus();

private:
    friend struct MainFormProbe;
    Parts c;
    struct ExcelState {
        QString ExcelPath; // the spreadsheet program and the chart workbook
        QString PlotbookPath;
    } excel;

    void Menu_ExcelPath_Click();
    void Menu_PlotbookPath_Click();
    void Menu_OpenExcel_Click(int index);
};
