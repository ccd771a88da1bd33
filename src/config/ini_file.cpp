#include "config/ini_file.h"

#include "common/profile_file.h"
#include "log/procedure.h"

namespace kolbi {

std::string INIRead(const std::string& section, const std::string& key,
                    const std::string& file_name) {
    Procedure proc("in procedure INIRead of Module ModDivers", AfterReport::kEnd);
    std::string value;
    proc.Run([&] {
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
