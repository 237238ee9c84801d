#pragma once

#include "dialogservice.h"

#include <QList>
#include <QStringList>

// Answers the program's message boxes from a script and keeps what was asked.
class DialogRecorder
{
public:
    explicit DialogRecorder(QList<Dialogs::Answer> answers = {}) : m_answers(std::move(answers))
    {
        Dialogs::setAnswerer([this](const Dialogs::Request &request) {
            m_requests.append(request);
            if (!m_answers.isEmpty())
                return m_answers.takeFirst();
            return request.buttons == Dialogs::Buttons::YesNo ? Dialogs::Answer::No
                                                              : Dialogs::Answer::Ok;
        });
    }
    ~DialogRecorder() { Dialogs::setAnswerer({}); }
    DialogRecorder(const DialogRecorder &) = delete;
    DialogRecorder &operator=(const DialogRecorder &) = delete;

    const QList<Dialogs::Request> &requests() const { return m_requests; }
    QStringList texts() const
    {
        QStringList out;
        for (const auto &r : m_requests)
            out.append(r.text);
        return out;
    }

private:
    QList<Dialogs::Answer> m_answers;
    QList<Dialogs::Request> m_requests;
};
