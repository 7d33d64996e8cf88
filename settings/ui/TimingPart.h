#pragma once
// The main window's timing frame: the interval, the count or the total, and Apply. What it
// decides is in Timing.h.
#include <QObject>
#include <array>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct MainFormProbe;
namespace settings {
class Settings;
}

class TimingPart : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QGroupBox* Frame3;
        std::array<QLineEdit*, 3> Text_Time;
        std::array<QRadioButton*, 2> Option_Time;
        QPushButton* Button_Clear;
        QPushButton* Button_ApplyTime;
        settings::Settings* settings;
        const bool* activated; // the window's first activation has finished
    };
    explicit TimingPart(const Parts& parts);
    void ConnectHandlers();

    bool applied() const { return timing.TimeApplied; }
    float intervalSeconds() const { return timing.IntervalSeconds; }
    float totalSeconds() const { return timing.TotalSeconds; }
    double sequenceCount() const;
    // Loading a set applies the timing it holds, as far as Apply takes it.
    void ApplyIfPending();
    void Button_ApplyTime_Click();

signals:
    // Applied, or no longer: Start may change.
    void startStateChanged();

private:
    friend struct MainFormProbe;
    Parts c;
    struct TimingState {
        bool TimeApplied = false;
        bool TimeChangeGuard = false; // the change handler is clearing a box itself
        float IntervalSeconds = 0;
        float TotalSeconds = 0;
    } timing;

    void Text_Time_KeyPress(int index, int& keyAscii);
    void Text_Time_Change(int index);
    void Text_Time_DblClick(int index);
    void Option_Time_Click(int index);
    void Button_Clear_Click();
};
