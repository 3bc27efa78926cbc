#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vdata {

// Exact decimals as text ("-1234.50"), the way servers hand out numeric and
// money values: an optional sign, digits, an optional point and more digits.
bool isDecimalText(std::string_view s);

// A number as a user types it (optional sign, digits, optional point and
// digits, optional exponent) as exact decimal text without exponent:
// "-1.25e2" gives "-125", ".5" gives "0.5". Empty when the text is no such
// number or its exponent is out of all proportion.
std::optional<std::string> typedDecimalText(std::string_view typed);

// Compares two decimal texts by value, exactly: <0, 0 or >0.
int compareDecimalText(std::string_view a, std::string_view b);

// `text` with at least `scale` digits after the point ("136" with scale 2
// gives "136.00"); digits are never removed, and text that is no plain
// decimal is returned as it is.
std::string paddedDecimalText(std::string text, int scale);

// The exact value of a finite double as decimal text.
std::string exactDecimalText(double d);

// The shortest decimal text without exponent that reads back as the finite
// double `d`: the number the double stands for ("0.99", not its binary value
// 0.98999...).
std::string shortestDecimalText(double d);

// The exact sum and product of two decimal texts (see isDecimalText), as
// decimal text.
std::string addDecimalText(std::string_view a, std::string_view b);
std::string multiplyDecimalText(std::string_view a, std::string_view b);

} // namespace vdata
