#include "desktopservices.h"

#include "logging.h"

#include <QDesktopServices>

namespace DesktopServices {

namespace {
Opener &installed()
{
    static Opener opener;
    return opener;
}
} // namespace

void openUrl(const QUrl &url, Show show)
{
    if (installed()) {
        installed()(url, show);
        return;
    }
    if (!QDesktopServices::openUrl(url))
        qCWarning(lcWinfra) << "no handler could open" << url.toString();
}

void setOpener(Opener opener)
{
    installed() = std::move(opener);
}

} // namespace DesktopServices
