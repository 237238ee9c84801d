#include "clipboardservice.h"

#include "logging.h"

#include <QClipboard>
#include <QGuiApplication>

namespace Clipboard {

namespace {
Writer &installed()
{
    static Writer writer;
    return writer;
}

QClipboard *systemClipboard()
{
    // Without an application object there is no clipboard to write to.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        qCWarning(lcWinfra) << "no clipboard without a GUI application";
        return nullptr;
    }
    return QGuiApplication::clipboard();
}
} // namespace

void setText(const QString &text)
{
    if (installed()) {
        installed()(text);
        return;
    }
    if (QClipboard *clipboard = systemClipboard()) {
        clipboard->clear();
        clipboard->setText(text);
    }
}

QString text()
{
    QClipboard *clipboard = systemClipboard();
    return clipboard ? clipboard->text() : QString();
}

void setWriter(Writer writer)
{
    installed() = std::move(writer);
}

} // namespace Clipboard
