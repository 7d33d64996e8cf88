#include "platform/ConsolePlatform.h"
#include "common/CommandLine.h"
#include <cstdlib>

namespace platform {

UnattendedAnswer AnswerUnattended(const QString& title, Buttons buttons) {
    using cli::Exit::BusError;
    using cli::Exit::Failure;
    using cli::Exit::FileError;
    // The questions a run can ask, each answered so that nothing is lost or changed.
    if (title == "File Error" && buttons == Buttons::YesNoCancel)
        return {Answer::Yes, "Answered Yes: the log goes to the free name, nothing is replaced.",
                0};
    if (title.startsWith("Condtional Command"))
        return {Answer::No,
                "Answered No: no run without the conditional command; no setting is changed.",
                Failure};
    if (title.startsWith("GPIB ERROR"))
        return {Answer::Ok, "Answered OK: the run goes on, the rows so far stay.", BusError};
    const int status = title == "File Error" || title == "File Name Error" ? FileError
                       : title == "I/O Error" || title.startsWith("Initialization Error") ||
                               title == "Device Error"
                           ? BusError
                           : Failure;
    switch (buttons) {
    case Buttons::Ok:
        return {Answer::Ok, {}, status};
    case Buttons::OkCancel:
        return {Answer::Ok, "Answered OK.", status};
    case Buttons::YesNo:
        return {Answer::No, "Answered No: nothing is changed.", Failure};
    case Buttons::YesNoCancel:
        break;
    }
    return {Answer::Cancel, "Answered Cancel: nothing is changed.", Failure};
}

Answer ConsolePlatform::messageBox(const QString& title, const QString& text, Buttons buttons, Icon,
                                   Answer) {
    const UnattendedAnswer a = AnswerUnattended(title, buttons);
    print(title + ": " + text + (a.reason.isEmpty() ? QString() : '\n' + a.reason));
    if (status_ == 0) status_ = a.status;
    return a.answer;
}

QString ConsolePlatform::inputBox(const QString& title, const QString&, const QString&) {
    print(title + ": no answer without a window.");
    return {};
}

FileDialogResult ConsolePlatform::openFileDialog(const FileDialogRequest&) {
    return {};
}
FileDialogResult ConsolePlatform::saveFileDialog(const FileDialogRequest&) {
    return {};
}
FileDialogResult ConsolePlatform::chooseFolder(const FileDialogRequest&) {
    return {};
}

QString ConsolePlatform::startProgram(const QString& program, const QStringList&) {
    return program + " is not started by a run without a window.";
}

bool ConsolePlatform::openDocument(const QString&) {
    return false;
}

void ConsolePlatform::endProgram(int exitCode) {
    std::fflush(stdout);
    std::fflush(errors_);
    // The box that ended it said what kind of failure this is.
    std::_Exit(status_ != 0 ? status_ : exitCode);
}

void ConsolePlatform::print(const QString& text) {
    std::fputs((text + '\n').toLocal8Bit().constData(), errors_);
    std::fflush(errors_);
}

} // namespace platform
