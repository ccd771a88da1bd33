#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kolbi {

// Numbers of the run-time errors the pump knows by name. The error log's
// policies hang on some of them, so every layer reports failures with these.
namespace errnum {
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kBadFileName = 52;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kInputPastEndOfFile = 62;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kObjectClosed = 3704;
inline constexpr std::int32_t kObjectOpen = 3705;
// The base number for errors defined by a component (0x80040000).
inline constexpr std::int32_t kComponentBase = -2147221504;
// The database could not convert a value (0x80040E07).
inline constexpr std::int32_t kConversionFailed = -2147217913;
// Unspecified failure, also used for lost or refused connections (0x80004005).
inline constexpr std::int32_t kUnspecified = -2147467259;
}  // namespace errnum

// A run-time error as the logs and failure rules see it: a number and a
// description, the component that raised it, and for database failures the
// SQLSTATE and native code the driver gave.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(std::int32_t number, std::string description, std::string source = {},
                 std::string sqlstate = {}, std::int32_t native_code = 0);

    std::int32_t number() const { return number_; }
    const std::string& description() const { return description_; }
    const std::string& source() const { return source_; }
    const std::string& sqlstate() const { return sqlstate_; }
    std::int32_t native_code() const { return native_code_; }

private:
    std::int32_t number_;
    std::string description_;
    std::string source_;
    std::string sqlstate_;
    std::int32_t native_code_;
};

// Raise the overflow error (6) unless value fits a signed integer of that
// width, naming what. The pump's counters are 16-bit; the identifiers of
// workstations, products and drivers are 32-bit, as the databases hold them.
std::int16_t CheckedInt16(long long value, const std::string& what);
std::int32_t CheckedInt32(long long value, const std::string& what);

}  // namespace kolbi
