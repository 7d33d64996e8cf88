// The measurement run: start checks, the sequence loop, Stop and the end states.
#include "app/MainForm.h"
#include "bus/BusAccess.h"
#include "measure/Conditions.h"
#include "measure/LogFile.h"
#include "measure/Processing.h"
#include "platform/Platform.h"
#include "settings/TimeFormat.h"
#include "ui_MainForm.h"
#include <QApplication>
#include <QFileInfo>
#include <QTime>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {
void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}

QString MeasurementFormatText(const QByteArray& answer) {
    return "Convert Measurement to Decimal notation is activated.\n"
           "This works only if the Measurement string begins with a number.\n"
           "The current Measurement is:\n" +
           QString::fromLatin1(answer) +
           "\n\n"
           "To continue with this type of Measurement click the Test button.\n"
           "The Convert check box will be unticked when Test is opened so you\n"
           "could either continue by click OK or go on and define exclusions first.\n"
           "\n"
           "This sequence will be terminated.";
}
} // namespace

bool MainForm::ChooseLogFile() {
    if (ui->Text_FileName->text().isEmpty()) {
        platform::MsgBox("File Name Error", "File Name not defined.", Buttons::Ok, Icon::Warning);
        return false;
    }
    for (;;) {
        const QString name = ui->Text_FileName->text();
        const QString path = LogFilePath(ui->Text_Path->text(), name);
        if (path.isEmpty() || !QFileInfo::exists(path)) return true;
        const QString proposed = ProposeFreeName(name);
        const Answer a =
            platform::MsgBox("File Error",
                             "The file " + name + " already exists.\n\nSelect:\nYes to use  " +
                                 proposed + "  instead.\nNo to replace  " + name + " .",
                             Buttons::YesNoCancel, Icon::Warning, Answer::Yes);
        if (a == Answer::Cancel) return false;
        if (a == Answer::No) return true;
        ui->Text_FileName->setText(proposed);
        // The spreadsheet menus must open the file this run writes, not the old one.
        CsvFile = LogFilePath(ui->Text_Path->text(), proposed);
    }
}

void MainForm::LockWindow(bool locked) {
    ui->Button_Start->setEnabled(!locked);
    ui->Button_Stop->setEnabled(locked);
    ui->Menu_File->menuAction()->setEnabled(!locked);
    ui->Menu_Tools->menuAction()->setEnabled(!locked);
    ui->Frame1->setEnabled(!locked);
    ui->Frame2->setEnabled(!locked);
    ui->Frame3->setEnabled(!locked);
}

void MainForm::Button_Stop_Click() {
    ui->ProgressBar1->setValue(0);
    StopRequested = true;
    TimerFired = true;
    ui->Button_Stop->setEnabled(false);
}

void MainForm::Button_Start_Click() {
    if (Running) return;
    const std::array<bool, 3> columns = {Check_Log[0]->isChecked(), Check_Log[1]->isChecked(),
                                         Check_Log[2]->isChecked()};
    if (!columns[0] && !columns[1] && !columns[2]) {
        platform::MsgBox("X-data Error", "At least one option for X-data must be selected.",
                         Buttons::Ok, Icon::Critical);
        return;
    }
    ui->Menu_ViewTerm->setEnabled(false);
    TermReason.clear();

    // Conditional command, start step: decides whether the conditions take part in this
    // run and may ask to go on without the second device.
    bool CondActive = false;
    bool ConditionMet = false;
    bool EndSeq = false;

    if (!ChooseLogFile()) return;
    const float SequenceCount = float(NumericValue(Text_Time[1]->text()));

    const QString name = ui->Text_FileName->text();
    const QString path = LogFilePath(ui->Text_Path->text(), name);
    auto log = std::make_unique<LogWriter>();
    const OpenFailure failure =
        path.isEmpty() ? OpenFailure::NotFound : log->open(path, SyncPolicy::EveryRow);
    if (failure != OpenFailure::None) {
        platform::MsgBox("File Error", OpenFailureText(failure, name), Buttons::Ok, Icon::Critical);
        ui->Button_Start->setEnabled(true);
        return;
    }
    Log = std::move(log);

    StopRequested = false;
    SetTextColour(ui->Label_CurrentSequence, QApplication::palette().color(QPalette::ButtonText));
    ui->ProgressBar1->setMinimum(0);
    ui->ProgressBar1->setMaximum(int(SequenceCount));
    ui->ProgressBar1->setValue(0);
    LockWindow(true);
    Running = true;
    // Whatever ends the run, even the program ending from an error box, the flag goes down.
    struct RunningFlag {
        bool& flag;
        ~RunningFlag() { flag = false; }
    } runningFlag{Running};

    // A line the system refused (disk full, file size limit) must not pass as logged: the
    // run ends with a box instead of going on to "Completed" with rows missing.
    bool writeFailed = false;
    const auto writeLine = [&](const QByteArray& line) {
        if (writeFailed) return false;
        if (Log->writeLine(line)) return true;
        writeFailed = true;
        platform::MsgBox("File Error", "Can't write file " + name + ".", Buttons::Ok,
                         Icon::Critical);
        Button_Stop_Click();
        return false;
    };
    if (DecimalSeparator == ".") writeLine("sep=;");
    writeLine(HeaderLine(columns));

    const QByteArray query = ui->Text_MeasQuery->text().toLatin1();
    float MaxValue = 0;
    for (float Seq = 1; Seq <= SequenceCount && !StopRequested; Seq += 1) {
        const float Elapsed = (Seq - 1) * IntervalSeconds;
        ui->ProgressBar1->setValue(int(Seq));
        QByteArray Row = RowPrefix(columns, QTime::currentTime(), Elapsed, int(Seq));

        QByteArray Answer = ApplyExclusions(GpibQuery(DeviceUd, query), Exclude1, Exclude2);

        if (CondActive) {
            // Conditional command, per-answer step: compares the answer, may send the
            // command to the second device, colours the answer and sets ConditionMet.
        }

        const float value = float(NumericValue(Answer));
        if (value > MaxValue) MaxValue = value;

        if (DecNotation) {
            const DecimalNotation converted = ToDecimalNotation(Answer);
            if (converted.valid) {
                Answer = converted.text;
            } else {
                platform::MsgBox("Measurement format error", MeasurementFormatText(Answer),
                                 Buttons::Ok, Icon::Critical);
                Button_Stop_Click();
                Row = "Invalid Measurement, Sequence terminated by program.\r\n";
            }
        }
        Answer = LocalizeDecimal(Answer, DecimalSeparator);
        ui->Text_MeasResponse->setText(QString::fromLatin1(TrimSpaces(Answer)));

        Row += Answer;
        if (writeLine(Row)) emit rowLogged(Row);

        ui->Label_CurrentSequence->setText(QString::number(qint64(Seq)));
        ui->Label_RemainingSequences->setText(QString::number(double(SequenceCount - Seq)));
        ui->Label_ElapsedTime->setText(FormatTime(Elapsed, 0));
        ui->Label_RemainingTime->setText(FormatTime(TotalSeconds - Elapsed, 0));

        if (ConditionMet && EndSeq) break;
        if (Seq < SequenceCount) StartTimer(IntervalSeconds);
    }

    Log->close();
    Log.reset();
    SetCsvMenus();
    if (CondActive) {
        // Conditional command, end step: sends the command when no condition was met.
    }

    if (StopRequested) {
        SetTextColour(ui->Label_CurrentSequence, QColor(255, 0, 0));
        ui->Label_CurrentSequence->setText("Stop'd by User");
    } else if (ConditionMet && EndSeq) {
        SetTextColour(ui->Label_CurrentSequence, QColor(255, 0, 0));
        ui->Label_CurrentSequence->setText("Terminated");
    } else {
        ui->Label_CurrentSequence->setText("Completed");
    }
    LockWindow(false);
    Running = false;

    if (CloseAfterRun) {
        CloseAfterRun = false;
        close();
    }
}
