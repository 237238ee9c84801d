#pragma once

#include "formclicksj.h"
#include "singleform.h"

#include <QColor>
#include <QList>
#include <QWidget>

class ButtonEx;
class LinkLabels;
class NetPicture;
class QLabel;
class QPlainTextEdit;

// The details window: name, category, size, cover, description, play method
// and page address of the resource selected in a list, with a play control,
// three link labels and a close button. A borderless, shaped window like the
// main one; created hidden on first use and only hidden afterwards.
class GameJsFrm : public QWidget, public SingleForm<GameJsFrm>
{
    Q_OBJECT

public:
    explicit GameJsFrm(QWidget *parent = nullptr);

    static constexpr QSize kWindowSize{420, 460};
    // The link labels' colours: orange under the mouse, black otherwise.
    static inline const QColor kLinkHover{255, 101, 1};
    static inline const QColor kLinkNormal{0, 0, 0};

    // --- handlers ---
    void Form_Load();
    void Form_MouseDown(int Button, int Shift, int X, int Y);
    void Form_MouseMove();
    void GameJSButtoncommand_Click();
    void CCFFButton_Click();
    void FlashUrlButton_Click();
    // Plays the MuenFrm selection in the player window.
    void Label5_Click();
    void OverFrmMeSL_Click();
    void Label4_Click(int Index);
    void Label4_MouseMove(int Index);
    void Label4_MouseDown(int Index, int Button);

    // --- controls ---
    QLabel *Label2 = nullptr; // name
    QLabel *FLCAP = nullptr;  // category
    QLabel *Label3 = nullptr; // size
    NetPicture *NetPicture1 = nullptr;
    QPlainTextEdit *jianjie = nullptr;
    QList<QLabel *> Label1; // (1) the play-method box
    QPlainTextEdit *Text4 = nullptr;
    ButtonEx *GameJSButtoncommand = nullptr;
    ButtonEx *CCFFButton = nullptr;
    ButtonEx *FlashUrlButton = nullptr;
    ButtonEx *Label5 = nullptr;
    ButtonEx *OverFrmMeSL = nullptr;
    QList<QLabel *> Label4; // "添加收藏", "分享", "提交错误"

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void createControls();
    void showTab(ButtonEx *tab);

    LinkLabels *m_links = nullptr; // the events of Label4
    FormClickSj::Background m_background{QStringLiteral(":/images/details-background.svg")};
    FormClickSj::BackgroundDrag m_drag;
};
