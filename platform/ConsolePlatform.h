#pragma once
// The platform of a run without a window: every box goes to stderr with the answer taken,
// a question takes the answer that loses nothing, and no dialog or program is ever opened.
#include "platform/Platform.h"
#include <cstdio>

namespace platform {

// The answer a box gets without a user, and why; the status says what the box reports
// (0: a question whose answer lets the run go on).
struct UnattendedAnswer {
    Answer answer = Answer::Ok;
    QString reason; // printed after the box's text; empty for a box with only OK
    int status = 0;
};
UnattendedAnswer AnswerUnattended(const QString& title, Buttons buttons);

class ConsolePlatform : public Platform {
public:
    explicit ConsolePlatform(FILE* errors = stderr) : errors_(errors) {}

    // The most telling status of the boxes shown so far: the first failure's, 0 for none.
    int status() const { return status_; }

    Answer messageBox(const QString& title, const QString& text, Buttons buttons, Icon icon,
                      Answer defaultButton) override;
    QString inputBox(const QString& title, const QString& prompt,
                     const QString& defaultText) override;
    FileDialogResult openFileDialog(const FileDialogRequest& request) override;
    FileDialogResult saveFileDialog(const FileDialogRequest& request) override;
    FileDialogResult chooseFolder(const FileDialogRequest& request) override;
    QString startProgram(const QString& program, const QStringList& arguments) override;
    bool openDocument(const QString& pathOrUrl) override;
    [[noreturn]] void endProgram(int exitCode) override;

    // One line or more on stderr, flushed at once.
    void print(const QString& text);

private:
    FILE* errors_;
    int status_ = 0;
};

} // namespace platform
