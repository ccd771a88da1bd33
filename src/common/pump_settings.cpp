#include "common/pump_settings.h"

namespace kolbi {

PumpSettings& Settings() {
    static PumpSettings settings;
    return settings;
}

std::string DecompressedFolder() {
    return Settings().IncomingFolder + kDecompressedSubfolder + "/";
}

}  // namespace kolbi
