#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Numbers read from text, the one way the program does it everywhere: the
// leading decimal number of the text (blanks before it skipped, reading stops
// at the first character that cannot continue it), rounded to the nearest
// integer with halves to even.
namespace TextNumber {

// The leading number as written ("12abc" -> 12, " 1.5" -> 1.5, "-3e2" -> -300);
// nullopt when the text does not start with a number.
std::optional<double> leading(QStringView text);

// Rounds halves to even (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// The leading number rounded and range-checked; nullopt when there is no
// number or it does not fit the type.
std::optional<std::int16_t> toInt16(QStringView text);
std::optional<std::int32_t> toInt32(QStringView text);

// The leading number rounded to 32 bits; 0 when there is none or it does not fit.
std::int32_t toInt32OrZero(QStringView text);

} // namespace TextNumber
