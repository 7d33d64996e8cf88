// Feeds arbitrary stored values for every key of the settings record through a recall.
// Input layout: the values of the record's keys in save order, separated by 0xFF bytes,
// decoded as UTF-8 (a missing part is a missing key).
#include "measure/LogFile.h"
#include "settings/SettingsRecord.h"
#include <QDir>
#include <cstdlib>

using namespace settings;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto Check = [](bool ok) {
        if (!ok) std::abort();
    };
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> parts = input.split('\xff');
    const Record record = ReadRecord([&](const QString& key) {
        for (std::size_t i = 0; i < FieldCount; ++i)
            if (key == QLatin1String(Fields()[i].key))
                return qsizetype(i) < parts.size() ? QString::fromUtf8(parts[qsizetype(i)])
                                                   : QString();
        std::abort(); // a key outside the record
    });

    for (const FieldDef& def : Fields())
        Check(record[def.field].size() <= MaxTextLength);

    // Whatever the stored name, the log lands directly in the chosen folder.
    const QString name = record[Field::LogFileName];
    const QString path = LogFilePath(QStringLiteral("/data/logs"), name);
    Check(!path.isEmpty());
    Check(QDir::cleanPath(path) == QStringLiteral("/data/logs/") + name);
    return 0;
}
