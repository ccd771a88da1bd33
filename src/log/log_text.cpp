#include "log/log_text.h"

#include "common/cp1252.h"

namespace kolbi {

std::string LogLineText(std::string_view text) {
    std::string line = Utf8OrCp1252ToUtf8(text);
    for (size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            line[i] = ' ';
        } else if (byte == 0xC2 && i + 1 < line.size() &&
                   static_cast<unsigned char>(line[i + 1]) < 0xA0) {
            // A C1 control (U+0080 to U+009F); NEL among them breaks lines in
            // some viewers. The two bytes become one space.
            line.replace(i, 2, " ");
        }
    }
    return line;
}

}  // namespace kolbi
