#pragma once

#include "csubclass.h"
#include "isubclass.h"

#include <QIcon>
#include <QString>
#include <QWidget>

#include <array>

// The button of every window (Quenda.ButtonEx): a borderless control that
// shows one of four pictures for its look (normal, hover, pressed, disabled),
// follows the mouse in and out, and raises Click on a left-button release
// inside it. Value holds it in its pressed look, for tab-like buttons.
//
// Pictures are kept as icons, so an SVG picture is rendered afresh for the
// screen's pixel ratio instead of being scaled from a 1x bitmap. A picture is
// drawn from the control's top-left corner at the control's size; an empty
// picture paints nothing, so the parent's background shows through.
class ButtonEx : public QWidget, private ISubclass
{
    Q_OBJECT

public:
    enum Look
    {
        LookNormal = 0,
        LookHover = 1,
        LookPressed = 2,
        LookDisabled = 3
    };

    explicit ButtonEx(QWidget *parent = nullptr);
    ~ButtonEx() override;

    // The control's window, for the subclasser's sake.
    QWidget *hWnd() { return this; }

    // Enabled is the widget's enabled state; changing it (setEnabled) sets the
    // look to normal or disabled and repaints.
    bool Enabled() const { return isEnabled(); }

    // While true and enabled, the pressed picture is shown whatever the look.
    bool Value() const { return m_value; }
    void setValue(bool value);

    QIcon Picture1() const { return m_pictures[LookNormal]; }
    QIcon Picture2() const { return m_pictures[LookHover]; }
    QIcon Picture3() const { return m_pictures[LookPressed]; }
    QIcon Picture4() const { return m_pictures[LookDisabled]; }
    void setPicture1(const QIcon &picture) { setPicture(LookNormal, picture); }
    void setPicture2(const QIcon &picture) { setPicture(LookHover, picture); }
    void setPicture3(const QIcon &picture) { setPicture(LookPressed, picture); }
    void setPicture4(const QIcon &picture) { setPicture(LookDisabled, picture); }
    void setPictures(const QIcon &normal, const QIcon &hover, const QIcon &pressed,
                     const QIcon &disabled);

    // Loads the four pictures drawn as one set: <stem>-normal.svg,
    // <stem>-hover.svg, <stem>-pressed.svg and <stem>-disabled.svg, e.g.
    // loadPictures(":/images/buttons/guanbi").
    void loadPictures(const QString &stem);

    // Optional text painted centred over the picture, inside the contents
    // margins, in the palette's button-text colour. Pictures carry no text,
    // so captions follow the user's fonts.
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // The current look (0 normal, 1 hover, 2 pressed, 3 disabled), before Value.
    int look() const { return m_look; }

    // What assistive technology's press action and the keyboard do.
    void click();

signals:
    void Click();
    void OnMouseUp(short Button, short Shift, float X, float Y);
    void OnMouseDown(short Button, short Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void WndProc(bool bBefore, bool &bHandled, LRESULT &lReturn, QWidget *lhWnd, std::uint32_t uMsg,
                 WPARAM wParam, LPARAM lParam, LPARAM &lParamUser) override;

    void setPicture(int index, const QIcon &picture);
    void setLook(int look);

    struct MouseDown
    {
        short button = 0;
        short shift = 0;
        float x = 0;
        float y = 0;
    };

    CSubclass m_subclass;
    std::array<QIcon, 4> m_pictures;
    QString m_caption;
    MouseDown m_lastDown;
    int m_look = LookNormal;
    bool m_value = false;
    bool m_spaceHeld = false;
};
