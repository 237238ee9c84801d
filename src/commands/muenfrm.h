#pragma once

#include "singleform.h"

#include <QList>
#include <QWidget>

#include <cstdint>

class QAction;
class QMenu;

// The menu window: never shown, it owns the program's pop-up menus and the
// commands behind them, and holds the selection record of the lists.
class MuenFrm : public QWidget, public SingleForm<MuenFrm>
{
    Q_OBJECT

public:
    explicit MuenFrm(QWidget *parent = nullptr);
    ~MuenFrm() override;

    // --- menus ---
    QMenu *GameListMuen = nullptr; // "列表右键菜单", over the resource list List2
    QMenu *ScListMuen = nullptr;   // "收藏列表右键菜单", over the favourites List4
    QMenu *SbListMuen = nullptr;   // "随便听听", over the random list ListSB
    QMenu *SzLan = nullptr;        // "设置栏", under the main window's XlMune button
    QMenu *TP = nullptr;           // "托盘选项", the tray icon's menu

    // GameListMuen items
    QAction *BeginGame = nullptr;
    QAction *Tjsc = nullptr;
    QAction *Ckjs = nullptr;
    QAction *FxGame = nullptr;
    // ScListMuen items
    QAction *BeginGamerSC = nullptr;
    QAction *DelSc = nullptr;
    QAction *DelScList = nullptr;
    QAction *ckscjs = nullptr;
    // SbListMuen items
    QAction *BeginGamerSB = nullptr;
    QAction *TjscSB = nullptr;
    QAction *FxSbPlGame = nullptr;
    QAction *CzLbSB = nullptr;
    QAction *CkJSSB = nullptr;
    // SzLan items
    QAction *Jrzy = nullptr;
    QAction *shezhi1 = nullptr;
    QAction *OverQuenda = nullptr;
    // TP items
    QAction *FrmQcShow = nullptr;
    QAction *Window1 = nullptr;
    QAction *UnloadEndFrm = nullptr;

    // The menus above, by object name; null for another name.
    QMenu *menuNamed(const QString &objectName) const;

    // --- commands ---
    void BeginGame_Click();
    void Tjsc_Click();
    void Ckjs_Click();
    void FxGame_Click();
    void BeginGamerSC_Click();
    void DelSc_Click();
    void DelScList_Click();
    void ckscjs_Click();
    void BeginGamerSB_Click();
    void TjscSB_Click();
    void FxSbPlGame_Click();
    void CzLbSB_Click();
    void CkJSSB_Click();
    void Jrzy_Click();
    void shezhi1_Click();
    void OverQuenda_Click();
    void FrmQcShow_Click();
    void Window1_Click();
    void UnloadEndFrm_Click();

    // --- the selection record: the resource last selected in a list ---
    std::int16_t GmId = 0;
    std::int16_t GmFid = 0;
    QString GmName;
    QString GmImage;
    QString GmSize;
    QString GmFlash_FFa;
    QString GmFlashUrl;
    QString GmPageUrl;
    QString GmFlashSay;
    QString GmOnclick;
    QString GmKeyBoard;
    QString GmZtid;
    QString GmDelGameName;
    QString GmStyle;

private:
    QMenu *addMenu(const QString &objectName, const QString &caption);
    QAction *addItem(QMenu *menu, const QString &objectName, const QString &caption,
                     void (MuenFrm::*command)());
    void addSeparator(QMenu *menu, const QString &objectName);
    void showDetails();
    void shareSelection();

    QList<QMenu *> m_menus; // top-level windows of their own, deleted with this form
};
