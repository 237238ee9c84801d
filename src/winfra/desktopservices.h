#pragma once

#include <QUrl>

#include <functional>

// Opening addresses with the system's browser goes through here, so tests can
// see what would have been opened.
namespace DesktopServices {

enum class Show { Normal, Maximized };

using Opener = std::function<void(const QUrl &url, Show show)>;

// Opens the address with the system's handler ("open" verb). The maximised
// request is a hint the desktop may ignore.
void openUrl(const QUrl &url, Show show = Show::Normal);

// Replaces the real opener (tests); an empty opener restores it.
void setOpener(Opener opener);

} // namespace DesktopServices
