#pragma once
// The desktop implementation of the platform layer, plus the small text conversions it needs,
// kept as free functions so they can be checked without opening any dialog.
#include "platform/Platform.h"
#include "platform/SettingsStore.h"

namespace platform {

// "Description|pattern|Description|pattern" -> Qt's "Description (pattern);;..." form.
// Patterns separated by ';' become space separated, as Qt expects.
QString QtFileFilter(const QString& filter);

// Appends ".extension" to a chosen file name that has none; a name that already carries an
// extension, or an empty extension, leaves the path unchanged.
QString WithDefaultExtension(const QString& path, const QString& extension);

class QtPlatform : public Platform {
public:
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
};

} // namespace platform
