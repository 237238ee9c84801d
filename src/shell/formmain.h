#pragma once

#include "formclicksj.h"
#include "lineorigins.h"
#include "singleform.h"
#include "sjcl.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QWidget>

#include <optional>
#include <utility>

class ButtonEx;
class DownLoad;
class ListBoxEx;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class Tray;

// The main window: a borderless, shaped window with the catalog lists, the
// search box and the tabs. It runs the start-up sequence (Form_Load).
class FormMain : public QWidget, public SingleForm<FormMain>
{
    Q_OBJECT

public:
    explicit FormMain(QWidget *parent = nullptr);
    ~FormMain() override;

    // The start-up sequence; the window is shown after it returns. Returns
    // false when the start-up ended the program (the listener declined).
    bool Form_Load();

    // --- handlers (connected to the controls' events) ---
    void Form_Initialize();
    void Form_Unload();
    void Form_Resize();
    void Form_MouseDown(int Button, int Shift, int X, int Y);
    void Guanbi_Click();
    void ZuiXH_Click();
    void FkButton_Click();
    void GfZyLjLabel_Click();
    void Sz_Click();
    void XlMune_OnMouseDown();
    void GameFrmButton_OnMouseDown();
    void List1_Click();
    void List1_MouseDown(short Button, short Shift, float X, float Y);
    void YxList_Click();
    void ScList_Click();
    void SbpLAY_Click();
    void QtList_Click();
    void List2_Click();
    void ListSB_Click();
    void List4_Click();
    void List2_DbClick();
    void List4_Dbclick();
    void listsb_Dbclick();
    void List2_MouseDown(short Button, short Shift, float X, float Y);
    void List2_MouseUp(short Button, short Shift, float X, float Y);
    void List4_MouseDown(short Button, short Shift, float X, float Y);
    void List4_MouseUp(short Button, short Shift, float X, float Y);
    void ListSB_MouseDown(short Button, short Shift, float X, float Y);
    void ListSB_MouseUp(short Button, short Shift, float X, float Y);
    void Text4_GotFocus();
    void Text4_LostFocus();
    void SerImg_Click();
    // The play routines behind the double clicks.
    void List2DbClick();
    void list4dbclick();
    void listsbDbclick();
    void TP_Click();
    void TP_PopupMenu();
    void 右边窗体();
    void BeginDQsL();
    void BeginSJlistSJ();
    void VerDown_AsyncReadComplete(bool hasError, const QString &szPath);
    void UpdateSLing_AsyncReadProgress(int BytesRead, int bytesMax);
    void UpdateSLing_AsyncReadComplete(bool hasError, const QString &szPath);

    // Whether the start-up put the window in offline mode.
    bool isOffline() const { return m_offline; }

    // The lists and fields the catalog module fills.
    SjCL::CatalogLists catalogLists();

    // The resource a line of List2 or ListSB denotes, with its category: a
    // category line by its position, a search hit or a random item by the
    // resource it was made from. Empty when the line denotes none.
    using SelectedEntry = SjCL::SelectedEntry;
    SelectedEntry FindSelectedEntry(const ListBoxEx *list) const;
    // Fill the details panel and the selection record from the selected line.
    void ShowEntryDetails();
    void ShowRandomEntryDetails();
    // Shows the listening history's lines in List2.
    void showHistoryLines(const QStringList &lines);

    // What List2 shows now.
    enum class List2Kind { Category, SearchHits, History };
    List2Kind list2Kind() const { return m_list2Kind; }
    // The prompt the search box shows while it is empty.
    static QString searchPrompt();

    // --- public fields other windows read and write ---
    QString FlashUrlLsSL;
    QString GameNameSL;
    QString zc1;
    QString zc2;
    QString TOPADTIMERZC;
    QString TOPADURLZC;
    QString HEADRTIMERZC;
    QString HEADRURLZC;
    QString zcsjsj;
    QString 分类暂存;

    // --- controls ---
    Tray *TP = nullptr;
    QLabel *DJ = nullptr;
    QLineEdit *Text4 = nullptr;
    ButtonEx *SerImg = nullptr;
    ButtonEx *YxList = nullptr;
    ButtonEx *ScList = nullptr;
    ButtonEx *SbpLAY = nullptr;
    QLabel *GfZyLjLabel = nullptr;
    ButtonEx *Guanbi = nullptr;
    ButtonEx *ZuiXH = nullptr;
    ButtonEx *FkButton = nullptr;
    ButtonEx *Sz = nullptr;
    ButtonEx *XlMune = nullptr;
    ButtonEx *GameFrmButton = nullptr;
    QWidget *GamelistFrm = nullptr;
    ListBoxEx *List1 = nullptr;
    ListBoxEx *QtList = nullptr;
    ListBoxEx *List2 = nullptr;
    QWidget *ScListFrm = nullptr;
    ListBoxEx *List4 = nullptr;
    QWidget *SbPlayFrm = nullptr;
    ListBoxEx *ListSB = nullptr;
    QLabel *JZSJ = nullptr; // "loading the lists" picture over the lists
    DownLoad *VerDown = nullptr;
    DownLoad *UpdateSLing = nullptr;
    QTimer *Timer3 = nullptr;
    QTimer *Timer1 = nullptr;

    void setVisible(bool visible) override;
    // Shows the window, from the tray, the task bar or hiding, without the
    // given states.
    void Restore(Qt::WindowStates drop = Qt::WindowMinimized);
    // The window's state as the listener sees it: 0 normal, 1 minimised (in
    // the task bar, or hidden in the notification area), 2 maximised.
    int WindowState() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void xlMuneMenuClosed();
    void createControls();
    void CheckExist();
    void EnterOfflineMode();
    void setTabsBusy(bool busy);
    void endCatalogDownload();
    void reportMissingCatalog();
    // Docked windows leave with the main window and come back with it.
    void sendDockedAway();
    void bringDockedBack();
    void loadCatalog();
    void selectTab(ButtonEx *tab);
    void fillSelection(const CatalogEntry &entry, const QString &category);
    // The right button over a list: choose the line under it, then its menu.
    void rightButtonDown(ListBoxEx *list, short button, float x, float y);
    void rightButtonUp(const ListBoxEx *list, short button, QMenu *menu);

    FormClickSj::Background m_background{QStringLiteral(":/images/main-background.svg")};
    bool m_xlMuneMouseDown = false; // a mouse press already opened the menu
    FormClickSj::BackgroundDrag m_drag;
    bool m_offline = false;
    bool m_loadEnded = false;
    bool m_missingCatalogReported = false;
    List2Kind m_list2Kind = List2Kind::Category;
    int m_categoryRow = -1; // the category List1 shows as chosen
    bool m_list1PressedBelow = false;
    ListedLines m_searchHits;  // what List2 shows while it shows hits
    ListedLines m_randomLines; // what ListSB shows
    // Docked windows hidden with this one, and where their frames were.
    QList<std::pair<QPointer<QWidget>, QPoint>> m_dockedAway;
    std::optional<QPoint> m_hiddenAt; // where the window was when the program hid it
    // Hidden while minimised (in the tray): minimised to the listener, even
    // once the window manager, withdrawing the icon, reports a normal state.
    bool m_hiddenMinimised = false;
    QPoint m_rightPress;       // where the right button went down, in global coordinates
    // Seeded once per run, so every run draws its own random list.
    QRandomGenerator m_random{QRandomGenerator::securelySeeded()};
};
