#include "platform/ui/QtPlatform.h"
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace platform {

namespace {

// Option bit of the file dialogs' flags that asks before an existing file is replaced.
constexpr int OverwritePromptFlag = 0x2;

QWidget* dialogParent() {
    return QApplication::activeWindow();
}

QString normalisedPatterns(const QString& patterns) {
    return patterns.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)
        .join(QLatin1Char(' '));
}

QString stripDot(const QString& extension) {
    QString e = extension.trimmed();
    while (e.startsWith(QLatin1Char('.')))
        e.remove(0, 1);
    return e;
}

FileDialogResult resultFor(const QString& path) {
    FileDialogResult r;
    if (path.isEmpty()) return r;
    r.cancelled = false;
    r.fullPath = path;
    r.fileTitle = QFileInfo(path).fileName();
    return r;
}

void prepare(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(request.title);
    if (!request.folder.isEmpty()) dialog.setDirectory(request.folder);
    const QString filter = QtFileFilter(request.filter);
    if (!filter.isEmpty()) dialog.setNameFilter(filter);
    if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);
}

} // namespace

QString QtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString patterns =
            normalisedPatterns(i + 1 < parts.size() ? parts.at(i + 1) : parts.at(i));
        if (description.isEmpty() && patterns.isEmpty()) continue;
        if (patterns.isEmpty()) {
            out.append(description);
            continue;
        }
        // A description that already names its patterns in brackets keeps its wording once.
        QString shown = description;
        static const QRegularExpression trailing(QStringLiteral("^(.*)\\(([^()]*)\\)\\s*$"));
        const QRegularExpressionMatch m = trailing.match(description);
        if (m.hasMatch() && normalisedPatterns(m.captured(2)) == patterns)
            shown = m.captured(1).trimmed();
        if (shown.isEmpty()) shown = patterns;
        out.append(shown + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

QString WithDefaultExtension(const QString& path, const QString& extension) {
    const QString ext = stripDot(extension);
    if (path.isEmpty() || ext.isEmpty()) return path;
    const QString name = QFileInfo(path).fileName();
    if (name.isEmpty()) return path;
    if (name.endsWith(QLatin1Char('.'))) return path + ext;
    if (name.lastIndexOf(QLatin1Char('.')) > 0) return path;
    return path + QLatin1Char('.') + ext;
}

Answer QtPlatform::messageBox(const QString& title, const QString& text, Buttons buttons, Icon icon,
                              Answer defaultButton) {
    QMessageBox box(dialogParent());
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    // Indexed by Icon: None, Critical, Question, Warning, Information.
    static constexpr QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Critical,
                                                  QMessageBox::Question, QMessageBox::Warning,
                                                  QMessageBox::Information};
    box.setIcon(icons[static_cast<int>(icon)]);

    QList<std::pair<QAbstractButton*, Answer>> made;
    auto add = [&](QMessageBox::StandardButton b, Answer a) { made.append({box.addButton(b), a}); };
    switch (buttons) {
    case Buttons::Ok:
        add(QMessageBox::Ok, Answer::Ok);
        break;
    case Buttons::OkCancel:
        add(QMessageBox::Ok, Answer::Ok);
        add(QMessageBox::Cancel, Answer::Cancel);
        break;
    case Buttons::YesNo:
        add(QMessageBox::Yes, Answer::Yes);
        add(QMessageBox::No, Answer::No);
        break;
    case Buttons::YesNoCancel:
        add(QMessageBox::Yes, Answer::Yes);
        add(QMessageBox::No, Answer::No);
        add(QMessageBox::Cancel, Answer::Cancel);
        break;
    }

    auto buttonFor = [&](Answer a) -> QAbstractButton* {
        for (const auto& [button, answer] : made)
            if (answer == a) return button;
        return nullptr;
    };
    if (auto* def = qobject_cast<QPushButton*>(buttonFor(defaultButton)))
        box.setDefaultButton(def);
    else
        box.setDefaultButton(qobject_cast<QPushButton*>(made.first().first));

    // Escape and closing the window pick Cancel, else No, else OK.
    QAbstractButton* escape = buttonFor(Answer::Cancel);
    if (!escape) escape = buttonFor(Answer::No);
    if (!escape) escape = buttonFor(Answer::Ok);
    box.setEscapeButton(escape);

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, answer] : made)
        if (button == clicked) return answer;
    for (const auto& [button, answer] : made)
        if (button == escape) return answer;
    return Answer::Ok;
}

QString QtPlatform::inputBox(const QString& title, const QString& prompt,
                             const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

FileDialogResult QtPlatform::openFileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(dialogParent());
    prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return resultFor(dialog.selectedFiles().constFirst());
}

FileDialogResult QtPlatform::saveFileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(dialogParent());
    prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(stripDot(request.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & OverwritePromptFlag) == 0);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return resultFor(
        WithDefaultExtension(dialog.selectedFiles().constFirst(), request.defaultExtension));
}

FileDialogResult QtPlatform::chooseFolder(const FileDialogRequest& request) {
    const QString folder = QFileDialog::getExistingDirectory(
        dialogParent(), request.title, request.folder,
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty()) return {};
    // Callers cut the returned path at its last separator to get the folder, so the proposed
    // name is always joined with a separator of its own, even after a root folder.
    FileDialogResult r;
    r.cancelled = false;
    r.fullPath = folder + QLatin1Char('/') + request.proposedName;
    r.fileTitle = request.proposedName;
    return r;
}

QString QtPlatform::startProgram(const QString& program, const QStringList& arguments) {
    if (program.isEmpty()) return QStringLiteral("No program was given.");
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (process.startDetached()) return {};
    // The system's own words, without the name of the call that failed ("execv: ...").
    QString reason = process.errorString();
    static const QRegularExpression call(QStringLiteral("^[a-z]+: "));
    return reason.remove(call);
}

bool QtPlatform::openDocument(const QString& pathOrUrl) {
    if (pathOrUrl.isEmpty()) return false;
    QUrl url(pathOrUrl, QUrl::TolerantMode);
    // A one-letter scheme is a drive letter, not a scheme.
    if (!url.isValid() || url.scheme().size() <= 1)
        url = QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath());
    return QDesktopServices::openUrl(url);
}

void QtPlatform::endProgram(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

} // namespace platform
