#pragma once
// The timing entries: what Apply makes of them and which keys they take.
#include <QString>

struct TimingEntries {
    QString interval{}; // Text_Time(0): seconds, or minutes with an optional ":seconds"
    QString count{};    // Text_Time(1): number of sequences
    QString total{};    // Text_Time(2): hours with an optional ":minutes"
    bool minutes = false;
};

struct AppliedTiming {
    bool applied = false; // false: the interval is not above 0 and nothing changes
    float intervalSeconds = 0;
    float totalSeconds = 0;
    QString count{};  // the number of sequences the count box is to show
    QString mismatch; // the "Time mismatch" box text; empty when none is due
    QString caption;  // the timing frame's caption
};

AppliedTiming ApplyTiming(const TimingEntries& entries);
// Apply can be clicked: an interval and a count or a total above 0.
bool CanApplyTiming(const TimingEntries& entries);
// The character a timing box takes for a typed key (13 is left to the caller); 0 drops it.
int TimingKey(int index, int keyAscii, const TimingEntries& entries);

extern const char* const TimingCaption;
