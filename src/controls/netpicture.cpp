#include "netpicture.h"

#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QTemporaryFile>

namespace {
QNetworkAccessManager &network()
{
    static QNetworkAccessManager *manager = new QNetworkAccessManager(QCoreApplication::instance());
    return *manager;
}
} // namespace

NetPicture::NetPicture(QWidget *parent)
    : QWidget(parent), m_gif(new QLabel(this)), m_img(new QLabel(this))
{
    m_gif->setObjectName(QStringLiteral("mygif"));
    m_gif->setScaledContents(true);
    m_gif->setStyleSheet(QStringLiteral("background: white;")); // opaque white behind the frames
    m_gif->hide();
    m_img->setObjectName(QStringLiteral("myimg"));
    m_img->setScaledContents(true);
    for (QLabel *face : {m_gif, m_img})
        face->setAttribute(Qt::WA_TransparentForMouseEvents); // clicks belong to the control
}

NetPicture::~NetPicture()
{
    if (m_reply)
        m_reply->abort();
}

void NetPicture::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_gif->setGeometry(rect());
    m_img->setGeometry(rect());
}

void NetPicture::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

void NetPicture::setDefaultPicture(const QString &path)
{
    m_img->setPixmap(QPixmap(path));
}

void NetPicture::setPictureURL(const QString &address)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    m_reply = network().get(request);
    connect(m_reply, &QNetworkReply::finished, this, &NetPicture::readComplete);
}

void NetPicture::readComplete()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray bytes = reply->readAll();
    if (reply->error() != QNetworkReply::NoError || status >= 400 || bytes.isEmpty()) {
        emit pictureArrived(false); // the default picture stays
        return;
    }
    if (bytes.left(3).toLower() == "gif") {
        auto file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("aurilo-XXXXXX.gif")));
        if (!file->open() || file->write(bytes) != bytes.size() || !file->flush()) {
            emit pictureArrived(false);
            return;
        }
        m_movie = std::make_unique<QMovie>(file->fileName());
        m_gifFile = std::move(file);
        m_gif->setMovie(m_movie.get());
        m_movie->start();
        m_gif->show();
        m_img->hide();
    } else {
        // Bytes that are no picture leave the picture shown before.
        QPixmap picture;
        if (picture.loadFromData(bytes))
            m_img->setPixmap(picture);
        m_gif->hide();
        m_img->show();
    }
    emit pictureArrived(true);
}
