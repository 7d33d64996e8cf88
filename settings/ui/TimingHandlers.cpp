// The Timing frame's handlers and the wait of a run; what they decide is in Timing.h.
#include "app/MainForm.h"
#include "platform/Platform.h"
#include "settings/Timing.h"
#include "ui_MainForm.h"
#include <QCoreApplication>
#include <QScopedValueRollback>
#include <QTimer>

namespace {
TimingEntries EntriesOf(const std::array<QLineEdit*, 3>& boxes, bool minutes) {
    return {boxes[0]->text(), boxes[1]->text(), boxes[2]->text(), minutes};
}
} // namespace

void MainForm::Text_Time_KeyPress(int index, int& keyAscii) {
    if (keyAscii == 13) {
        keyAscii = 0;
        if (ui->Button_ApplyTime->isEnabled()) Button_ApplyTime_Click();
        return;
    }
    keyAscii = TimingKey(index, keyAscii, EntriesOf(Text_Time, Option_Time[1]->isChecked()));
}

void MainForm::Text_Time_Change(int index) {
    if (timing.TimeChangeGuard) return;
    QLineEdit* box = Text_Time[index];
    box->setCursorPosition(int(box->text().size()));
    if (index == 1 || index == 2) {
        // The count and the total exclude each other: typing one clears the other.
        const QScopedValueRollback guard(timing.TimeChangeGuard, true);
        Text_Time[index == 1 ? 2 : 1]->clear();
    }
    if (box->text() == ":") box->setText("0:");
    ui->Button_ApplyTime->setEnabled(
        CanApplyTiming(EntriesOf(Text_Time, Option_Time[1]->isChecked())));
    ui->Frame3->setTitle(TimingCaption);
    timing.TimeApplied = false;
    UpdateStartButton();
    if (startup.Activated) settings.markChanged();
}

void MainForm::Text_Time_DblClick(int index) {
    Text_Time[index]->clear();
}

void MainForm::Option_Time_Click(int) {
    if (!startup.Activated) return;
    ui->Frame3->setTitle(TimingCaption);
    timing.TimeApplied = false;
    Text_Time[0]->clear();
    UpdateStartButton();
    Text_Time[0]->setFocus();
    settings.markChanged();
}

void MainForm::Button_Clear_Click() {
    for (QLineEdit* box : Text_Time)
        box->clear();
    ui->Button_ApplyTime->setEnabled(false);
    Text_Time[0]->setFocus();
}

void MainForm::Button_ApplyTime_Click() {
    const AppliedTiming applied = ApplyTiming(EntriesOf(Text_Time, Option_Time[1]->isChecked()));
    timing.IntervalSeconds = applied.intervalSeconds;
    if (!applied.applied) return;
    if (!applied.mismatch.isEmpty())
        platform::MsgBox("Time mismatch", applied.mismatch, platform::Buttons::Ok,
                         platform::Icon::Information);
    if (!Text_Time[2]->text().isEmpty()) {
        Text_Time[1]->setText(applied.count);
        Text_Time[2]->clear();
    }
    timing.TotalSeconds = applied.totalSeconds;
    ui->Frame3->setTitle(applied.caption);
    timing.TimeApplied = true;
    ui->Button_ApplyTime->setEnabled(false);
    UpdateStartButton();
}

void MainForm::WaitForTimer(int intervalMs) {
    // After Stop, TimerFired stays set so every remaining part of the wait ends at once.
    if (!run.StopRequested) timing.TimerFired = false;
    Timer1->setInterval(intervalMs);
    Timer1->start();
    emit timerArmed(intervalMs);
    while (!timing.TimerFired)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Timer1->stop();
}

void MainForm::StartTimer(float seconds) {
    const WaitPlan plan = PlanWait(seconds);
    for (qint64 i = 0; i < plan.minutes; ++i)
        WaitForTimer(60000);
    if (plan.restMs != 0) WaitForTimer(plan.restMs);
}
