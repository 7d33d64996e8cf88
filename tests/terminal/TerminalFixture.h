#pragma once
// A Busmate window loaded on a simulated bench in a fresh working folder, with every box
// scripted.
#include "FileBytes.h"
#include "FormFixture.h"
#include "terminal/ui/ManualForm.h"
#include "ui_ManualForm.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A terminal window loaded and first activated on a bench, in a fresh working folder, with the
// instrument on loan and the selection as a main window keeps them. The bench's timeouts are
// the real ones times timeoutScale; worker: as BenchGuard has it.
struct Terminal {
    explicit Terminal(const QByteArray& instruments, const QMap<QString, QString>& options = {},
                      double timeoutScale = 0.001, bool worker = false)
        : bench(BenchJson(instruments, dir.filePath("journal"), timeoutScale), worker),
          device(bench.instrument().lend()) {
        QDir::setCurrent(dir.path());
        for (auto it = options.begin(); it != options.end(); ++it)
            sys.settings["Busmate/Settings/" + it.key()] = it.value();
        form = std::make_unique<ManualForm>(device, bench.listeners, selection);
    }
    bool start() {
        try {
            form->Form_Load();
            form->Form_Activate();
        } catch (const platform::ProgramEnded&) {
            return false;
        }
        return true;
    }
    Ui::ManualForm* ui() const { return form->ui.get(); }
    // Types a message into the outgoing box and sends it.
    void send(const QString& text) {
        ui()->SendMessageList->setEditText(text);
        form->SendMessage_Click();
    }
    // The journal's lines since the last call, without the start-up's.
    QStringList journal() {
        const QStringList all =
            JournalText(dir.filePath("journal")).split('\n', Qt::SkipEmptyParts);
        return all.mid(std::exchange(seen, int(all.size())));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Writes a file in the working folder; false when it cannot.
    bool write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    // The timeout code the terminal's descriptor has now.
    int timeout() const {
        int code = 0;
        bench.bus()->ibask(form->TerminalUd, gpib::IbaTMO, &code);
        return code;
    }

    QTemporaryDir dir;
    platform::ScriptedPlatform sys;
    BenchGuard bench;
    bus::Instrument::Loan device;
    term::Selection selection;
    std::unique_ptr<ManualForm> form;
    int seen = 0;
};
