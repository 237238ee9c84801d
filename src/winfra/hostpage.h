#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QUrl>
#include <QWebEnginePage>

class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;

// A page of the program's own browsers (the player window's and the
// advertisement window's). What comes from the network may show there and
// nothing more: the page stays at the address the program asked for (the
// redirects of that load are followed), every other navigation and every new
// window it asks for goes to the desktop's browser when it is http or https
// and nowhere otherwise, and it gets no permission, download, file chooser or
// dialog box.
class HostPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit HostPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    // Loads the address as the program's own load.
    void loadAsked(const QUrl &url);

    // Whether a refused link goes to the desktop's browser: http and https
    // only, never a script, a file, data or the program's own scheme.
    static bool goesToDesktopBrowser(const QUrl &url);

    // Cancels every download the profile's pages start. Idempotent.
    static void guardProfile(QWebEngineProfile *profile);

signals:
    // The program's load has ended, with its document or without. Refused
    // navigations neither end it nor make it fail.
    void askedLoadFinished(bool ok);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                          const QString &defaultValue, QString *result) override;

private:
    void refuseNewWindow(QWebEngineNewWindowRequest &request);
    void loadingChangedTo(const QWebEngineLoadingInfo &info);
    void leaveToDesktop(const QUrl &url, const char *what);

    // When the last addresses went to the desktop's browser: a page may not
    // flood the desktop with browser windows.
    QList<qint64> m_handedOver;
    QElapsedTimer m_clock;
    QUrl m_asked;
    // The program's load is under way and has not reached its document: its
    // server redirects are followed.
    bool m_loadOpen = false;
    bool m_committed = false; // the program's document came
    bool m_reported = true;   // askedLoadFinished told for the program's load
    QList<QUrl> m_refused;    // navigations refused since the program's load
};
