#include "settings/ui/TimingPart.h"
#include "common/Numbers.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/Timing.h"
#include "widgets/ControlEvents.h"
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

namespace {
TimingEntries EntriesOf(const std::array<QLineEdit*, 3>& boxes, bool minutes) {
    return {boxes[0]->text(), boxes[1]->text(), boxes[2]->text(), minutes};
}
} // namespace

TimingPart::TimingPart(const Parts& parts) : c(parts) {}

void TimingPart::ConnectHandlers() {
    for (int i = 0; i < 3; ++i)
        connect(c.Text_Time[i], &QLineEdit::textChanged, this, [this, i] { Text_Time_Change(i); });
    for (int i = 0; i < 2; ++i)
        connect(c.Option_Time[i], &QRadioButton::clicked, this,
                [this, i] { Option_Time_Click(i); });
    connect(c.Button_Clear, &QPushButton::clicked, this, &TimingPart::Button_Clear_Click);
    connect(c.Button_ApplyTime, &QPushButton::clicked, this, &TimingPart::Button_ApplyTime_Click);
    for (int i = 0; i < 3; ++i)
        ctl::Attach(c.Text_Time[i], {.keyPress = [this, i](int& k) { Text_Time_KeyPress(i, k); },
                                     .dblClick = [this, i] { Text_Time_DblClick(i); }});
}

double TimingPart::sequenceCount() const {
    return NumericValue(c.Text_Time[1]->text());
}

void TimingPart::ApplyIfPending() {
    if (c.Button_ApplyTime->isEnabled()) Button_ApplyTime_Click();
}

void TimingPart::Text_Time_KeyPress(int index, int& keyAscii) {
    if (keyAscii == 13) {
        keyAscii = 0;
        if (c.Button_ApplyTime->isEnabled()) Button_ApplyTime_Click();
        return;
    }
    keyAscii = TimingKey(index, keyAscii, EntriesOf(c.Text_Time, c.Option_Time[1]->isChecked()));
}

void TimingPart::Text_Time_Change(int index) {
    if (timing.TimeChangeGuard) return;
    QLineEdit* box = c.Text_Time[index];
    box->setCursorPosition(int(box->text().size()));
    if (index == 1 || index == 2) {
        // The count and the total exclude each other: typing one clears the other.
        const QScopedValueRollback guard(timing.TimeChangeGuard, true);
        c.Text_Time[index == 1 ? 2 : 1]->clear();
    }
    if (box->text() == ":") box->setText("0:");
    c.Button_ApplyTime->setEnabled(
        CanApplyTiming(EntriesOf(c.Text_Time, c.Option_Time[1]->isChecked())));
    c.Frame3->setTitle(TimingCaption);
    timing.TimeApplied = false;
    emit startStateChanged();
    if (*c.activated) c.settings->markChanged();
}

void TimingPart::Text_Time_DblClick(int index) {
    c.Text_Time[index]->clear();
}

void TimingPart::Option_Time_Click(int) {
    if (!*c.activated) return;
    c.Frame3->setTitle(TimingCaption);
    timing.TimeApplied = false;
    c.Text_Time[0]->clear();
    emit startStateChanged();
    c.Text_Time[0]->setFocus();
    c.settings->markChanged();
}

void TimingPart::Button_Clear_Click() {
    for (QLineEdit* box : c.Text_Time)
        box->clear();
    c.Button_ApplyTime->setEnabled(false);
    c.Text_Time[0]->setFocus();
}

void TimingPart::Button_ApplyTime_Click() {
    const AppliedTiming applied =
        ApplyTiming(EntriesOf(c.Text_Time, c.Option_Time[1]->isChecked()));
    timing.IntervalSeconds = applied.intervalSeconds;
    if (!applied.applied) return;
    if (!applied.mismatch.isEmpty())
        platform::MsgBox("Time mismatch", applied.mismatch, platform::Buttons::Ok,
                         platform::Icon::Information);
    if (!c.Text_Time[2]->text().isEmpty()) {
        c.Text_Time[1]->setText(applied.count);
        c.Text_Time[2]->clear();
    }
    timing.TotalSeconds = applied.totalSeconds;
    c.Frame3->setTitle(applied.caption);
    timing.TimeApplied = true;
    c.Button_ApplyTime->setEnabled(false);
    emit startStateChanged();
}
