#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message box of the program goes through here, so tests can answer them
// and check the exact text and icon style.
namespace Dialogs {

enum class Buttons { Ok, YesNo };

// The icon styles of the Windows message box, with their numbers.
enum class Icon { None = 0, Stop = 16, Question = 32, Warning = 48, Information = 64 };

enum class Answer { Ok, Yes, No };

struct Request
{
    QString text;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    QString title; // empty: the program's title
};

using Answerer = std::function<Answer(const Request &)>;

// Shows a modal message box and returns the answer; its title is the
// program's unless one is given. Closing a Yes/No box without choosing counts
// as No.
Answer show(const QString &text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
            QWidget *parent = nullptr, const QString &title = QString());

// Replaces the real message box (tests, scripted runs); an empty answerer
// restores it.
void setAnswerer(Answerer answerer);

QString iconName(Icon icon);
QString buttonsName(Buttons buttons);
QString answerName(Answer answer);

} // namespace Dialogs
