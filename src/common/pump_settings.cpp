#include "common/pump_settings.h"

namespace kolbi {

PumpSettings& Settings() {
    static PumpSettings settings;
    return settings;
}

}  // namespace kolbi
