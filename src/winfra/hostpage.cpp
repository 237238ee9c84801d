#include "hostpage.h"

#include "desktopservices.h"
#include "logging.h"

#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>

namespace {

// At most this many addresses go to the desktop's browser in this time.
constexpr int kHandOversPerWindow = 5;
constexpr qint64 kHandOverWindowMs = 10000;

} // namespace

HostPage::HostPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
    m_clock.start();
    guardProfile(profile);
    QWebEngineSettings *s = settings();
    // Nothing of the desktop for the page: no clipboard, no files dropped in,
    // no plug-ins, no full screen, no raising the window.
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    s->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // Windows a page opens are asked for here and refused (refuseNewWindow);
    // without this the engine would drop them unseen, links included.
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);

    connect(this, &QWebEnginePage::newWindowRequested, this, &HostPage::refuseNewWindow);
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, Feature feature) {
                qCInfo(lcWinfra) << "browser: permission refused:" << feature << origin.toString();
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    // The document of the program's load has come: from now on every
    // navigation is the page's own.
    connect(this, &QWebEnginePage::urlChanged, this, [this] {
        if (m_loadOpen) {
            m_loadOpen = false;
            m_committed = true;
        }
    });
    connect(this, &QWebEnginePage::loadingChanged, this, &HostPage::loadingChangedTo);
}

void HostPage::loadAsked(const QUrl &url)
{
    m_asked = url;
    m_loadOpen = true;
    m_committed = false;
    m_reported = false;
    m_refused.clear();
    load(url);
}

bool HostPage::goesToDesktopBrowser(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void HostPage::guardProfile(QWebEngineProfile *profile)
{
    static const char kGuarded[] = "aurilo-guarded";
    if (profile->property(kGuarded).toBool())
        return;
    profile->setProperty(kGuarded, true);
    connect(profile, &QWebEngineProfile::downloadRequested, profile,
            [](QWebEngineDownloadRequest *download) {
                qCInfo(lcWinfra) << "browser: download refused:" << download->url().toString();
                download->cancel();
            });
}

bool HostPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (!isMainFrame) {
        // Frames inside the page load as the page says; a click in one is a
        // link like any other.
        if (type != NavigationTypeLinkClicked && type != NavigationTypeFormSubmitted)
            return true;
        leaveToDesktop(url, "link in a frame");
        return false;
    }
    // The load the program started, and the server's redirects of it; the
    // page's own redirects (a refresh, a script) come once its document has.
    if (m_loadOpen && (url == m_asked || type == NavigationTypeRedirect))
        return true;
    m_refused.append(url);
    leaveToDesktop(url, "navigation");
    return false;
}

void HostPage::loadingChangedTo(const QWebEngineLoadingInfo &info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || m_reported)
        return;
    m_reported = true;
    // A refused navigation ends the engine's loading in its place, and the
    // engine reports no more of the document it stayed on.
    if (m_refused.contains(info.url()))
        emit askedLoadFinished(m_committed);
    else
        emit askedLoadFinished(info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
}

void HostPage::refuseNewWindow(QWebEngineNewWindowRequest &request)
{
    // Not opened in any page of ours: the engine drops the window.
    leaveToDesktop(request.requestedUrl(), "new window");
}

void HostPage::leaveToDesktop(const QUrl &url, const char *what)
{
    if (!goesToDesktopBrowser(url)) {
        qCInfo(lcWinfra) << "browser:" << what << "refused:" << url.toString(QUrl::RemoveUserInfo);
        return;
    }
    const qint64 now = m_clock.elapsed();
    while (!m_handedOver.isEmpty() && now - m_handedOver.constFirst() > kHandOverWindowMs)
        m_handedOver.removeFirst();
    if (m_handedOver.size() >= kHandOversPerWindow) {
        qCInfo(lcWinfra) << "browser:" << what
                         << "refused, too many in a row:" << url.toString(QUrl::RemoveUserInfo);
        return;
    }
    m_handedOver.append(now);
    qCInfo(lcWinfra) << "browser:" << what
                     << "to the desktop's browser:" << url.toString(QUrl::RemoveUserInfo);
    DesktopServices::openUrl(url);
}

QStringList HostPage::chooseFiles(FileSelectionMode, const QStringList &, const QStringList &)
{
    qCInfo(lcWinfra) << "browser: file chooser refused";
    return {};
}

void HostPage::javaScriptAlert(const QUrl &securityOrigin, const QString &)
{
    qCInfo(lcWinfra) << "browser: alert box refused:" << securityOrigin.toString();
}

bool HostPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &)
{
    qCInfo(lcWinfra) << "browser: confirmation box refused:" << securityOrigin.toString();
    return false;
}

bool HostPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &, const QString &,
                                QString *)
{
    qCInfo(lcWinfra) << "browser: prompt box refused:" << securityOrigin.toString();
    return false;
}
