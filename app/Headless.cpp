#include "app/Headless.h"
#include "app/Program.h"
#include "bus/BusChoice.h"
#include "bus/Instrument.h"
#include "bus/Listeners.h"
#include "bus/Session.h"
#include "common/Numbers.h"
#include "condition/CondTracker.h"
#include "measure/Connection.h"
#include "measure/LogFile.h"
#include "measure/RunController.h"
#include "platform/ConsolePlatform.h"
#include "platform/Process.h"
#include "platform/StopSignals.h"
#include "settings/Settings.h"
#include "settings/SettingsRecord.h"
#include "settings/Timing.h"
#include "widgets/BusErrorBoxes.h"
#include <csignal>
#include <cstdio>
#include <unistd.h>

using cli::Exit::BusError;
using cli::Exit::Failure;
using platform::Buttons;
using platform::Icon;
using namespace settings;

namespace {

// The set as the window's recall finds it; -1, with the box told, when there is none.
int ChooseSet(const QString& choice) {
    const int index =
        SetIndexNamed(choice, [](int i) { return StoredValue(i, SetNameKey, NotSaved); });
    QString refusal;
    if (index < 0)
        refusal = "No setting has been saved under the name " + choice + ".";
    else if (index > 0 && StoredValue(index, SetNameKey, NotSaved) == NotSaved)
        refusal = QString("Setting %1 has not been saved.").arg(index);
    else
        return index;
    platform::MsgBox("Recall Settings Error", refusal + "\nRecall Cancelled.", Buttons::Ok,
                     Icon::Warning);
    return -1;
}

// Connect as the window does it for the recalled set: by the address, or by the first
// listener whose identification holds the Device ID.
bool Connect(const Record& r, bus::Instrument& instrument, const bus::Listeners& listeners,
             bus::ErrorPolicy& errors) {
    const int mode = IdIndexOf(r[Field::ID]);
    if (mode == 2) {
        const QString address = r[Field::ManualGPIBAddress];
        // The window's address list offers only the listeners.
        if (!listeners.contains(int(NumericValue(address)))) {
            platform::MsgBox("Device Error", "No listener at the address " + address + ".",
                             Buttons::Ok, Icon::Information);
            return false;
        }
        instrument.setAddress(std::int16_t(NumericValue(address)));
        return true;
    }
    const QString typed = r[Field::Device];
    const Identified found = typed.isEmpty()
                                 ? Identified{}
                                 : FindByIdentification(instrument, listeners, mode, typed, errors);
    if (found.address < 0) {
        platform::MsgBox("Device Error", NoMatchText(typed), Buttons::Ok, Icon::Information);
        return false;
    }
    instrument.setAddress(found.address);
    return true;
}

// What the window's Start would refuse before a run, told as its box would; else the timing.
bool StartChecks(const Record& r, AppliedTiming* timing) {
    const TimingEntries entries{
        r[Field::Interval], r[Field::Sequence], {}, FlagOf(r[Field::IntervalTime])};
    if (CanApplyTiming(entries)) *timing = ApplyTiming(entries);
    QString refusal;
    if (!timing->applied)
        refusal = "The set's timing cannot be applied: interval " + r[Field::Interval] +
                  ", sequences " + r[Field::Sequence] + ".";
    else if (!HoldsMoreThanSpaces(r[Field::Query]))
        refusal = "The set has no measurement query.";
    else if (!FlagOf(r[Field::PCTime]) && !FlagOf(r[Field::TimeFromStart]) &&
             !FlagOf(r[Field::SequenceNumber])) {
        platform::MsgBox("X-data Error", "At least one option for X-data must be selected.",
                         Buttons::Ok, Icon::Critical);
        return false;
    } else
        return true;
    platform::MsgBox("Start Error", refusal, Buttons::Ok, Icon::Critical);
    return false;
}

} // namespace

int RunHeadless(const cli::CommandLine& line, const std::function<void(RunSettings&)>& adjust) {
    platform::KeepRunningPastFileSizeLimit();
    static platform::ConsolePlatform console;
    platform::SetPlatform(&console);
    const auto say = [&](const QString& text) {
        if (!line.quiet) console.print(text);
    };
    const auto status = [&](int otherwise) {
        return console.status() ? console.status() : otherwise;
    };

    const int index = ChooseSet(line.runSet);
    if (index < 0) return Failure;
    const Record r =
        ReadRecord([index](const QString& key) { return StoredValue(index, key, QString()); });
    AppliedTiming timing;
    if (!StartChecks(r, &timing)) return Failure;

    QString error;
    const std::unique_ptr<gpib::Driver> driver =
        gpib::CreateDriverFromEnvironment(&error, nullptr, line.bus);
    if (!driver) {
        platform::MsgBox("Initialization Error", error, Buttons::Ok, Icon::Critical);
        return BusError;
    }
    bus::Session session(*driver);
    StartChosenTrace(session);
    bus::Listeners listeners;
    bus::Instrument instrument(session);
    ctl::BusErrorBoxes errors;
    if (errors.decide(listeners.find(session.driver())) == bus::Next::EndProgram ||
        errors.decide(instrument.open(listeners)) == bus::Next::EndProgram ||
        !Connect(r, instrument, listeners, errors))
        return status(BusError);

    settings::Settings s;
    for (const FieldDef& def : Fields())
        s.load(def.field, r[def.field]);
    s.setDecimalSeparator(SystemDecimalSeparator());
    RunController controller(instrument, listeners, errors);
    controller.setConditions(std::make_unique<CondTracker>(s.condCommand()));
    if (!controller.prepare()) return status(Failure);

    RunSettings run;
    run.logName = r[Field::LogFileName];
    if (!ChooseLogFile(r[Field::LogFilePath], &run.logName)) return status(Failure);
    run.logPath = LogFilePath(r[Field::LogFilePath], run.logName);
    run.columns = {FlagOf(r[Field::PCTime]), FlagOf(r[Field::TimeFromStart]),
                   FlagOf(r[Field::SequenceNumber])};
    run.query = r[Field::Query].toLatin1();
    run.sequenceCount = NumericValue(timing.count);
    run.intervalSeconds = timing.intervalSeconds;
    run.totalSeconds = timing.totalSeconds;
    run.measurement = s.measurement();
    if (adjust) adjust(run);

    int stoppedBy = 0;
    const platform::StopSignals stopSignals(
        [&](int signal) {
            stoppedBy = signal;
            say(QString("%1: the run stops after the current row, as Stop does.")
                    .arg(signal == SIGINT ? "SIGINT" : "SIGTERM"));
            controller.stop();
        },
        cli::Exit::Interrupted);
    // A pipe sees every row at once; a terminal flushes by line anyway.
    const bool flushEachRow = !::isatty(STDOUT_FILENO);
    QObject::connect(&controller, &RunController::started, [&] { say("Log: " + run.logPath); });
    QObject::connect(&controller, &RunController::rowMeasured, [&](const RunRow& row) {
        if (line.quiet) return;
        const QByteArray text =
            ConsoleLine(qint64(row.seq), run.columns, row.pcTime, row.elapsed, row.value.text) +
            '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        if (flushEachRow) std::fflush(stdout);
    });
    QObject::connect(&controller, &RunController::failed,
                     [](const QString& title, const QString& text) {
                         platform::MsgBox(title, text, Buttons::Ok, Icon::Critical);
                     });
    RunResult result;
    QObject::connect(&controller, &RunController::finished,
                     [&](const RunResult& end) { result = end; });
    const bool ran = controller.run(run);
    std::fflush(stdout);
    if (!ran) return status(cli::Exit::FileError);
    say(result.endText());
    if (!result.TermReason.isEmpty()) say(result.TermReason);
    return stoppedBy != 0 ? cli::Exit::Interrupted : status(cli::Exit::Ok);
}
