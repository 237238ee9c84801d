#pragma once

#include "singleform.h"

#include <QWidget>

class QAction;
class QMenu;

// The menu window: never shown, it owns the program's pop-up menus and the
// commands behind them, and holds the selection record of the lists.
class MuenFrm : public QWidget, public SingleForm<MuenFrm>
{
    Q_OBJECT

public:
    explicit MuenFrm(QWidget *parent = nullptr);

    // --- menus ---
    QMenu *SzLan = nullptr; // "设置栏", under the main window's XlMune button
    QMenu *TP = nullptr;    // "托盘选项", the tray icon's menu

    // SzLan items
    QAction *Jrzy = nullptr;
    QAction *OverQuenda = nullptr;
    // TP items
    QAction *FrmQcShow = nullptr;
    QAction *Window1 = nullptr;
    QAction *UnloadEndFrm = nullptr;

    // --- commands ---
    void Jrzy_Click();
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
    QAction *addItem(QMenu *menu, const QString &objectName, const QString &caption);
};
