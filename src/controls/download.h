#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QTemporaryFile;

// Fetches one address into a temporary file without blocking the window and
// reports progress and completion on the GUI thread. Every download of the
// program goes through one of these; the host receives the finished file's
// path and moves the file where it belongs.
//
// A download counts as complete only when the server answered with success
// and the body is whole: an HTTP error status (404, 500, ...), a reset
// connection or a body shorter than its Content-Length ends with hasError
// true and no file, and so does a transfer that receives nothing for
// transferTimeout() milliseconds. Every read asks the server: a cached copy is
// used only when the server answers the conditional request (If-Modified-Since,
// If-None-Match) with 304 Not Modified, never on the cache's own estimate of
// freshness.
class DownLoad : public QObject
{
    Q_OBJECT

public:
    explicit DownLoad(QObject *parent = nullptr, const QString &name = QString());
    ~DownLoad() override;

    // Starts downloading szUrl, cancelling a read still pending. Returns at
    // once; false when the address cannot be read at all (not http or https),
    // in which case the completion with hasError true follows from the event
    // loop like any failed read, and is cancelled like one.
    bool OpenUrl(const QString &szUrl);

    // Cancels the pending read; false when none is pending. No completion
    // event is raised for a cancelled read.
    bool Cancel();

    bool isReading() const { return m_reply != nullptr; }

    // How long a transfer may receive nothing before it fails (0: no limit);
    // applies to reads started afterwards.
    static constexpr int kDefaultTransferTimeoutMs = 30'000;
    void setTransferTimeout(int msecs) { m_transferTimeoutMs = msecs; }
    int transferTimeout() const { return m_transferTimeoutMs; }

signals:
    // bytesMax is 0 while the total is unknown.
    void AsyncReadProgress(int BytesRead, int bytesMax);
    void AsyncReadComplete(bool hasError, const QString &szPath);

private:
    void onReadyRead();
    void onFinished();
    void discard();

    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QTemporaryFile> m_file;
    bool m_writeFailed = false;
    int m_transferTimeoutMs = kDefaultTransferTimeoutMs;
    // Delivers the failure of a read that could not start; a member, not a
    // free single-shot, so that the next read or Cancel() can stop it.
    QTimer m_startFailure;
};
