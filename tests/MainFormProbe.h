#pragma once
// The narrow way tests reach the main window's parts, their private state and handlers. Add
// what a new test needs here, rather than making members public.
#include "app/MainForm.h"
#include "condition/ui/CondPart.h"
#include "measure/ui/ConnectionPart.h"
#include "measure/ui/RunPart.h"
#include "settings/ui/ExcelPart.h"
#include "settings/ui/LogFilePart.h"
#include "settings/ui/TimingPart.h"
#include "ui_MainForm.h"
#include <QTimer>

struct MainFormProbe {
    explicit MainFormProbe(MainForm& f)
        : form(f), ui(f.ui.get()), Option_ID(f.connectionPart->c.Option_ID),
          Text_Time(f.timingPart->c.Text_Time), Option_Time(f.timingPart->c.Option_Time),
          Check_Log(f.logFilePart->c.Check_Log), Menu_OpenExcel(f.excelPart->c.Menu_OpenExcel),
          Timer1(f.runPart->controller().findChild<QTimer*>("Timer1")),
          controller(f.runPart->controller()), instrument(f.instrument), startup(f.startup),
          connection(f.connectionPart->connection), timing(f.timingPart->timing),
          logFile(f.logFilePart->logFile), excel(f.excelPart->excel), run(f.runPart->run),
          settings(f.settings) {}

    MainForm& form;
    Ui::MainForm* const ui;
    const std::array<QRadioButton*, 3>& Option_ID;
    const std::array<QLineEdit*, 3>& Text_Time;
    const std::array<QRadioButton*, 2>& Option_Time;
    const std::array<QCheckBox*, 3>& Check_Log;
    const std::array<QAction*, 3>& Menu_OpenExcel;
    QTimer* const Timer1;
    RunController& controller;
    bus::Instrument& instrument;
    // The window's state, grouped as its parts keep it.
    decltype(MainForm::startup)& startup;
    decltype(ConnectionPart::connection)& connection;
    decltype(TimingPart::timing)& timing;
    decltype(LogFilePart::logFile)& logFile;
    decltype(ExcelPart::excel)& excel;
    decltype(RunPart::run)& run;
    settings::Settings& settings;

    // Handlers a test calls directly (where clicking the control would not reach them the
    // same way, or would be an extra step that proves nothing).
    void Button_Connect_Click() { form.connectionPart->Button_Connect_Click(); }
    void Button_ApplyTime_Click() { form.timingPart->Button_ApplyTime_Click(); }
    void Button_Start_Click() { form.runPart->Button_Start_Click(); }
    void Button_Stop_Click() { form.runPart->Button_Stop_Click(); }
    void Timer1_Timer() { controller.timerFired(); }
    void Combo_Addr_Click() { form.connectionPart->Combo_Addr_Click(); }
    void Menu_File_Click() { form.logFilePart->Menu_File_Click(); }
    void Menu_Exit_Click() { form.Menu_Exit_Click(); }
    void Option_ID_Click(int index) { form.connectionPart->Option_ID_Click(index); }
    void CondOnIndicator(bool on) { form.condPart->CondOnIndicator(on); }
    void StartTimer(float seconds) { controller.wait(seconds); }

    // Connects by address, types the query and applies the timing: the set-up of every run.
    void ConnectAndApplyTiming(const QString& address, const QString& query, int interval,
                               double sequences) {
        Option_ID[2]->click();
        ui->Combo_Addr->setCurrentText(address);
        Button_Connect_Click();
        ui->Text_MeasQuery->setText(query);
        Text_Time[0]->setText(QString::number(interval));
        Text_Time[1]->setText(QString::number(sequences));
        Button_ApplyTime_Click();
    }
};
