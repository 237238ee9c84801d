#pragma once

#include "hostpage.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <utility>

class QNetworkAccessManager;
class QNetworkReply;
class QWebEnginePage;
class QWebEngineView;

// The embedded browser of the player window (Flash1) and of the advertisement
// window: it takes an address, loads it without blocking, tells the address
// asked for and reports load progress as (Progress, ProgressMax) pairs that end
// with Progress = ProgressMax.
//
// A Flash movie (an address whose path ends in ".swf") is fetched here, with
// byte progress, and played by Ruffle in the program's own player page; every
// other address is an ordinary web page with the engine's progress (0..100).
class BrowserHost : public QWidget
{
    Q_OBJECT

public:
    // ProgressMax of a web page, whose engine reports per cent.
    static constexpr int kPageProgressMax = 100;
    // While a movie's size is unknown its bytes are reported against this many
    // more than arrived: the share grows with every piece yet never reaches
    // the end before the movie has really arrived.
    static constexpr int kUnknownSizeTail = 64 * 1024;

    explicit BrowserHost(QWidget *parent = nullptr);
    ~BrowserHost() override;

    // What the engine needs before the QApplication is created: the player's
    // URL scheme, the engine's process options (movies keep playing while the
    // window is hidden or minimised) and, when running as root, the sandbox
    // switched off, which Chromium refuses to start with. Call first in main().
    static void registerSchemes();

    // Whether the address is a Flash movie: its path ends in ".swf", any case.
    static bool isSwfAddress(const QString &address);

    // The (Progress, ProgressMax) pair for a movie download in progress;
    // total < 0 when the server did not say the size. Never reports the end.
    static std::pair<int, int> downloadProgress(qint64 received, qint64 total);

    // Starts loading the address and returns at once.
    void Navigate(const QString &address);
    // The address last asked for ("about:blank" before the first Navigate),
    // for a movie its own address, not the player page's.
    QString LocationURL() const { return m_location; }
    // Whether the last load of LocationURL() ended without it: the movie's
    // download or the page failed. False while the load is under way.
    bool lastLoadFailed() const { return m_lastLoadFailed; }

    // The part of the browser that shows inside its containers, in its own
    // coordinates: the player window lets it overhang its frame so that its
    // border and scroll bars stay out of sight.
    QRect visibleArea() const;
    // Tells the player page the visible part, in which it centres the movie.
    // Runs on the host's own moves and resizes; a container that moves the
    // host's edges without either calls it after laying out.
    void updateVisibleArea();

    // The page now shown; a new one for every Navigate.
    QWebEnginePage *page() const { return m_page; }

signals:
    void ProgressChange(int Progress, int ProgressMax);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    enum class Mode
    {
        Page,
        Fetching,
        Player,
        Done
    };

    void replacePage();
    void cancelFetch();
    void startFetch(const QUrl &url);
    void fetchProgress(qint64 received, qint64 total);
    void fetchFinished();
    void pageProgress(int progress);
    void pageFinished(bool ok);
    void finish(int progressMax);
    void installVisibleAreaScript();
    void pushVisibleArea();
    QString visibleAreaObject() const;

    QWebEngineView *m_view = nullptr;
    HostPage *m_page = nullptr;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QString m_location = QStringLiteral("about:blank");
    Mode m_mode = Mode::Done;
    QUrl m_movieUrl;
    int m_progressMax = kPageProgressMax;
    bool m_lastLoadFailed = false;
    // Whether the address could not be loaded at all (a blank page stands in).
    bool m_notAnAddress = false;
    QRect m_visibleArea;
};
