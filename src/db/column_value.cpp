#include "db/column_value.h"

// clang-format off
#include <sql.h>
#include <sqlext.h>
// clang-format on

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/runtime_error.h"
#include "db/db_error.h"

namespace kolbi {
namespace {

enum class ColumnKind { kInteger, kNumber, kDate, kDateTime, kText, kOther };

ColumnKind KindOf(int sql_type) {
    switch (sql_type) {
        case SQL_BIT:
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            return ColumnKind::kInteger;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return ColumnKind::kNumber;
        case SQL_TYPE_DATE:
        case SQL_DATE:
            return ColumnKind::kDate;
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP:
            return ColumnKind::kDateTime;
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR:
            return ColumnKind::kText;
        default:
            return ColumnKind::kOther;
    }
}

const char* KindName(ColumnKind kind) {
    switch (kind) {
        case ColumnKind::kInteger:
            return "an integer";
        case ColumnKind::kNumber:
            return "a number";
        case ColumnKind::kDate:
            return "a date";
        case ColumnKind::kDateTime:
            return "a date and time";
        default:
            return "a text";
    }
}

[[noreturn]] void ThrowCannotConvert(const Value& value, ColumnKind kind, std::string_view why) {
    throw RuntimeError(errnum::kConversionFailed, "Cannot convert " + value.SqlLiteral() + " to " +
                                                      KindName(kind) + std::string(why));
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool ParseWhole(std::string_view text, std::int64_t& out) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// A number as the databases read one: an optional sign, then digits with an
// optional decimal point and exponent; never "inf" or "nan".
bool ParseReal(std::string_view text, double& out) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
    if (digits.empty() ||
        !((digits.front() >= '0' && digits.front() <= '9') || digits.front() == '.')) {
        return false;
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// Exactly `count` digits at text[pos].
bool Digits(std::string_view text, std::size_t pos, std::size_t count, int& out) {
    if (pos + count > text.size()) return false;
    out = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

bool IsCalendarDate(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::int64_t CheckRange(std::int64_t number, int sql_type) {
    std::int64_t low = std::numeric_limits<std::int64_t>::min();
    std::int64_t high = std::numeric_limits<std::int64_t>::max();
    switch (sql_type) {
        case SQL_BIT:
            return number != 0 ? 1 : 0;  // as SQL Server stores any number in a bit
        case SQL_TINYINT:
            low = 0, high = 255;
            break;
        case SQL_SMALLINT:
            low = std::numeric_limits<std::int16_t>::min();
            high = std::numeric_limits<std::int16_t>::max();
            break;
        case SQL_INTEGER:
            low = std::numeric_limits<std::int32_t>::min();
            high = std::numeric_limits<std::int32_t>::max();
            break;
        default:
            break;
    }
    if (number < low || number > high) {
        throw RuntimeError(dberr::kDataOverflow, "The number " + std::to_string(number) +
                                                     " is out of the range of its column (" +
                                                     std::to_string(low) + " to " +
                                                     std::to_string(high) + ")");
    }
    return number;
}

Value ForInteger(const Value& value, int sql_type) {
    switch (value.kind()) {
        case Value::Kind::kInteger:
            return Value::Integer(CheckRange(value.integer(), sql_type));
        case Value::Kind::kDouble: {
            const double rounded = std::nearbyint(value.real());  // the default mode is to even
            if (!(std::fabs(rounded) < 9.2e18)) {
                throw RuntimeError(dberr::kDataOverflow,
                                   "The number " + value.SqlLiteral() + " does not fit an integer");
            }
            return Value::Integer(CheckRange(static_cast<std::int64_t>(rounded), sql_type));
        }
        case Value::Kind::kText: {
            std::int64_t number = 0;
            if (!ParseWhole(TrimSpaces(value.utf8()), number)) {
                ThrowCannotConvert(value, ColumnKind::kInteger, "");
            }
            return Value::Integer(CheckRange(number, sql_type));
        }
        default:
            ThrowCannotConvert(value, ColumnKind::kInteger, "");
    }
}

Value ForNumber(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::kInteger:
        case Value::Kind::kDouble:
            return value;
        case Value::Kind::kText: {
            std::string_view text = TrimSpaces(value.utf8());
            std::int64_t whole = 0;
            if (ParseWhole(text, whole)) return Value::Integer(whole);
            double real = 0;
            if (ParseReal(text, real)) return Value::Double(real);
            ThrowCannotConvert(value, ColumnKind::kNumber, "");
        }
        default:
            ThrowCannotConvert(value, ColumnKind::kNumber, "");
    }
}

Value ForDateOrDateTime(const Value& value, ColumnKind kind) {
    DateTimeValue moment;
    switch (value.kind()) {
        case Value::Kind::kDate:
            moment = {value.date().year, value.date().month, value.date().day};
            break;
        case Value::Kind::kDateTime:
            moment = value.date_time();
            break;
        case Value::Kind::kText: {
            bool has_time = false;
            std::optional<DateTimeValue> parsed =
                ParseIsoDateTime(TrimSpaces(value.utf8()), has_time);
            if (!parsed || (kind == ColumnKind::kDate && has_time)) {
                ThrowCannotConvert(value, kind,
                                   ": only a date value or the text YYYY-MM-DD means the same "
                                   "date to every database");
            }
            moment = *parsed;
            break;
        }
        default:
            ThrowCannotConvert(value, kind, "");
    }
    if (kind == ColumnKind::kDate) return Value::Date({moment.year, moment.month, moment.day});
    return Value::DateTime(moment);
}

}  // namespace

std::optional<DateTimeValue> ParseIsoDateTime(std::string_view text, bool& has_time) {
    DateTimeValue out;
    has_time = false;
    if (!Digits(text, 0, 4, out.year) || text.size() < 10 || text[4] != '-' ||
        !Digits(text, 5, 2, out.month) || text[7] != '-' || !Digits(text, 8, 2, out.day) ||
        !IsCalendarDate(out.year, out.month, out.day)) {
        return std::nullopt;
    }
    if (text.size() == 10) return out;
    if ((text[10] != ' ' && text[10] != 'T') || text.size() < 19 ||
        !Digits(text, 11, 2, out.hour) || text[13] != ':' || !Digits(text, 14, 2, out.minute) ||
        text[16] != ':' || !Digits(text, 17, 2, out.second) || out.hour > 23 || out.minute > 59 ||
        out.second > 59) {
        return std::nullopt;
    }
    has_time = true;
    std::size_t pos = 19;
    if (pos < text.size() && text[pos] == '.') {
        std::uint32_t fraction = 0;
        int digits = 0;
        for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
            if (digits < 9)
                fraction = fraction * 10 + static_cast<std::uint32_t>(text[pos] - '0'), ++digits;
        }
        while (digits++ < 9) fraction *= 10;
        out.fraction = fraction;
    }
    // A time zone or anything else after the time is not ours to interpret.
    if (pos != text.size()) return std::nullopt;
    return out;
}

Value ValueFromColumnText(std::string text, int sql_type) {
    switch (KindOf(sql_type)) {
        case ColumnKind::kInteger: {
            std::int64_t integer = 0;
            if (ParseWhole(text, integer)) return Value::Integer(integer);
            break;
        }
        case ColumnKind::kNumber: {
            std::int64_t integer = 0;
            if (sql_type != SQL_REAL && sql_type != SQL_FLOAT && sql_type != SQL_DOUBLE &&
                ParseWhole(text, integer)) {
                return Value::Integer(integer);
            }
            double real = 0;
            if (ParseReal(text, real)) return Value::Double(real);
            break;
        }
        case ColumnKind::kDate:
        case ColumnKind::kDateTime: {
            bool has_time = false;
            std::optional<DateTimeValue> parsed = ParseIsoDateTime(text, has_time);
            if (!parsed) break;
            if (KindOf(sql_type) == ColumnKind::kDateTime) return Value::DateTime(*parsed);
            if (!has_time) return Value::Date({parsed->year, parsed->month, parsed->day});
            break;
        }
        default:
            break;
    }
    return Value::Utf8(std::move(text));
}

Value ValueForColumn(const Value& value, int sql_type) {
    if (value.IsNull()) return value;
    if (value.kind() == Value::Kind::kText) RefuseNul(value.utf8());
    const ColumnKind kind = KindOf(sql_type);
    switch (kind) {
        case ColumnKind::kInteger:
            return ForInteger(value, sql_type);
        case ColumnKind::kNumber:
            return ForNumber(value);
        case ColumnKind::kDate:
        case ColumnKind::kDateTime:
            return ForDateOrDateTime(value, kind);
        case ColumnKind::kText:
            return value.kind() == Value::Kind::kText ? value : Value::Utf8(value.AsUtf8());
        case ColumnKind::kOther:
            break;
    }
    return value;
}

}  // namespace kolbi
