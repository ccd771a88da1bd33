#include "config/ini_file.h"

#include <cerrno>
#include <cstring>

#include "common/file_system.h"
#include "common/profile_file.h"
#include "common/runtime_error.h"
#include "log/procedure.h"

namespace kolbi {
namespace {

// A missing file is a configuration of empty values, as it always was. A file
// that is there but cannot be read (its permissions, a folder of that name) is
// a failure of its own, named as such, so that the operator is not sent
// looking for a missing incoming folder.
void RaiseIfUnreadable(const std::string& file_name) {
    errno = 0;
    if (Fs().ReadFile(file_name)) return;
    const int error = errno;
    if (!Fs().PathExists(file_name)) return;
    const std::string why = !Fs().FileLength(file_name) ? "not a regular file"
                            : error                     ? std::strerror(error)
                                                        : "";
    throw RuntimeError(errnum::kPathFileAccessError, "Path/File access error: " + file_name +
                                                         " exists but cannot be read" +
                                                         (why.empty() ? "" : " (" + why + ")"));
}

}  // namespace

std::string INIRead(const std::string& section, const std::string& key,
                    const std::string& file_name) {
    Procedure proc("in procedure INIRead of Module ModDivers", AfterReport::kEnd);
    std::string value;
    proc.Run([&] {
        RaiseIfUnreadable(file_name);
        value = GetPrivateProfileString(section, key, "", file_name);
        // The value is handed over in a NUL-terminated buffer: a NUL inside the
        // file's text ends the value there.
        if (size_t nul = value.find('\0'); nul != std::string::npos) value.resize(nul);
    });
    return value;
}

void INIWrite(const std::string& section, const std::string& key, const std::string& value,
              const std::string& file_name) {
    (void)WritePrivateProfileString(section, key, value, file_name);
}

}  // namespace kolbi
