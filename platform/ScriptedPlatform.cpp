#include "platform/ScriptedPlatform.h"
#include <QTest>

namespace platform {

namespace {

const char* buttonsName(Buttons b) {
    switch (b) {
    case Buttons::Ok:
        return "OK";
    case Buttons::OkCancel:
        return "OK/Cancel";
    case Buttons::YesNo:
        return "Yes/No";
    case Buttons::YesNoCancel:
        return "Yes/No/Cancel";
    }
    return "?";
}

void fail(const QString& message) {
    QTest::qFail(qPrintable(message), __FILE__, __LINE__);
}
} // namespace

ScriptedPlatform::ScriptedPlatform() : previous_(Installed()) {
    SetPlatform(this);
}

ScriptedPlatform::~ScriptedPlatform() {
    SetPlatform(previous_);
}

void ScriptedPlatform::answerBox(Answer answer, const QString& expectedTitle) {
    boxAnswers_.enqueue({answer, expectedTitle});
}

void ScriptedPlatform::answerInput(const QString& text) {
    inputAnswers_.enqueue(text);
}

void ScriptedPlatform::answerFileDialog(const FileDialogResult& result) {
    fileAnswers_.enqueue(result);
}

void ScriptedPlatform::answerFileDialog(const QString& fullPath) {
    FileDialogResult r;
    r.cancelled = false;
    r.fullPath = fullPath;
    const int cut = std::max(fullPath.lastIndexOf('/'), fullPath.lastIndexOf('\\'));
    r.fileTitle = fullPath.mid(cut + 1);
    fileAnswers_.enqueue(r);
}

void ScriptedPlatform::cancelFileDialog() {
    fileAnswers_.enqueue(FileDialogResult{});
}

int ScriptedPlatform::pendingAnswers() const {
    return int(boxAnswers_.size() + inputAnswers_.size() + fileAnswers_.size());
}

void ScriptedPlatform::clearQueues() {
    boxAnswers_.clear();
    inputAnswers_.clear();
    fileAnswers_.clear();
}

Answer ScriptedPlatform::messageBox(const QString& title, const QString& text, Buttons buttons,
                                    Icon icon, Answer defaultButton) {
    boxes.append({title, text, buttons, icon, defaultButton});
    if (boxAnswers_.isEmpty()) {
        fail(QStringLiteral("Unexpected message box \"%1\" [%2]: %3")
                 .arg(title, QString::fromLatin1(buttonsName(buttons)), text));
        return defaultButton;
    }
    const QueuedBox next = boxAnswers_.dequeue();
    if (!next.title.isEmpty() && next.title != title)
        fail(QStringLiteral("Expected box \"%1\", got \"%2\": %3").arg(next.title, title, text));
    return next.answer;
}

QString ScriptedPlatform::inputBox(const QString& title, const QString& prompt,
                                   const QString& defaultText) {
    inputs.append(title);
    inputDefaults.append(defaultText);
    if (inputAnswers_.isEmpty()) {
        fail(QStringLiteral("Unexpected input prompt \"%1\": %2 [%3]")
                 .arg(title, prompt, defaultText));
        return {};
    }
    return inputAnswers_.dequeue();
}

FileDialogResult ScriptedPlatform::nextFileDialog(const QString& kind,
                                                  const FileDialogRequest& request) {
    fileDialogs.append(request);
    fileDialogKinds.append(kind);
    if (fileAnswers_.isEmpty()) {
        fail(QStringLiteral("Unexpected %1 dialog \"%2\" in %3")
                 .arg(kind, request.title, request.folder));
        return {};
    }
    return fileAnswers_.dequeue();
}

FileDialogResult ScriptedPlatform::openFileDialog(const FileDialogRequest& request) {
    return nextFileDialog(QStringLiteral("open"), request);
}

FileDialogResult ScriptedPlatform::saveFileDialog(const FileDialogRequest& request) {
    return nextFileDialog(QStringLiteral("save"), request);
}

FileDialogResult ScriptedPlatform::chooseFolder(const FileDialogRequest& request) {
    return nextFileDialog(QStringLiteral("folder"), request);
}

QString ScriptedPlatform::startProgram(const QString& program, const QStringList& arguments) {
    started.append({program, arguments});
    return startFailure;
}

bool ScriptedPlatform::openDocument(const QString& pathOrUrl) {
    opened.append(pathOrUrl);
    return startResult;
}

QString ScriptedPlatform::readSetting(const QString& application, const QString& section,
                                      const QString& key, const QString& defaultValue) {
    return settings.value(application + '/' + section + '/' + key, defaultValue);
}

QString ScriptedPlatform::writeSetting(const QString& application, const QString& section,
                                       const QString& key, const QString& value) {
    if (settingsWriteFailure.isEmpty())
        settings.insert(application + '/' + section + '/' + key, value);
    return settingsWriteFailure;
}

void ScriptedPlatform::endProgram(int code) {
    ended = true;
    exitCode = code;
    throw ProgramEnded(code);
}

} // namespace platform
