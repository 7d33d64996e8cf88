#pragma once
// The narrow way tests reach the main window's private state and handlers. Add what a new
// test needs here, rather than making members of MainForm public.
#include "app/MainForm.h"
#include "ui_MainForm.h"

struct MainFormProbe {
    explicit MainFormProbe(MainForm& f)
        : form(f), ui(f.ui.get()), Option_ID(f.Option_ID), Text_Time(f.Text_Time),
          Option_Time(f.Option_Time), Check_Log(f.Check_Log), Menu_OpenExcel(f.Menu_OpenExcel),
          Timer1(f.Timer1), instrument(f.instrument), listeners(f.listeners), startup(f.startup),
          connection(f.connection), timing(f.timing), logFile(f.logFile), run(f.run),
          settings(f.settings) {}

    MainForm& form;
    Ui::MainForm* const ui;
    std::array<QRadioButton*, 3>& Option_ID;
    std::array<QLineEdit*, 3>& Text_Time;
    std::array<QRadioButton*, 2>& Option_Time;
    std::array<QCheckBox*, 3>& Check_Log;
    std::array<QAction*, 3>& Menu_OpenExcel;
    QTimer* const Timer1;
    bus::Instrument& instrument;
    bus::Listeners& listeners;
    // The window's state, grouped as MainForm keeps it.
    decltype(MainForm::startup)& startup;
    decltype(MainForm::connection)& connection;
    decltype(MainForm::timing)& timing;
    decltype(MainForm::logFile)& logFile;
    decltype(MainForm::run)& run;
    settings::Settings& settings;

    // Handlers a test calls directly (where clicking the control would not reach them the
    // same way, or would be an extra step that proves nothing).
    void Button_Connect_Click() { form.Button_Connect_Click(); }
    void Button_ApplyTime_Click() { form.Button_ApplyTime_Click(); }
    void Button_Start_Click() { form.Button_Start_Click(); }
    void Button_Stop_Click() { form.Button_Stop_Click(); }
    void Timer1_Timer() { form.Timer1_Timer(); }
    void Menu_GPIB_Click() { form.Menu_GPIB_Click(); }
    void Combo_Addr_Click() { form.Combo_Addr_Click(); }
    void Menu_File_Click() { form.Menu_File_Click(); }
    void Menu_Exit_Click() { form.Menu_Exit_Click(); }
    void Option_ID_Click(int index) { form.Option_ID_Click(index); }
    void CondOnIndicator(bool on) { form.CondOnIndicator(on); }
    void StartTimer(float seconds) { form.StartTimer(seconds); }
};
