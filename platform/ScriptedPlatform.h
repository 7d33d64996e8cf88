#pragma once
// Test double of the platform: records every request, answers from a queue, and fails the
// running test on a request it was not told to expect.
#include "platform/Platform.h"
#include <QList>
#include <QMap>
#include <QQueue>

namespace platform {

struct BoxRecord {
    QString title;
    QString text;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    Answer defaultButton = Answer::Ok;
};

struct StartRecord {
    QString program;
    QStringList arguments;
};

class ScriptedPlatform : public Platform {
public:
    // Installs itself as the platform; the destructor puts the previous one back.
    ScriptedPlatform();
    ~ScriptedPlatform() override;

    // Queue the answer to the next message box; a non-empty title must match the box's.
    void answerBox(Answer answer, const QString& expectedTitle = {});
    void answerInput(const QString& text);
    void answerFileDialog(const FileDialogResult& result);
    void answerFileDialog(const QString& fullPath); // title = the name after the last separator
    void cancelFileDialog();

    int pendingAnswers() const;
    void clearQueues();

    QList<BoxRecord> boxes;               // every box shown, in order
    QList<FileDialogRequest> fileDialogs; // every file dialog, in order
    QStringList fileDialogKinds;          // "open", "save" or "folder" per dialog
    QStringList inputs;                   // titles of the input prompts
    QStringList inputDefaults;            // the text each prompt proposed
    QList<StartRecord> started;           // programs started
    QStringList opened;                   // documents and links opened
    QMap<QString, QString> settings;      // "application/section/key" -> value
    QString startFailure;                 // what startProgram answers
    bool startResult = true;              // what openDocument answers
    QString settingsWriteFailure;         // what writeSetting answers; set: nothing is stored
    bool ended = false;                   // endProgram was called
    int exitCode = 0;

    Answer messageBox(const QString& title, const QString& text, Buttons buttons, Icon icon,
                      Answer defaultButton) override;
    QString inputBox(const QString& title, const QString& prompt,
                     const QString& defaultText) override;
    FileDialogResult openFileDialog(const FileDialogRequest& request) override;
    FileDialogResult saveFileDialog(const FileDialogRequest& request) override;
    FileDialogResult chooseFolder(const FileDialogRequest& request) override;
    QString startProgram(const QString& program, const QStringList& arguments) override;
    bool openDocument(const QString& pathOrUrl) override;
    QString readSetting(const QString& application, const QString& section, const QString& key,
                        const QString& defaultValue) override;
    QString writeSetting(const QString& application, const QString& section, const QString& key,
                         const QString& value) override;
    [[noreturn]] void endProgram(int exitCode) override;

private:
    FileDialogResult nextFileDialog(const QString& kind, const FileDialogRequest& request);

    struct QueuedBox {
        Answer answer;
        QString title;
    };
    QQueue<QueuedBox> boxAnswers_;
    QQueue<QString> inputAnswers_;
    QQueue<FileDialogResult> fileAnswers_;
    Platform* previous_ = nullptr;
};

} // namespace platform
