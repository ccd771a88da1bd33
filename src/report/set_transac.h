#pragma once

#include <string>

namespace kolbi {

// Writes the activity row of the table Transactions: SIUser := user and
// SIPoste := poste on the first row, inserting the row when the table is
// empty. Both texts are UTF-8, as workstation names are (they come from file
// names). Connects first when DBConnected is False. Every failing step is
// reported ("in procedure SetTransac of Module ModSI") and the next step runs;
// the error log's policies may end the program (a table that cannot be opened
// leaves a closed record set, whose use is such an error).
void SetTransac(const std::string& user, const std::string& poste);

// Makes every DBConnect blank the activity row (SetTransac with "" and "")
// right after it opens the connection, as the pump always has. The
// processing layer calls it once before its first database work.
void InstallTransacAfterConnect();

}  // namespace kolbi
