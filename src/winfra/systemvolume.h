#pragma once

#include <QList>
#include <QObject>

#include <cstdint>
#include <memory>

// The system's master volume: the volume of the sound server's default
// output. The settings window's hot keys turn it up, down and on and off, as
// the system's volume keys do.
class SystemVolume : public QObject
{
    Q_OBJECT

public:
    // The application commands of the volume keys.
    enum Command
    {
        VolumeMute = 8,
        VolumeDown = 9,
        VolumeUp = 10
    };

    // A channel's volume in the sound server's units: kNormal is 100%.
    using Volume = std::uint32_t;
    static constexpr Volume kNormal = 0x10000;

    // One press of a volume key on these channel volumes: the loudest
    // channel goes to the next even percentage above it (at most 100%) or
    // below it (at least 0%), the others in proportion. A volume above 100%
    // is not lowered by a press up.
    static QList<Volume> stepped(const QList<Volume> &channels, Command command);

    // The one instance, on the GUI thread.
    static SystemVolume &instance();
    ~SystemVolume() override;

    // Acts on the default output and returns at once. Without a sound
    // server nothing happens; a server that comes later is found at the
    // next command.
    void run(Command command);

signals:
    // The sound server has applied a command (false: there was nothing to
    // act on, no server or no output).
    void applied(bool done);

private:
    SystemVolume();

    struct Pulse;
    std::unique_ptr<Pulse> m_pulse;
};
