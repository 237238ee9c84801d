#pragma once

#include <QRect>
#include <QString>

class ButtonEx;
class QWidget;

// A ButtonEx with the four looks of the pictures
// "<stem>-normal|hover|pressed|disabled.svg", the description as its
// accessible name and tool tip.
ButtonEx *pictureButton(QWidget *parent, const QString &objectName, const QString &stem,
                        const QString &description, const QRect &geometry,
                        const QString &caption = QString());
