#include "dialogservice.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace Dialogs {

namespace {
Answerer &installed()
{
    static Answerer answerer;
    return answerer;
}

QMessageBox::Icon toQt(Icon icon)
{
    switch (icon) {
    case Icon::Stop:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

Answer show(const QString &text, Buttons buttons, Icon icon, QWidget *parent, const QString &title)
{
    const Request request{text, buttons, icon, title};
    if (installed())
        return installed()(request);

    const QString caption = title.isEmpty() ? QStringLiteral("Aurilo") : title;
    QMessageBox box(toQt(icon), caption, text,
                    buttons == Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No)
                                              : QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setAccessibleName(caption);
    if (buttons == Buttons::YesNo) {
        box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    }
    const int result = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void setAnswerer(Answerer answerer)
{
    installed() = std::move(answerer);
}

QString iconName(Icon icon)
{
    return QString::number(static_cast<int>(icon));
}

QString buttonsName(Buttons buttons)
{
    return buttons == Buttons::YesNo ? QStringLiteral("YesNo") : QStringLiteral("OK");
}

QString answerName(Answer answer)
{
    switch (answer) {
    case Answer::Yes:
        return QStringLiteral("Yes");
    case Answer::No:
        return QStringLiteral("No");
    case Answer::Ok:
        break;
    }
    return QStringLiteral("OK");
}

} // namespace Dialogs
