#pragma once

#include <QLockFile>
#include <QObject>

#include <memory>

class QLocalServer;

// One running copy per program file: the first copy holds a lock and listens on
// a local socket; a later copy finds the lock taken and asks the first one,
// through the socket, to bring its window to the front.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // key names the program (the executable's path, so two installations in
    // different folders do not exclude each other).
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock and starts listening; false when another copy holds it.
    bool tryBecomePrimary();

    // From a later copy: asks the running copy to show itself. Returns whether
    // the running copy got the request.
    bool activatePrimary(int timeoutMs = 2000) const;

signals:
    // In the running copy: a later copy asked it to come to the front.
    void activationRequested();

private:
    void onNewConnection();

    QString m_serverName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
