#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QMovie;
class QNetworkReply;
class QTemporaryFile;

// Shows a picture fetched from an address, stretched over the whole control:
// a file that starts with "GIF" (any case) plays as an animation, anything
// else shows as a still picture. A default picture shows at once and stays
// when the fetch fails.
class NetPicture : public QWidget
{
    Q_OBJECT

public:
    explicit NetPicture(QWidget *parent = nullptr);
    ~NetPicture() override;

    // Starts fetching the picture, always from the network (never a cached copy).
    void setPictureURL(const QString &address);
    // Shows the picture in this local file at once.
    void setDefaultPicture(const QString &path);

    // The two faces, for tests: the animation and the still picture.
    QLabel *mygif() const { return m_gif; }
    QLabel *myimg() const { return m_img; }
    QMovie *movie() const { return m_movie.get(); }

signals:
    void Click();
    // A fetch ended (shown or not); for tests and callers that wait.
    void pictureArrived(bool shown);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void readComplete();

    QLabel *m_gif;
    QLabel *m_img;
    std::unique_ptr<QMovie> m_movie;
    std::unique_ptr<QTemporaryFile> m_gifFile; // the animation reads it while it plays
    QPointer<QNetworkReply> m_reply;
};
