#include "db/value.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "common/cp1252.h"
#include "common/runtime_error.h"
#include "db/db_error.h"

namespace kolbi {
namespace {

[[noreturn]] void ThrowNull(std::string_view wanted) {
    throw RuntimeError(errnum::kInvalidUseOfNull,
                       "Invalid use of Null: a Null value was read as " + std::string(wanted));
}

[[noreturn]] void ThrowMismatch(const std::string& text) {
    throw RuntimeError(dberr::kTypeMismatch, "Type mismatch: '" + text + "' is not a number");
}

std::string FormatDouble(double value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FormatDate(int year, int month, int day) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    return buffer;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// The text of a number as the run-time reads one: blanks around it, an
// optional sign, then a digit or a decimal point. from_chars alone would also
// take "inf" and "nan", and refuse the "+" a number may start with.
std::optional<std::string_view> NumberText(std::string_view text) {
    text = TrimSpaces(text);
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    std::string_view digits = text;
    if (!plus && !digits.empty() && digits.front() == '-') digits.remove_prefix(1);
    if (digits.empty() ||
        !(std::isdigit(static_cast<unsigned char>(digits.front())) || digits.front() == '.')) {
        return std::nullopt;
    }
    return text;
}

std::int64_t RoundHalfEven(double value, const std::string& shown) {
    if (!std::isfinite(value) || std::fabs(value) > 9.2e18) {
        throw RuntimeError(errnum::kOverflow, "Overflow: " + shown + " does not fit an integer");
    }
    return static_cast<std::int64_t>(std::nearbyint(value));  // the default mode is to even
}

}  // namespace

Value Value::Integer(std::int64_t value) { return Value(Data(value)); }
Value Value::Double(double value) { return Value(Data(value)); }
Value Value::Text(std::string_view cp1252) { return Value(Data(Cp1252ToUtf8(cp1252))); }
Value Value::Utf8(std::string utf8) {
    if (!IsValidUtf8(utf8)) utf8 = Cp1252ToUtf8(utf8);
    return Value(Data(std::move(utf8)));
}
Value Value::Date(DateValue date) { return Value(Data(date)); }
Value Value::DateTime(DateTimeValue date_time) { return Value(Data(date_time)); }

std::string Value::AsUtf8() const {
    switch (kind()) {
        case Kind::kNull:
            ThrowNull("text");
        case Kind::kInteger:
            return std::to_string(integer());
        case Kind::kDouble:
            return FormatDouble(real());
        case Kind::kText:
            return utf8();
        case Kind::kDate:
            return FormatDate(date().year, date().month, date().day);
        case Kind::kDateTime: {
            const DateTimeValue& t = date_time();
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", t.hour, t.minute, t.second);
            return FormatDate(t.year, t.month, t.day) + buffer;
        }
    }
    return {};
}

std::string Value::AsText() const {
    return kind() == Kind::kText ? Utf8ToCp1252(utf8()) : AsUtf8();
}

std::int64_t Value::AsInteger() const {
    switch (kind()) {
        case Kind::kNull:
            ThrowNull("a number");
        case Kind::kInteger:
            return integer();
        case Kind::kDouble:
            return RoundHalfEven(real(), FormatDouble(real()));
        case Kind::kText: {
            std::optional<std::string_view> number = NumberText(utf8());
            if (!number) ThrowMismatch(AsText());
            std::string_view text = *number;
            std::int64_t whole = 0;
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
            if (error == std::errc() && end == text.data() + text.size() && !text.empty()) {
                return whole;
            }
            double real_value = 0;
            auto [end2, error2] =
                std::from_chars(text.data(), text.data() + text.size(), real_value);
            if (error2 != std::errc() || end2 != text.data() + text.size() || text.empty()) {
                ThrowMismatch(AsText());
            }
            return RoundHalfEven(real_value, AsText());
        }
        case Kind::kDate:
        case Kind::kDateTime:
            ThrowMismatch(AsText());
    }
    return 0;
}

double Value::AsDouble() const {
    switch (kind()) {
        case Kind::kNull:
            ThrowNull("a number");
        case Kind::kInteger:
            return static_cast<double>(integer());
        case Kind::kDouble:
            return real();
        case Kind::kText: {
            std::optional<std::string_view> number = NumberText(utf8());
            if (!number) ThrowMismatch(AsText());
            std::string_view text = *number;
            double real_value = 0;
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), real_value);
            if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
                ThrowMismatch(AsText());
            }
            return real_value;
        }
        case Kind::kDate:
        case Kind::kDateTime:
            ThrowMismatch(AsText());
    }
    return 0;
}

std::int32_t Value::AsInt32(const std::string& what) const {
    return CheckedInt32(AsInteger(), what);
}

std::string Value::SqlLiteral() const {
    switch (kind()) {
        case Kind::kNull:
            return "NULL";
        case Kind::kInteger:
        case Kind::kDouble:
            return AsText();
        default:
            return "'" + DoubleApostrophes(AsText()) + "'";
    }
}

void RefuseNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return;
    throw RuntimeError(dberr::kValueRefused,
                       "The text " + Value::Utf8(std::string(text.substr(0, nul))).SqlLiteral() +
                           " is followed by a NUL character, which no database column or SQL "
                           "statement can carry");
}

std::string DoubleApostrophes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    return out;
}

}  // namespace kolbi
