// The Timing frame: interval, number of sequences or total time, and the wait of a run.
#include "app/MainForm.h"
#include "measure/Processing.h"
#include "platform/Platform.h"
#include "settings/SettingsStore.h"
#include "settings/TimeFormat.h"
#include "ui_MainForm.h"
#include <QCoreApplication>
#include <QTimer>
#include <cmath>

namespace {
const char* const TimingCaption = "  Timing  ";

float ColonValue(const QString& text) {
    QString t = text;
    return float(NumericValue(t.replace(':', '.')));
}
} // namespace

void MainForm::Text_Time_KeyPress(int index, int& keyAscii) {
    if (keyAscii == 13) {
        keyAscii = 0;
        if (ui->Button_ApplyTime->isEnabled()) Button_ApplyTime_Click();
        return;
    }
    if (keyAscii == 8 || (keyAscii >= '0' && keyAscii <= '9')) return;
    if (keyAscii == ':' || keyAscii == ',' || keyAscii == '.') {
        const bool accepted = index == 2 || (index == 0 && Option_Time[1]->isChecked());
        keyAscii = accepted && !Text_Time[index]->text().contains(':') ? ':' : 0;
        return;
    }
    keyAscii = 0;
}

void MainForm::Text_Time_Change(int index) {
    if (TimeChangeGuard) return;
    QLineEdit* box = Text_Time[index];
    box->setCursorPosition(int(box->text().size()));
    if (index == 1 || index == 2) {
        TimeChangeGuard = true;
        Text_Time[index == 1 ? 2 : 1]->clear();
        TimeChangeGuard = false;
    }
    const float a = ColonValue(Text_Time[0]->text());
    const float b = float(NumericValue(Text_Time[1]->text()));
    const float c = ColonValue(Text_Time[2]->text());
    if (box->text() == ":") box->setText("0:");
    ui->Button_ApplyTime->setEnabled(a > 0 && (b > 0 || c > 0));
    ui->Button_Start->setEnabled(false);
    ui->Frame3->setTitle(TimingCaption);
    TimeApplied = false;
    if (Activated) SettingsChanged = true;
}

void MainForm::Text_Time_DblClick(int index) {
    Text_Time[index]->clear();
}

void MainForm::Option_Time_Click(int) {
    if (!Activated) return;
    ui->Frame3->setTitle(TimingCaption);
    TimeApplied = false;
    Text_Time[0]->clear();
    ui->Button_Start->setEnabled(false);
    Text_Time[0]->setFocus();
    SettingsChanged = true;
}

void MainForm::Button_Clear_Click() {
    for (QLineEdit* box : Text_Time)
        box->clear();
    ui->Button_ApplyTime->setEnabled(false);
    Text_Time[0]->setFocus();
}

void MainForm::Button_ApplyTime_Click() {
    const QString interval = Text_Time[0]->text();
    IntervalSeconds = 0;
    if (Option_Time[0]->isChecked()) {
        IntervalSeconds = float(NumericValue(interval));
    } else {
        const qsizetype colon = interval.indexOf(':');
        if (colon >= 0) IntervalSeconds = float(NumericValue(interval.mid(colon + 1)));
        IntervalSeconds = float(NumericValue(interval)) * 60 + IntervalSeconds;
    }
    // The key filter keeps a zero interval out, but pasted text does not pass through it; a
    // zero interval would divide by zero below and make a run measure without pause.
    if (!(IntervalSeconds > 0)) return;

    const QString totalText = Text_Time[2]->text();
    if (!totalText.isEmpty()) {
        float total;
        const qsizetype colon = totalText.indexOf(':');
        if (colon >= 0) {
            const float hours = colon == 0 ? 0.0f : float(NumericValue(totalText.left(colon)));
            const float minutes = float(NumericValue(totalText.mid(colon + 1)));
            total = hours * 3600 + minutes * 60;
        } else {
            total = float(NumericValue(totalText)) * 3600;
        }
        total = total + IntervalSeconds;
        float n = total / IntervalSeconds;
        if (n - std::floor(n) > 0) {
            n = std::floor(n) + 1;
            platform::MsgBox("Time mismatch",
                             "Total Minutes and Time Interval don't match exactly.\n"
                             "Number of Sequences will be rounded up to " +
                                 FormatTime((n - 1) * IntervalSeconds, 1) + ".",
                             platform::Buttons::Ok, platform::Icon::Information);
        }
        Text_Time[1]->setText(QString::fromLatin1(NumberText(n)).trimmed());
        Text_Time[2]->clear();
    }

    TotalSeconds = IntervalSeconds * float(NumericValue(Text_Time[1]->text())) - IntervalSeconds;

    QString unit = Option_Time[0]->isChecked() ? " second" : " minute";
    if (NumericValue(interval) > 1) unit += "s";
    unit += " during ";
    ui->Frame3->setTitle("  Every " + interval.trimmed() + unit + FormatTime(TotalSeconds, 1) +
                         "  ");
    TimeApplied = true;
    ui->Button_ApplyTime->setEnabled(false);
    if (!ui->Button_Connect->isEnabled() && ui->Button_Test->isEnabled())
        ui->Button_Start->setEnabled(true);
}

void MainForm::WaitForTimer(int intervalMs) {
    // After Stop, TimerFired stays set so every remaining part of the wait ends at once.
    if (!StopRequested) TimerFired = false;
    Timer1->setInterval(intervalMs);
    Timer1->start();
    emit timerArmed(intervalMs);
    while (!TimerFired)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Timer1->stop();
}

void MainForm::StartTimer(float seconds) {
    if (!(seconds > 0)) return;
    const int minutes = int(seconds / 60);
    const float rest = std::nearbyint(seconds - float(minutes) * 60);
    for (int i = 0; i < minutes; ++i)
        WaitForTimer(60000);
    if (rest != 0) WaitForTimer(int(std::int64_t(rest) * 1000));
}
