#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/runtime_error.h"

namespace kolbi {

// What a procedure does once its failure has been reported.
enum class AfterReport {
    kContinue,  // go on with the next step
    kLeave,     // skip every remaining step
    kEnd,       // end the program (exit status 1), with a trace when the log took none
};

// Turns whatever a step threw into the run-time error the logs expect.
// ProgramEnded is not an exception of this kind and passes through untouched.
template <class Step>
std::optional<RuntimeError> CatchRuntimeError(Step&& step);

// The one failure mechanism of the pump. A procedure names its location text
// and its after-report rule once, then runs each of its steps through Run():
//
//     Procedure proc("in procedure SetTransac of Module ModSI", AfterReport::kContinue);
//     proc.Run([&] { if (!DBConnected) DBConnect(); });
//     proc.Run([&] { rs.Open("SELECT * from Transactions"); });
//
// A failing step is reported (by default as the standard error report to the
// error log at level 2 with the error's number) and the rule applies: the next
// Run() goes ahead, or every later Run() is skipped, or the program ends.
class Procedure {
public:
    using Rule = std::function<AfterReport(const RuntimeError&)>;
    using Reporter = std::function<void(const RuntimeError&, std::string_view location)>;

    Procedure(std::string_view location, AfterReport after);
    Procedure(std::string_view location, Rule rule);
    // A procedure that reports somewhere else than the error log (the service
    // events report to the system event log).
    Procedure(std::string_view location, Rule rule, Reporter reporter);

    // Runs one step unless the procedure has been left. True when it ran to its end.
    template <class Step>
    bool Run(Step&& step) {
        if (left_) return false;
        std::optional<RuntimeError> failure = CatchRuntimeError(std::forward<Step>(step));
        if (!failure) return true;
        HandleFailure(*failure);
        return false;
    }

    // True once a failure made the procedure leave.
    bool Left() const { return left_; }

private:
    void HandleFailure(const RuntimeError& error);

    std::string location_;
    Rule rule_;
    Reporter reporter_;
    bool reports_to_error_log_ = false;
    bool left_ = false;
};

// Runs a step with every failure absorbed and nothing reported, for the
// procedures that stay silent (the ODBC inventory). True when it ran to its end.
template <class Step>
bool RunAbsorbed(Step&& step) {
    return !CatchRuntimeError(std::forward<Step>(step)).has_value();
}

// The rule of the report pass: leave once the date format has been switched.
AfterReport LeaveIfDateFormatSwitched(const RuntimeError&);

template <class Step>
std::optional<RuntimeError> CatchRuntimeError(Step&& step) {
    try {
        std::forward<Step>(step)();
        return std::nullopt;
    } catch (const RuntimeError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return RuntimeError(errnum::kOutOfMemory, "Out of memory");
    } catch (const std::exception& error) {
        return RuntimeError(errnum::kInvalidProcedureCall, error.what());
    }
}

}  // namespace kolbi
