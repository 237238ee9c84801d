#pragma once

#include <QString>

class QCheckBox;

// The settings windows' check boxes in an INI file: each box is kept under
// its own object name, as "0" or "1".
namespace UpdateSL {

// Reading exactly "0" unticks the box; any other text, the empty text of a
// missing key included, ticks it.
void LoadCheckBoxSetting(const QString &section, const QString &filePath, QCheckBox *checkBox);

// Writes the box as "0" or "1"; a failed write is logged and otherwise
// ignored.
void SaveCheckBoxSetting(const QString &section, const QString &filePath, QCheckBox *checkBox);

} // namespace UpdateSL
