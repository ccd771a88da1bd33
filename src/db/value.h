#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace kolbi {

// A calendar date as the pump writes it into date columns.
struct DateValue {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const DateValue&) const = default;
};

// A date and time as the database returns it (fraction in nanoseconds).
struct DateTimeValue {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t fraction = 0;
    bool operator==(const DateTimeValue&) const = default;
};

// One value of a field or a parameter: Null, an integer, a floating-point
// number, a text, a date or a date and time. Texts are held as UTF-8, the form
// the databases use; the pump's own texts are Windows-1252 and are converted on
// the way in (Text) and out (AsText). Texts that came from the operating
// system (workstation names taken from file names) are UTF-8 already and go
// through Utf8 / AsUtf8 unchanged.
class Value {
public:
    enum class Kind { kNull, kInteger, kDouble, kText, kDate, kDateTime };

    // Null.
    Value() = default;
    static Value Integer(std::int64_t value);
    static Value Double(double value);
    // A Windows-1252 text.
    static Value Text(std::string_view cp1252);
    // A UTF-8 text, kept as it is. Bytes that are not valid UTF-8 (a name an
    // agent wrote in Windows-1252) are read as Windows-1252 and converted, so
    // no database ever receives invalid UTF-8.
    static Value Utf8(std::string utf8);
    static Value Date(DateValue date);
    static Value DateTime(DateTimeValue date_time);

    Kind kind() const { return static_cast<Kind>(data_.index()); }
    bool IsNull() const { return kind() == Kind::kNull; }

    // The stored value of the kind at hand (undefined for another kind).
    std::int64_t integer() const { return std::get<std::int64_t>(data_); }
    double real() const { return std::get<double>(data_); }
    const std::string& utf8() const { return std::get<std::string>(data_); }
    const DateValue& date() const { return std::get<DateValue>(data_); }
    const DateTimeValue& date_time() const { return std::get<DateTimeValue>(data_); }

    // Conversions as the pump's run-time makes them. Every one fails with
    // "Invalid use of Null" (94) on Null.
    // The text form in Windows-1252: numbers in decimal ("12", "1.5"), dates
    // as "2026-12-04", dates and times as "2026-12-04 09:05:03".
    std::string AsText() const;
    // The same in UTF-8.
    std::string AsUtf8() const;
    // Integers as they are, floating-point values rounded half to even, texts
    // that spell a number (surrounding spaces allowed) as that number; any
    // other text or a date fails with "Type mismatch" (13).
    std::int64_t AsInteger() const;
    double AsDouble() const;
    // AsInteger, then the 32-bit check: "Overflow" (6) naming what.
    std::int32_t AsInt32(const std::string& what) const;

    // How the value reads inside an SQL text in a log line: NULL, 12, 1.5,
    // 'text' (Windows-1252, apostrophes doubled), '2026-12-04'.
    std::string SqlLiteral() const;

    bool operator==(const Value&) const = default;

private:
    using Data =
        std::variant<std::monostate, std::int64_t, double, std::string, DateValue, DateTimeValue>;
    explicit Value(Data data) : data_(std::move(data)) {}

    Data data_;
};

// Fails with dberr::kValueRefused when the text holds a NUL character, naming
// what comes before it: a driver would cut the text there or the database
// refuse it in less clear words, and no log line may carry a NUL.
void RefuseNul(std::string_view text);

// Doubles every apostrophe, which is all it takes to put a text between
// apostrophes in SQL.
std::string DoubleApostrophes(std::string_view text);

}  // namespace kolbi
