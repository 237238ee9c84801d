#include "storeviews.h"

#include "contentserver.h"
#include "favoritemodule.h"
#include "flashfrm.h"
#include "formmain.h"
#include "gamejsfrm.h"
#include "listboxex.h"
#include "mewgd.h"
#include "muenfrm.h"
#include "netpicture.h"
#include "programfolder.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

DetailsFill fillFrom(const FavoriteRecord &record)
{
    return {record.name,     record.style.trimmed(), record.size, record.flashsay,
            record.flash_ffa, record.pageurl,        record.image};
}

// A favourite or a history line chosen: the menus' commands and the details
// window act on it from now on, not on the catalog line chosen before. The
// record holds no page address, no click count and no subject.
void selectRecord(const FavoriteRecord &record)
{
    MuenFrm &menus = MuenFrm::get();
    menus.GmStyle = record.style.trimmed();
    menus.GmFid = record.fid;
    menus.GmFlash_FFa = record.flash_ffa;
    menus.GmFlashSay = record.flashsay;
    menus.GmFlashUrl = record.flashurl;
    menus.GmPageUrl.clear();
    menus.GmId = record.id;
    menus.GmImage = record.image;
    menus.GmKeyBoard = record.keyword;
    menus.GmName = record.name;
    menus.GmSize = record.size;
    menus.GmOnclick.clear();
    menus.GmZtid.clear();
    menus.GmDelGameName = record.name;
}

} // namespace

QString CoverAddress(const QString &image)
{
    return ContentServer::baseUrl() + u'/' + FavoriteRecord::withoutPadding(image);
}

void ShowDetails(const DetailsFill &fill)
{
    FlashFrm::get().GamejsLab->setPlainText(fill.flashsay);
    GameJsFrm &details = GameJsFrm::get();
    details.Label2->setText(fill.name);
    details.FLCAP->setText(fill.category);
    details.Label3->setText(fill.size);
    details.jianjie->setPlainText(fill.flashsay);
    details.Label1[1]->setText(fill.flash_ffa);
    details.Text4->setPlainText(fill.pageurl);
    // The placeholder shows while the cover loads, when the folder has one.
    if (ProgramFolder::exists(QStringLiteral("ImgLoading.gif")))
        details.NetPicture1->setDefaultPicture(ProgramFolder::file(QStringLiteral("ImgLoading.gif")));
    details.NetPicture1->setPictureURL(CoverAddress(fill.image));
}

namespace FavoriteModule {

namespace {
QList<FavoriteRecord> &storedFavorites()
{
    static QList<FavoriteRecord> records;
    return records;
}
FavoriteRecord &lastShown()
{
    static FavoriteRecord record;
    return record;
}
} // namespace

const QList<FavoriteRecord> &favorites()
{
    return storedFavorites();
}

void LoadFavoriteList()
{
    if (!ReadFavorites(storedFavorites()))
        return;
    ListBoxEx *list = FormMain::get().List4;
    list->Clear();
    list->AddItems(FavoriteListTexts(storedFavorites()));
}

void ShowFavorite(const FavoriteRecord &record)
{
    FormMain &main = FormMain::get();
    main.FlashUrlLsSL = record.flashurl;
    main.GameNameSL = record.name;
    // The category is the record's own: the row's text is made from it, and
    // cutting the text at its first "-" breaks a category name that has one.
    ShowDetails(fillFrom(record));
    lastShown() = record;
    lastShown().style = record.style.trimmed();
    selectRecord(record);
}

void FavoriteToPlayer()
{
    const FavoriteRecord &record = lastShown();
    FlashFrm &player = FlashFrm::get();
    player.QuendaStyle = record.style;
    player.QuendaFid = record.fid;
    player.QuendaFlash_FFa = record.flash_ffa;
    player.QuendaFlashSay = record.flashsay;
    player.QuendaFlashUrl = record.flashurl;
    player.QuendaId = record.id;
    player.QuendaImage = record.image;
    player.QuendaKeyBoard = record.keyword;
    player.QuendaName = record.name;
    player.QuendaSize = record.size;
}

} // namespace FavoriteModule

namespace MeWgd {

namespace {
QList<FavoriteRecord> &storedHistory()
{
    static QList<FavoriteRecord> records;
    return records;
}
} // namespace

const QList<FavoriteRecord> &history()
{
    return storedHistory();
}

void LoadHistoryList()
{
    if (!ReadHistory(storedHistory()))
        return;
    FormMain::get().showHistoryLines(HistoryListTexts(storedHistory()));
}

void ShowHistoryItem(const FavoriteRecord &record)
{
    FormMain &main = FormMain::get();
    main.FlashUrlLsSL = record.flashurl;
    main.GameNameSL = record.name;
    ShowDetails(fillFrom(record));
    selectRecord(record);
}

void RecordHistory()
{
    const MuenFrm &menus = MuenFrm::get();
    bool found = false;
    HistoryExists(menus.GmName, found);
    if (found)
        return;
    FavoriteRecord record;
    record.image = menus.GmImage;
    record.flashurl = menus.GmFlashUrl;
    record.flash_ffa = menus.GmFlash_FFa;
    record.flashsay = menus.GmFlashSay;
    record.name = menus.GmName;
    record.fid = menus.GmFid;
    record.id = menus.GmId;
    record.keyword = menus.GmKeyBoard;
    record.size = menus.GmSize;
    record.style = menus.GmStyle.trimmed();
    AddHistory(record);
}

} // namespace MeWgd
