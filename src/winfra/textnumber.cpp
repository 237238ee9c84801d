#include "textnumber.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace TextNumber {

std::optional<double> leading(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const auto isDigit = [&](qsizetype k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    qsizetype digits = 0;
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == u'.') {
        qsizetype j = i + 1;
        qsizetype fraction = 0;
        while (isDigit(j)) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0)
        return std::nullopt;
    // An exponent counts only when digits follow it ("2e" is 2).
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            i = j;
        }
    }
    bool ok = false;
    // QLocale::c() reads the view in place; the catalog reads 100,000 ids.
    const double value = QLocale::c().toDouble(text.mid(start, i - start), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double roundHalfEven(double value)
{
    const double floorValue = std::floor(value);
    const double diff = value - floorValue;
    if (diff > 0.5)
        return floorValue + 1.0;
    if (diff < 0.5)
        return floorValue;
    return std::fmod(floorValue, 2.0) == 0.0 ? floorValue : floorValue + 1.0;
}

namespace {
template <typename Int>
std::optional<Int> toInt(QStringView text)
{
    const auto value = leading(text);
    if (!value)
        return std::nullopt;
    const double rounded = roundHalfEven(*value);
    if (rounded < double(std::numeric_limits<Int>::min()) ||
        rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}
} // namespace

std::optional<std::int16_t> toInt16(QStringView text) { return toInt<std::int16_t>(text); }
std::optional<std::int32_t> toInt32(QStringView text) { return toInt<std::int32_t>(text); }
std::int32_t toInt32OrZero(QStringView text) { return toInt32(text).value_or(0); }

} // namespace TextNumber
