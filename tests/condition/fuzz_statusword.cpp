// Arbitrary status words, of any length and content: decoded both ways, put into the settings
// report, written back from the controls the dialog would fill, and switched off.
#include "condition/CondReport.h"
#include "condition/CondSettings.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString word = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const CondFields byChar = FieldsByChar(word);
    const CondFields byBit = FieldsByBit(word);
    const QString report = CondSettingsText(word, {word, word}, word);
    if (!report.startsWith("Condition 1: ")) std::abort();
    const QString written = WriteStatusWord(ControlsFromFields(byChar));
    if (InRange(word)) {
        // A word the dialog can show comes back as it was, and both readings agree.
        if (written != word.toUpper() || !(byChar == byBit)) std::abort();
        if (MergeStatusWord(word, written, written) != written) std::abort();
    }
    // Whatever it was, switching off leaves it off and touches nothing but the first digit.
    const QString off = SwitchedOff(word);
    if (IsCondOn(off) || off.mid(1) != word.mid(1)) std::abort();
    return 0;
}
