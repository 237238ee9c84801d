#include "modini.h"

#include "ansicodec.h"
#include "privateprofile.h"
#include "programfolder.h"

namespace ModIni {

namespace {
QString &iniPath()
{
    static QString path;
    return path;
}
} // namespace

void SetIniFileName(const QString &fileName)
{
    // The file as the program folder has it, whatever the case of its name.
    iniPath() = ProgramFolder::file(fileName);
}

QString IniFileName()
{
    return iniPath();
}

QString ReadIniValue(const QString &section, const QString &key, const QString &defaultValue)
{
    constexpr int kBufferSize = 255;
    QByteArray buffer(kBufferSize, '\0');
    const int copied =
        PrivateProfile::getPrivateProfileString(section, key, defaultValue, buffer, iniPath());
    if (copied == 0)
        return QString();
    const qsizetype end = buffer.indexOf('\0');
    return Ansi::decode(end < 0 ? buffer : buffer.left(end));
}

bool WriteIniValue(const QString &section, const QString &key, const QString &value)
{
    return PrivateProfile::writeString(iniPath(), section, key, value);
}

} // namespace ModIni
