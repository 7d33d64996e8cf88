#include "settings/ExcelHandoff.h"
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace excel {

bool IsLibreOffice(const QString& program) {
    static const QRegularExpression names(
        QStringLiteral("^(libreoffice[0-9.]*|soffice|localc)(\\.exe|\\.bin)?$"),
        QRegularExpression::CaseInsensitiveOption);
    // The name after the last separator of either kind: a stored path may come from Windows.
    const qsizetype cut = std::max(program.lastIndexOf('/'), program.lastIndexOf('\\'));
    return names.match(program.mid(cut + 1)).hasMatch();
}

QString CsvImportOption(bool logHasSepLine, const QString& logDecimalSeparator) {
    // Languages: 1033 English (US) reads "." decimals, 1031 German reads ",".
    const QString language =
        logDecimalSeparator == QLatin1String(",") ? QStringLiteral("1031") : QStringLiteral("1033");
    // Separator 59 (";"), delimiter 34 ('"'), character set 12 (ISO-8859-1: one byte, one
    // character, as the log is written), first line, standard column formats, language, quoted
    // fields not forced to text, special numbers (exponent form, times) detected.
    return QStringLiteral("--infilter=Text - txt - csv (StarCalc):59,34,12,%1,,%2,false,true")
        .arg(logHasSepLine ? 2 : 1)
        .arg(language);
}

QList<Launch> OpenCommands(int index, const QString& excelPath, const QString& plotbookPath,
                           const QString& csvFile, bool logHasSepLine,
                           const QString& logDecimalSeparator) {
    if (!IsLibreOffice(excelPath)) {
        Launch launch{excelPath, {}};
        if (index == 2) launch.arguments << plotbookPath;
        launch.arguments << csvFile;
        return {launch};
    }
    QList<Launch> launches;
    if (index == 2) launches.append({excelPath, {plotbookPath}});
    launches.append({excelPath, {CsvImportOption(logHasSepLine, logDecimalSeparator), csvFile}});
    return launches;
}

LogFormat LogFormatOf(const QString& csvFile, const QString& fallbackSeparator) {
    QFile file(csvFile);
    if (!file.open(QIODevice::ReadOnly)) return {fallbackSeparator == ".", fallbackSeparator};
    const QByteArray first = file.read(7);
    if (first.startsWith("sep=;")) return {true, QStringLiteral(".")};
    return {false, QStringLiteral(",")};
}

bool IsSpreadsheetProgram(const QString& chosenPath) {
#ifdef Q_OS_WIN
    return chosenPath.toLower().contains(QLatin1String("excel.exe"));
#else
    const QFileInfo info(chosenPath);
    return info.isFile() && info.isExecutable();
#endif
}

bool IsPlotbook(const QString& chosenPath) {
    return chosenPath.toLower().contains(QLatin1String("plotbook.xlsm"));
}

QStringList SpreadsheetProgramNames() {
    return {QStringLiteral("libreoffice"), QStringLiteral("soffice"), QStringLiteral("localc"),
            QStringLiteral("gnumeric")};
}

QString FirstSpreadsheetProgram(const QStringList& folders) {
    for (const QString& name : SpreadsheetProgramNames()) {
        const QString found = QStandardPaths::findExecutable(name, folders);
        if (!found.isEmpty()) return found;
    }
    return {};
}

} // namespace excel
