#include "odbc/save_odbc_inventory.h"

namespace kolbi {

// Stand-in until the ODBC inventory lands.
void SaveOdbcInventory(std::int16_t, std::int16_t, const std::string&) {}

}  // namespace kolbi
