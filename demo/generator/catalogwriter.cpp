#include "catalogwriter.h"

#include "ansicodec.h"

#include <QStringBuilder>

#include <algorithm>
#include <array>
#include <cstdint>

using namespace Qt::StringLiterals;

namespace Demo {

namespace {

constexpr QLatin1StringView kHeader("<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n<root>\r\n");
constexpr QLatin1StringView kCategoryEnd("</category>\r\n");
constexpr QLatin1StringView kFooter("</root>\r\n");

bool needsCleaning(QChar c)
{
    return c == u'"' || c == u'<' || c == u'\r' || c == u'\n';
}

} // namespace

CatalogWriter::CatalogWriter(qsizetype reserveChars)
{
    m_text.reserve(qMax<qsizetype>(reserveChars, 256));
    m_text.append(kHeader);
}

void CatalogWriter::addCategory(QStringView name)
{
    if (m_categoryOpen)
        m_text.append(kCategoryEnd);
    m_text.append("<category"_L1);
    appendAttribute("name"_L1, name);
    m_text.append(">\r\n"_L1);
    m_categoryOpen = true;
}

void CatalogWriter::addResource(const Resource &resource)
{
    if (!m_categoryOpen)
        addCategory(QStringView());
    m_text.append("<data"_L1);
    // id must come before ztid: the reader finds "id=" by substring search
    // and would otherwise take the ztid value as the id.
    m_text.append(" id=\""_L1);
    m_text.append(QString::number(resource.id));
    m_text.append(u'"');
    appendAttribute("title"_L1, resource.title);
    appendAttribute("litpic"_L1, resource.litpic);
    appendAttribute("keyboard"_L1, resource.keyboard);
    appendAttribute("onclick"_L1, resource.onclick);
    appendAttribute("filesize"_L1, resource.fileSize);
    appendAttribute("ztid"_L1, resource.ztid);
    appendAttribute("flash_fangfa"_L1, resource.flashFangfa);
    appendAttribute("flashsay"_L1, resource.flashSay);
    appendAttribute("flashurl"_L1, resource.flashUrl);
    appendAttribute("pageurl"_L1, resource.pageUrl);
    m_text.append(" />\r\n"_L1);
}

QString CatalogWriter::toText() const
{
    return m_text + tail();
}

QByteArray CatalogWriter::toBytes() const
{
    // Encode the body and the tail separately so a 30 MB catalog is not
    // copied once more just to append two closing tags.
    QByteArray bytes = Ansi::encode(m_text);
    bytes.append(Ansi::encode(tail()));
    return bytes;
}

QByteArray CatalogWriter::write(const QList<Category> &catalog)
{
    CatalogWriter writer;
    for (const Category &category : catalog) {
        writer.addCategory(category.name);
        for (const Resource &resource : category.resources)
            writer.addResource(resource);
    }
    return writer.toBytes();
}

QString CatalogWriter::attributeValue(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (c == u'\r' || c == u'\n')
            out.append(u' ');
        else if (c != u'"' && c != u'<')
            out.append(c);
    }
    return out;
}

void CatalogWriter::appendAttribute(QLatin1StringView name, QStringView value)
{
    m_text.append(u' ');
    m_text.append(name);
    m_text.append("=\""_L1);
    // Nearly every value is clean; only copy through the filter when needed.
    if (std::any_of(value.begin(), value.end(), needsCleaning))
        m_text.append(attributeValue(value));
    else
        m_text.append(value);
    m_text.append(u'"');
}

QString CatalogWriter::tail() const
{
    return m_categoryOpen ? kCategoryEnd % kFooter : QString(kFooter);
}

namespace {

// Deterministic so that benchmark runs compare like with like.
class Lcg
{
public:
    explicit Lcg(std::uint32_t start) : m_state(start) {}
    std::uint32_t next(std::uint32_t bound)
    {
        m_state = m_state * 1664525u + 1013904223u;
        return (m_state >> 8) % bound;
    }

private:
    std::uint32_t m_state;
};

template <std::size_t N> QStringView pick(Lcg &random, const std::array<QStringView, N> &words)
{
    return words[random.next(N)];
}

constexpr std::array<QStringView, 20> kPlaces = {
    u"春江", u"秋水", u"青山", u"白云", u"长河", u"古道", u"明月", u"清风", u"落花", u"孤城",
    u"烟雨", u"寒梅", u"松涛", u"渔舟", u"边塞", u"江南", u"塞北", u"西楼", u"东篱", u"南山"};
constexpr std::array<QStringView, 12> kKinds = {u"夜话", u"传奇", u"旧事", u"游记",
                                                u"笔记", u"闲谈", u"拾遗", u"演义",
                                                u"新编", u"故事", u"小记", u"杂谈"};
constexpr std::array<QStringView, 12> kGenres = {u"评书", u"相声", u"童话", u"寓言",
                                                 u"散文", u"诗词", u"小说", u"历史",
                                                 u"人物", u"戏曲", u"国学", u"科普"};
constexpr std::array<QStringView, 6> kCollections = {u"精选", u"大全", u"合集",
                                                     u"选读", u"专辑", u"经典"};
constexpr std::array<QStringView, 6> kReadings = {u"普通话朗读", u"男声演播", u"女声演播",
                                                  u"评书演播",   u"儿童朗读", u"配乐朗诵"};
constexpr std::array<QStringView, 10> kSentences = {
    u"讲述了一段流传已久的故事。",     u"语言朴素，情节曲折，适合睡前收听。",
    u"主人公历经磨难，终于得偿所愿。", u"作品描绘了四季风物与市井人情。",
    u"朗读者娓娓道来，声情并茂。",     u"全篇结构严谨，寓意深远。",
    u"故事发生在一个偏远的小镇。",     u"这一回书说到了紧要关头。",
    u"文字清丽，读来如在画中。",       u"适合全家一同收听。"};

} // namespace

QByteArray syntheticCatalog(int categories, int resources, const QString &baseUrl)
{
    categories = qMax(categories, 0);
    resources = categories > 0 ? qMax(resources, 0) : 0;
    QString base = baseUrl;
    while (base.endsWith(u'/'))
        base.chop(1);

    // About 280 characters per data tag; reserving up front keeps the build
    // linear for the 100,000-resource benchmark catalog.
    CatalogWriter writer(qsizetype(resources) * (300 + 2 * base.size()) + categories * 40);
    Lcg random(20240601u);
    Resource resource;
    int id = 0;
    int serial = 0;
    for (int c = 0; c < categories; ++c) {
        const QString categoryName =
            pick(random, kGenres) % pick(random, kCollections) % QString::number(c + 1);
        writer.addCategory(categoryName);
        const int count = resources / categories + (c < resources % categories ? 1 : 0);
        for (int r = 0; r < count; ++r) {
            ++serial;
            id = id % 32767 + 1;
            const QString number = QString::number(serial);
            const QStringView place = pick(random, kPlaces);
            const QStringView kind = pick(random, kKinds);
            resource.id = id;
            resource.title =
                place % pick(random, kPlaces) % kind % u" 第"_s % QString::number(r + 1) % u'集';
            resource.litpic = "covers/"_L1 % number % (serial % 3 == 0 ? ".gif"_L1 : ".png"_L1);
            resource.keyboard = place % u' ' % kind % u' ' % categoryName;
            if (random.next(5) == 0)
                resource.fileSize = QString::number(200 + random.next(800)) % "KB"_L1;
            else
                resource.fileSize =
                    QString::number(0.5 + random.next(400) / 10.0, 'f', 1) % "MB"_L1;
            resource.ztid = QString::number(c + 1);
            resource.flashFangfa = pick(random, kReadings).toString();
            resource.flashSay.clear();
            for (std::uint32_t s = 0, n = 1 + random.next(3); s < n; ++s)
                resource.flashSay += pick(random, kSentences);
            resource.flashUrl = base % "/flash/"_L1 % number % ".swf"_L1;
            resource.pageUrl = base % "/page/"_L1 % number % ".html"_L1;
            writer.addResource(resource);
        }
    }
    return writer.toBytes();
}

} // namespace Demo
