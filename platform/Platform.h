#pragma once
// Everything that reaches outside the program's own windows goes through here, so that a
// test can script every box and dialog and observe the program ending.
#include <QString>
#include <QStringList>
#include <exception>

namespace platform {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Critical, Question, Warning, Information };
enum class Answer { Ok, Cancel, Yes, No };

struct FileDialogRequest {
    QString title;
    QString folder;
    QString proposedName;
    QString filter; // "Description|pattern"
    QString defaultExtension;
    int flags = 0;
};

struct FileDialogResult {
    bool cancelled = true;
    QString fullPath;
    QString fileTitle;
};

// Thrown by the test double's endProgram so a test sees "the program ends at once"
// without its own process ending.
struct ProgramEnded : std::exception {
    int code;
    explicit ProgramEnded(int c) : code(c) {}
    const char* what() const noexcept override { return "program ended"; }
};

class Platform {
public:
    virtual ~Platform() = default;

    // Modal message box; LF in text is a line break. Returns the button pressed.
    virtual Answer messageBox(const QString& title, const QString& text, Buttons buttons, Icon icon,
                              Answer defaultButton) = 0;
    // One-line prompt; empty text on Cancel.
    virtual QString inputBox(const QString& title, const QString& prompt,
                             const QString& defaultText) = 0;
    virtual FileDialogResult openFileDialog(const FileDialogRequest& request) = 0;
    virtual FileDialogResult saveFileDialog(const FileDialogRequest& request) = 0;
    virtual FileDialogResult chooseFolder(const FileDialogRequest& request) = 0;

    // Starts a program without waiting and without a shell. Empty when it started, otherwise
    // why it did not.
    virtual QString startProgram(const QString& program, const QStringList& arguments) = 0;
    // Opens a document or link with the desktop's default handler.
    virtual bool openDocument(const QString& pathOrUrl) = 0;

    // Per-user settings store: application, section, key, text value. By default the store's
    // file per application (platform/SettingsStore.h).
    virtual QString readSetting(const QString& application, const QString& section,
                                const QString& key, const QString& defaultValue);
    // Empty when the value reached the store; otherwise what failed, naming the store.
    [[nodiscard]] virtual QString writeSetting(const QString& application, const QString& section,
                                               const QString& key, const QString& value);

    // The program ends at once: no closing questions, no further code of the caller.
    [[noreturn]] virtual void endProgram(int exitCode) = 0;
};

// The one instance in use: the desktop's, installed by the program's entry, or a test double.
Platform& Sys();
// The installed instance, or null.
Platform* Installed();
void SetPlatform(Platform* platform);

// Shorthand for the common case.
Answer MsgBox(const QString& title, const QString& text, Buttons buttons, Icon icon,
              Answer defaultButton = Answer::Ok);

} // namespace platform
