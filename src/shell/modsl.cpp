#include "modsl.h"

#include "ansicodec.h"
#include "formmain.h"
#include "logging.h"
#include "networkstate.h"
#include "privateprofile.h"
#include "tray.h"

#include <QApplication>
#include <QWidget>

namespace ModSl {

QStringList ShutdownOrder()
{
    return {QStringLiteral("FlashFrm"),       QStringLiteral("MuenFrm"),
            QStringLiteral("GameJsFrm"),      QStringLiteral("QuendaUpdateFm"),
            QStringLiteral("GyQuenda"),       QStringLiteral("QuendaSz"),
            QStringLiteral("FormMain"),       QStringLiteral("ADFrm")};
}

namespace {
bool &endingAtOnce()
{
    static bool ending = false;
    return ending;
}
} // namespace

// exit(), not quit(): quit() first asks every window left to close, and
// those are the ones that must not run a handler any more.
void EndAtOnce()
{
    endingAtOnce() = true;
    QCoreApplication::exit(0);
}

void ExitProgram()
{
    // Closing the main window runs ExitProgram from its close handler; the
    // second call must not start the sequence again.
    static bool exiting = false;
    if (exiting)
        return;
    exiting = true;

    if (FormMain *main = FormMain::existing())
        main->TP->Hide();

    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QString &name : ShutdownOrder()) {
        for (QWidget *window : windows) {
            if (window->objectName() == name && !endingAtOnce()) {
                qCDebug(lcShell) << "closing" << name;
                window->close();
            }
        }
    }
    // Every window the program closes is closed by now.
    QCoreApplication::exit(0);
    // A test may build the windows again.
    exiting = false;
    endingAtOnce() = false;
}

bool IsOnline()
{
    const bool first = NetworkState::connected();
    const bool second = NetworkState::connected();
    return first && second;
}

QString ReadIniString(const QString &file, const QString &section, const QString &key)
{
    constexpr int kBufferSize = 255;
    QByteArray buffer(kBufferSize, '\0');
    const int copied = PrivateProfile::getPrivateProfileString(section, key, QString(), buffer, file);
    QByteArray value = buffer.left(copied);
    value.replace('\0', QByteArray());
    return Ansi::decode(value);
}

int ReadIniKeys(const QString &file, const QString &section, QStringList &keys)
{
    constexpr int kBufferSize = 1024;
    QByteArray buffer(kBufferSize, ' ');
    PrivateProfile::getPrivateProfileString(section, std::nullopt, QString(), buffer, file);
    keys.clear();
    for (const QByteArray &piece : buffer.split('\0'))
        keys.append(Ansi::decode(piece));
    const int n = int(keys.size() - 1) - 2;
    if (n >= 0)
        keys = keys.mid(0, n + 1);
    return n;
}

} // namespace ModSl
