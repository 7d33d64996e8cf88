#include "condition/CondReport.h"
#include "common/Numbers.h"
#include "condition/CondSettings.h"

QString CondSettingsText(const QString& statusWord, const std::array<QString, 2>& targetValue,
                         const QString& command) {
    const CondFields f = FieldsByChar(statusWord);
    const auto str = [](int n) { return QString::fromLatin1(NumberText(double(n))); };
    const auto yesNo = [](bool b) { return QString(b ? "YES" : "NO"); };
    const auto enabled = [](bool b) { return QString(b ? "Enabled" : "Disabled"); };

    const QString pct0 = f.pct[0] != 0 ? str(f.pct[0]) + " %" : QString();
    const auto withPct = [&](const QString& word) {
        return pct0.isEmpty() ? QString() : " " + word + pct0;
    };
    QString mode1;
    switch (f.cond1Mode) {
    case LessThan:
        mode1 = "Less than " + targetValue[0] + withPct("minus");
        break;
    case GreaterThan:
        mode1 = "Greater than " + targetValue[0] + withPct("plus");
        break;
    case EqualTo:
        mode1 = "Equal to " + targetValue[0] + withPct("within");
        break;
    default:
        mode1 = pct0;
        break;
    }
    QString mode2;
    if (f.maxMinusPct) {
        if (f.pct[1] != 0) mode2 = " minus " + QString::number(f.pct[1]) + " %";
    } else {
        mode2 = " minus " + targetValue[1];
    }

    return "Condition 1: " + enabled(f.condSelect(0)) + "\nMode: " + mode1 + "\n\n" +
           "Condition 2: " + enabled(f.condSelect(1)) + "\nMode: Less than Max" + mode2 + "\n\n" +
           "Number of consecutive times condition should be met before sending:" + str(f.noOfCond) +
           "\n\n" +
           "Second GPIB Address:" + (f.gpibAddr != 0 ? str(f.gpibAddr) : QString(" None")) + "\n" +
           "Second GPIB Command: " + (command.isEmpty() ? QString(" Not defined") : command) +
           "\n\n" + "Send command at end of Measurement Sequence if condition is not met: " +
           yesNo(f.sendAtEnd) + QString(10, ' ') +
           "End Measurement Sequence if condition is met: " + yesNo(f.endSeq) + "\n";
}
