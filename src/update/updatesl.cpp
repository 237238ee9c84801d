#include "updatesl.h"

#include "ansicodec.h"
#include "logging.h"
#include "privateprofile.h"

#include <QCheckBox>

namespace UpdateSL {

void LoadCheckBoxSetting(const QString &section, const QString &filePath, QCheckBox *checkBox)
{
    constexpr int kBufferSize = 255;
    QByteArray buffer(kBufferSize, '\0');
    PrivateProfile::getPrivateProfileString(section, checkBox->objectName(), QString(), buffer,
                                            filePath);
    buffer.replace('\0', QByteArray());
    checkBox->setChecked(Ansi::decode(buffer) != QLatin1String("0"));
}

void SaveCheckBoxSetting(const QString &section, const QString &filePath, QCheckBox *checkBox)
{
    const QString value = QString::number(checkBox->isChecked() ? 1 : 0);
    if (!PrivateProfile::writeString(filePath, section, checkBox->objectName(), value))
        qCWarning(lcUpdate) << "cannot write" << checkBox->objectName() << "to" << filePath;
}

} // namespace UpdateSL
