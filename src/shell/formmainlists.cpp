// The main window's tabs, lists and search box: what a click, a double click
// or the right button on a line does.

#include "formmain.h"

#include "browserhost.h"
#include "buttonex.h"
#include "catalogsearch.h"
#include "contentserver.h"
#include "desktopservices.h"
#include "dialogservice.h"
#include "favoritemodule.h"
#include "flashfrm.h"
#include "gamejsfrm.h"
#include "listboxex.h"
#include "muenfrm.h"
#include "randomlist.h"
#include "storeviews.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>

namespace {

// Search box text colours: the grey prompt and what the listener types.
const QColor kPromptColor(170, 170, 170);
const QColor kTypedColor(0, 0, 0);

void setTextColor(QLineEdit *box, const QColor &color)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, color);
    box->setPalette(palette);
}

// A line is chosen when there is a text and an index above Columns - 1.
bool hasChosenLine(const ListBoxEx *list)
{
    return !list->Text().isEmpty() && list->ListIndex() > list->Columns() - 1;
}

} // namespace

QString FormMain::searchPrompt()
{
    return SjCL::searchPrompt();
}

// --- tabs ---

void FormMain::selectTab(ButtonEx *tab)
{
    if (tab->Value())
        return;
    const std::pair<ButtonEx *, QWidget *> tabs[] = {
        {YxList, GamelistFrm}, {ScList, ScListFrm}, {SbpLAY, SbPlayFrm}};
    for (const auto &[button, frame] : tabs) {
        button->setValue(button == tab);
        frame->setVisible(button == tab);
    }
}

void FormMain::YxList_Click()
{
    selectTab(YxList);
}

void FormMain::ScList_Click()
{
    selectTab(ScList);
    FavoriteModule::LoadFavoriteList();
}

void FormMain::SbpLAY_Click()
{
    selectTab(SbpLAY);
    // A list with a chosen line stays; otherwise a new one is drawn.
    if (List1->ListIndex() < 0 || !ListSB->Text().isEmpty())
        return;
    ListSB->Clear();
    m_randomLines = SjCL::DrawRandomList(SjCL::catalog(), m_random);
    ListSB->AddItems(m_randomLines.texts);
}

// --- the category lists ---

void FormMain::List1_MouseDown(short, short, float, float)
{
    // A press below the last category (either button) chooses none. The
    // category chosen before stays, and so does what List2 shows, or List2's
    // lines would no longer find their resources.
    m_list1PressedBelow = List1->ListIndex() < 0;
    if (m_list1PressedBelow)
        List1->setListIndex(m_categoryRow);
}

void FormMain::List1_Click()
{
    if (m_list1PressedBelow || List1->ListIndex() < 0) {
        m_list1PressedBelow = false;
        List1->setListIndex(m_categoryRow);
        return;
    }
    SjCL::ShowCategoryEntries(catalogLists());
    m_categoryRow = List1->ListIndex();
    m_list2Kind = List2Kind::Category;
}

void FormMain::QtList_Click()
{
    const QString item = QtList->Text();
    if (item.contains(QStringLiteral("我听过的")))
        MeWgd::LoadHistoryList();
    else if (item.contains(QStringLiteral("更多资源")) || item.contains(QStringLiteral("精彩推荐")))
        DesktopServices::openUrl(ContentServer::homePage(), DesktopServices::Show::Maximized);
}

void FormMain::showHistoryLines(const QStringList &lines)
{
    List2->Clear();
    List2->AddItems(lines);
    m_list2Kind = List2Kind::History;
}

FormMain::SelectedEntry FormMain::FindSelectedEntry(const ListBoxEx *list) const
{
    const ListedLines *made = nullptr; // none: List2 shows a category
    if (list == ListSB)
        made = &m_randomLines;
    else if (list != List2 || m_list2Kind == List2Kind::History)
        return {};
    else if (m_list2Kind == List2Kind::SearchHits)
        made = &m_searchHits;
    SelectedEntry selected = SjCL::Lookup(SjCL::catalog(), made, List1->ListIndex(), list->ListIndex());
    if (!made)
        selected.category = 分类暂存; // the category List2 shows
    return selected;
}

void FormMain::fillSelection(const CatalogEntry &entry, const QString &category)
{
    MuenFrm &menus = MuenFrm::get();
    menus.GmStyle = category;
    menus.GmFid = entry.fid;
    menus.GmFlash_FFa = entry.flash_fangfa;
    menus.GmFlashSay = entry.flashsay;
    menus.GmFlashUrl = entry.flashurl;
    menus.GmPageUrl = entry.pageurl;
    menus.GmId = entry.id;
    menus.GmImage = entry.litpic;
    menus.GmKeyBoard = entry.keyboard;
    menus.GmName = entry.title;
    menus.GmSize = entry.filesize;
    menus.GmZtid = entry.ztid;
}

void FormMain::ShowEntryDetails()
{
    if (m_list2Kind == List2Kind::History) {
        const int row = List2->ListIndex();
        if (row >= 0 && row < MeWgd::history().size())
            MeWgd::ShowHistoryItem(MeWgd::history().at(row));
        return;
    }
    const SelectedEntry selected = FindSelectedEntry(List2);
    const CatalogEntry &e = selected.entry;
    FlashUrlLsSL = e.flashurl;
    GameNameSL = e.title;
    ShowDetails({e.title, selected.category, e.filesize, e.flashsay, e.flash_fangfa, e.pageurl,
                 e.litpic});
    fillSelection(e, selected.category);
    MeWgd::RecordHistory();
}

void FormMain::ShowRandomEntryDetails()
{
    const SelectedEntry selected = FindSelectedEntry(ListSB);
    const CatalogEntry &e = selected.entry;
    FlashUrlLsSL = e.flashurl;
    GameNameSL = e.title;
    fillSelection(e, selected.category);
    ShowDetails({e.title, selected.category, e.filesize, e.flashsay, e.flash_fangfa, e.pageurl,
                 e.litpic});
}

void FormMain::List2_Click()
{
    if (hasChosenLine(List2))
        ShowEntryDetails();
}

void FormMain::ListSB_Click()
{
    if (hasChosenLine(ListSB))
        ShowRandomEntryDetails();
}

void FormMain::List4_Click()
{
    if (!hasChosenLine(List4))
        return;
    const int row = List4->ListIndex();
    if (row < FavoriteModule::favorites().size())
        FavoriteModule::ShowFavorite(FavoriteModule::favorites().at(row));
}

// --- search ---

void FormMain::Text4_GotFocus()
{
    if (!Text4->text().isEmpty() && Text4->text() == searchPrompt()) {
        Text4->clear();
        setTextColor(Text4, kTypedColor);
    }
}

void FormMain::Text4_LostFocus()
{
    if (Text4->text().isEmpty()) {
        Text4->setText(searchPrompt());
        setTextColor(Text4, kPromptColor);
    }
}

void FormMain::SerImg_Click()
{
    const QString q = Text4->text();
    if (SjCL::isEmptySearch(q)) {
        Dialogs::show(QStringLiteral("搜索的关键字不能为空，请输入您想要搜索的内容！"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::None, this);
        return;
    }
    if (!YxList->Value())
        YxList_Click();
    List2->Clear();
    m_searchHits = SjCL::SearchTitles(SjCL::catalog(), q);
    m_list2Kind = List2Kind::SearchHits;
    List2->AddItems(m_searchHits.texts);
}

// --- double clicks and the play routines ---

namespace {

// The play routine runs once, always with the player window shown.
template<typename Routine>
void playShown(FormMain *main, const ListBoxEx *list, Routine routine)
{
    if (list->Text().isEmpty() || list->ListIndex() <= list->Columns() - 1)
        return;
    if (!FlashFrm::get().isVisible())
        main->GameFrmButton_OnMouseDown();
    (main->*routine)();
}

QString playingCaption(const QString &name)
{
    return QStringLiteral("您当前正在收听的是：《") + name + QStringLiteral("》");
}

// Whether the address is worth loading: not empty and not already playing or
// on its way. An address whose load failed is loaded again: the listener
// plays the line once more to try again.
bool isNewAddress(const QString &address)
{
    const QString trimmed = address.trimmed();
    const BrowserHost *browser = FlashFrm::get().Flash1;
    return !trimmed.isEmpty() && (trimmed != browser->LocationURL() || browser->lastLoadFailed());
}

} // namespace

void FormMain::List2_DbClick()
{
    playShown(this, List2, &FormMain::List2DbClick);
}

void FormMain::List4_Dbclick()
{
    playShown(this, List4, &FormMain::list4dbclick);
}

void FormMain::listsb_Dbclick()
{
    playShown(this, ListSB, &FormMain::listsbDbclick);
}

void FormMain::List2DbClick()
{
    const int row = List2->ListIndex();
    const bool fromHistory = m_list2Kind == List2Kind::History;
    const bool historyRow = fromHistory && row >= 0 && row < MeWgd::history().size();
    if (historyRow)
        MeWgd::ShowHistoryItem(MeWgd::history().at(row));
    if (!isNewAddress(FlashUrlLsSL))
        return;
    FlashFrm &player = FlashFrm::get();
    if (!FlashUrlLsSL.contains(QLatin1String("://"))) {
        Dialogs::show(QStringLiteral("您当前的小说链接可能已经损坏，请联系管理员处理!"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::Information, this);
        return;
    }
    player.Flash1->Navigate(FlashUrlLsSL);
    if (historyRow) {
        // What plays is the history record itself, not a catalog position.
        const FavoriteRecord &record = MeWgd::history().at(row);
        player.QuendaStyle = record.style.trimmed();
        player.QuendaId = record.id;
        player.QuendaFid = record.fid;
        player.QuendaName = record.name;
        player.QuendaImage = record.image;
        player.QuendaSize = record.size;
        player.QuendaFlash_FFa = record.flash_ffa;
        player.QuendaFlashUrl = record.flashurl;
        player.QuendaPageUrl = record.pageurl;
        player.QuendaFlashSay = record.flashsay;
        player.QuendaKeyBoard = record.keyword;
    } else if (!fromHistory) {
        const SelectedEntry selected = FindSelectedEntry(List2);
        const CatalogEntry &e = selected.entry;
        player.QuendaStyle = selected.category;
        player.QuendaId = e.id;
        player.QuendaFid = e.fid;
        player.QuendaName = e.title;
        player.QuendaImage = e.litpic;
        player.QuendaSize = e.filesize;
        player.QuendaFlash_FFa = e.flash_fangfa;
        player.QuendaFlashUrl = e.flashurl;
        player.QuendaPageUrl = e.pageurl;
        player.QuendaFlashSay = e.flashsay;
        player.QuendaKeyBoard = e.keyboard;
    }
    if (player.Picture1->isVisible())
        player.Picture1->hide();
    // A history name comes padded to its field's width; the blanks are not
    // part of what plays.
    player.setWindowTitle(playingCaption(GameNameSL.trimmed()));
}

void FormMain::list4dbclick()
{
    if (!isNewAddress(FlashUrlLsSL))
        return;
    FlashFrm &player = FlashFrm::get();
    if (!FlashUrlLsSL.contains(QLatin1String("://")))
        Dialogs::show(QStringLiteral("该小说可能因为链接损坏而无法打开，请联系管理员处理"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::Information, this);
    else
        player.Flash1->Navigate(FlashUrlLsSL);
    FavoriteModule::FavoriteToPlayer();
    if (player.Picture1->isVisible())
        player.Picture1->hide();
    player.setWindowTitle(playingCaption(GameNameSL.trimmed()));
}

void FormMain::listsbDbclick()
{
    if (!isNewAddress(FlashUrlLsSL))
        return;
    FlashFrm &player = FlashFrm::get();
    if (!FlashUrlLsSL.contains(QLatin1String("://"))) {
        Dialogs::show(QStringLiteral("您当前的小说链接可能已经损坏，请联系管理员处理!"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::Information, this);
    } else {
        player.Flash1->Navigate(FlashUrlLsSL);
        if (!player.Flash1->isVisible())
            player.Flash1->show();
    }
    player.setWindowTitle(playingCaption(GameNameSL));
}

// --- the right button: choose the line under it, then its menu ---

void FormMain::rightButtonDown(ListBoxEx *list, short button, float x, float y)
{
    // Only over a chosen line: the press has chosen the line under it, or
    // none below the last row.
    if (list->ListIndex() < 0 || button != 2)
        return;
    // A left click at the same point while the right button is held: the
    // list reports it as a click of the right button, so the line's
    // single-click handler runs, and the release that ends it pops up the
    // list's menu.
    QWidget *target = list->lstMain;
    const QPointF local = QPointF(x, y) + list->lstMain->viewport()->pos();
    const QPointF global = target->mapToGlobal(local);
    m_rightPress = global.toPoint();
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                      Qt::LeftButton | Qt::RightButton, QGuiApplication::keyboardModifiers());
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::RightButton,
                        QGuiApplication::keyboardModifiers());
    QCoreApplication::sendEvent(target, &release);
}

void FormMain::rightButtonUp(const ListBoxEx *list, short button, QMenu *menu)
{
    if (list->ListIndex() >= 0 && button == 2)
        menu->popup(m_rightPress);
}

void FormMain::List2_MouseDown(short Button, short, float X, float Y)
{
    rightButtonDown(List2, Button, X, Y);
}

void FormMain::List2_MouseUp(short Button, short, float, float)
{
    rightButtonUp(List2, Button, MuenFrm::get().GameListMuen);
}

void FormMain::List4_MouseDown(short Button, short, float X, float Y)
{
    rightButtonDown(List4, Button, X, Y);
}

void FormMain::List4_MouseUp(short Button, short, float, float)
{
    rightButtonUp(List4, Button, MuenFrm::get().ScListMuen);
}

void FormMain::ListSB_MouseDown(short Button, short, float X, float Y)
{
    rightButtonDown(ListSB, Button, X, Y);
}

void FormMain::ListSB_MouseUp(short Button, short, float, float)
{
    rightButtonUp(ListSB, Button, MuenFrm::get().SbListMuen);
}
