#include "picturebutton.h"

#include "buttonex.h"

ButtonEx *pictureButton(QWidget *parent, const QString &objectName, const QString &stem,
                        const QString &description, const QRect &geometry, const QString &caption)
{
    auto *button = new ButtonEx(parent);
    button->setObjectName(objectName);
    button->setAccessibleName(description.isEmpty() ? objectName : description);
    button->setToolTip(description);
    button->loadPictures(stem);
    button->setCaption(caption);
    button->setGeometry(geometry);
    return button;
}
