#pragma once
// The main window's log file frame: the folder and name of the log, the full path CsvFile, and
// the columns the log holds besides the answer. What it decides is in LogFileLocation.h.
#include <QObject>
#include <QString>
#include <array>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QWidget;
struct MainFormProbe;
namespace settings {
class Settings;
}

class LogFilePart : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget* window;
        QLineEdit* Text_Path;
        QLineEdit* Text_FileName;
        QPushButton* Button_Path;
        QPushButton* Button_File;
        std::array<QCheckBox*, 3> Check_Log;
        QAction* Menu_LogFilePath;
        QAction* Menu_LogFileName;
        QMenu* Menu_File; // the top-level menus check the name box as they open
        QMenu* Menu_Tools;
        QMenu* Menu_About;
        settings::Settings* settings;
        const bool* activated; // the window's first activation has finished
    };
    explicit LogFilePart(const Parts& parts);
    void ConnectHandlers();

    const QString& csvFile() const { return logFile.CsvFile; }
    QString fileName() const;
    // The file a run opens now: the path and name boxes as they stand.
    QString logPath() const;
    std::array<bool, 3> columns() const;
    void UpdateCsvFile();
    // Before a run: a name is set and an existing file is not overwritten unasked. False: the
    // run does not start.
    bool ChooseLogFile();
    void Menu_File_Click();

signals:
    void csvFileChanged();

private:
    friend struct MainFormProbe;
    Parts c;
    struct LogFileState {
        QString CsvFile; // always LogFilePath of the path and name boxes
        QString FileNameOnFocus;
    } logFile;

    void Check_Log_Click(int index);
    void Text_FileName_KeyPress(int& keyAscii);
    void Text_FileName_DblClick();
    void Text_FileName_GotFocus();
    void Text_FileName_LostFocus();
    void Text_Path_Change();
    void Button_Path_Click();
    void Button_File_Click();
    void Menu_LogFilePath_Click();
    void Menu_LogFileName_Click();
    void Menu_Tools_Click();
    void Menu_About_Click();
};
