#include "accessiblepopups.h"
#include "browserhost.h"
#include "dialogservice.h"
#include "formmain.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

namespace {

// Scripted message boxes for end-to-end tests that run the real program:
// AURILO_DIALOG_SCRIPT names a file of answers ("Yes", "No", "OK"), one per
// line, used in order; every message box shown is appended to the file
// "<script>.log" as "icon|buttons|text => answer". Without the variable the
// program shows real message boxes.
void installDialogScript()
{
    const QString script = qEnvironmentVariable("AURILO_DIALOG_SCRIPT");
    if (script.isEmpty())
        return;
    QStringList answers;
    QFile file(script);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QString text = QString::fromUtf8(file.readAll());
        for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
            answers.append(line.trimmed());
    }
    Dialogs::setAnswerer([answers, script, next = 0](const Dialogs::Request &request) mutable {
        Dialogs::Answer answer =
            request.buttons == Dialogs::Buttons::YesNo ? Dialogs::Answer::No : Dialogs::Answer::Ok;
        if (next < answers.size()) {
            const QString wanted = answers.at(next++);
            if (wanted.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0)
                answer = Dialogs::Answer::Yes;
            else if (wanted.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0)
                answer = Dialogs::Answer::No;
        }
        QFile log(script + QStringLiteral(".log"));
        if (log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            QTextStream out(&log);
            out << Dialogs::iconName(request.icon) << '|' << Dialogs::buttonsName(request.buttons)
                << '|' << request.text << " => " << Dialogs::answerName(answer) << '\n';
        }
        return answer;
    });
}

} // namespace

int main(int argc, char *argv[])
{
    // The embedded browser's engine is set up before the application object.
    BrowserHost::registerSchemes();
    // Screen readers find the open pop-up menus from the application down.
    AccessiblePopups::install();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Aurilo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Aurilo"));
    QApplication::setApplicationVersion(QStringLiteral(AURILO_VERSION));
    // The main window hides in the tray; closing a message box while it is
    // hidden must not end the program. Only ExitProgram does.
    QApplication::setQuitOnLastWindowClosed(false);
    installDialogScript();

    auto *main = new FormMain;
    if (!main->Form_Load())
        return 0;
    main->show();
    return app.exec();
}
