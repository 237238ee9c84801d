#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

// Serves the program's own "aurilo:" scheme to the embedded browser, all from
// one origin so that the player page may read every part of it:
//   aurilo://app/player/<file>   the player page (Qt resources, ":/player/")
//   aurilo://app/ruffle/<file>   Ruffle's files (the "ruffle" folder beside
//                                the executable, copied there by the build)
//   aurilo://app/movie/<n>.swf   movie bytes the browser host fetched, from memory
class PlayerSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    static constexpr char kScheme[] = "aurilo";

    // Registers the scheme with the engine; must run before QApplication exists.
    static void registerScheme();

    // The handler installed on the profile, installing one on first use.
    static PlayerSchemeHandler *forProfile(QWebEngineProfile *profile);

    // Folder of Ruffle's files; by default "ruffle" beside the executable.
    // An empty folder returns to the default (tests point it at the build's).
    static QString ruffleFolder();
    static void setRuffleFolder(const QString &folder);

    // Address of the player page that plays the movie at movieUrl; base is
    // the folder the movie's own relative addresses resolve against.
    static QUrl playerPage(const QUrl &movieUrl, const QUrl &base);

    // Keeps the bytes and returns the address under which they are served.
    QUrl addMovie(const QByteArray &bytes);
    void removeMovie(const QUrl &url);
    int movieCount() const { return m_movies.size(); }

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    explicit PlayerSchemeHandler(QObject *parent);

    QHash<QString, QByteArray> m_movies;
    int m_nextMovie = 1;
};
