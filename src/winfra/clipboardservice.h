#pragma once

#include <QString>

#include <functional>

// The clipboard goes through here, so tests can see what would have been
// copied without touching the desktop's clipboard.
namespace Clipboard {

using Writer = std::function<void(const QString &text)>;

// Clears the clipboard, then puts the plain text on it: nothing of an earlier
// copy (pictures, rich text) is left beside it.
void setText(const QString &text);

// The clipboard's plain text now.
QString text();

// Replaces the real clipboard for writing (tests); an empty writer restores it.
void setWriter(Writer writer);

} // namespace Clipboard
