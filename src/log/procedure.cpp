#include "log/procedure.h"

#include "common/program_end.h"
#include "log/write_log.h"

namespace kolbi {
namespace {

void ReportToErrorLog(const RuntimeError& error, std::string_view location) {
    WriteLog(StandardErrorReport(error.number(), error.description(), location), kLevelError,
             error.number(), location);
}

}  // namespace

Procedure::Procedure(std::string_view location, AfterReport after)
    : Procedure(location, [after](const RuntimeError&) { return after; }) {}

Procedure::Procedure(std::string_view location, Rule rule)
    : Procedure(location, std::move(rule), ReportToErrorLog) {
    reports_to_error_log_ = true;
}

Procedure::Procedure(std::string_view location, Rule rule, Reporter reporter)
    : location_(location), rule_(std::move(rule)), reporter_(std::move(reporter)) {}

void Procedure::HandleFailure(const RuntimeError& error) {
    // The report comes first: the log's own policies (ending the program on a
    // lost connection, switching the date format) apply before the rule does.
    reporter_(error, location_);
    switch (rule_(error)) {
        case AfterReport::kContinue: break;
        case AfterReport::kLeave: left_ = true; break;
        case AfterReport::kEnd:
            // An end whose report the error log did not take is told elsewhere.
            if (reports_to_error_log_) EndProgramAfterFailure();
            EndProgram(kExitFailure);
    }
}

AfterReport LeaveIfDateFormatSwitched(const RuntimeError&) {
    return DateFormatSwitched() ? AfterReport::kLeave : AfterReport::kContinue;
}

}  // namespace kolbi
