#pragma once

#include "singleform.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QWidget>

#include <cstdint>

class BrowserHost;
class ButtonEx;
class LinkLabels;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QProgressBar;

// Geometry of the player window's parts for a window of the given size, in
// twips (15 a pixel), as the resize step places them.
struct FlashFrmLayout
{
    QRect HeadrImg, FootImg, GameXX, GamejsLab, Picture1, WEbZhe, Flash1;
    QRect Line1, Line2, Line3, Line4; // inside GameXX; lines as zero-width rectangles
    QPoint lblMsg;

    static FlashFrmLayout forSize(int widthTwips, int heightTwips);
};

// The player window: the embedded browser Flash1 in which a resource plays,
// the loading cover with its progress, the description strip and the footer
// advertisement line. It docks to the main window's right edge.
class FlashFrm : public QWidget, public SingleForm<FlashFrm>
{
    Q_OBJECT

public:
    explicit FlashFrm(QWidget *parent = nullptr);

    static constexpr int kTwipsPerPixel = 15;
    // Design client area 8280 x 8085 twips.
    static constexpr QSize kDesignSize{552, 539};
    // The frame the layout table counts in the window's outer size: on the
    // system it was drawn for, the outer size is the client area plus this.
    static constexpr QSize kDesignFrameTwips{60, 435};

    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void Flash1_ProgressChange(int Progress, int ProgressMax);
    void FlashFXYX_Click();
    void FlashSC_Click();
    void GamePlayFF_Click();
    void lblMsg_Click();

    // --- the share panel FxFm ---
    // Shares the resource now playing: 0 the recommendation text to the
    // clipboard, 1..6 the share page of an outside service.
    void Fx_Click(int index);
    void Fx_MouseMove(int index);
    void Fx_MouseDown(int index, int Button);
    void FxFm_MouseMove();
    // The panel's labels: orange under the mouse, black otherwise.
    static inline const QColor kFxHover{255, 101, 1};
    static inline const QColor kFxNormal{0, 0, 0};

    // Shows a transfer's progress on the loading cover: the caption and the
    // percentage, the bar on a 0..100 scale. Used for the catalog download too.
    void showProgress(const QString &caption, double percent);

    // --- the now-playing record ---
    std::int16_t QuendaId = 0;
    std::int16_t QuendaFid = 0;
    QString QuendaName;
    QString QuendaImage;
    QString QuendaSize;
    QString QuendaFlash_FFa;
    QString QuendaFlashUrl;
    QString QuendaPageUrl;
    QString QuendaFlashSay;
    QString QuendaKeyBoard;
    QString QuendaStyle;

    // --- controls ---
    QLabel *HeadrImg = nullptr;
    QLabel *FootImg = nullptr;
    QWidget *Picture1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QWidget *WEbZhe = nullptr;
    BrowserHost *Flash1 = nullptr;
    QWidget *GameXX = nullptr;
    QPlainTextEdit *GamejsLab = nullptr;
    ButtonEx *GamePlayFF = nullptr;
    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;
    QFrame *Line3 = nullptr;
    QFrame *Line4 = nullptr;
    QWidget *FxFm = nullptr;
    QList<QLabel *> Fx; // Fx(0)..Fx(6)
    ButtonEx *FlashFXYX = nullptr;
    ButtonEx *FlashSC = nullptr;
    QLabel *lblMsg = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    // Makes the window's outer height the main window's; runs again when the
    // window manager's frame becomes known or changes.
    void matchMainWindowHeight();
    void addPlayingToFavorites();
    void createSharePanel();
    LinkLabels *m_fxLinks = nullptr; // the events of Fx
    bool m_loaded = false;
};
