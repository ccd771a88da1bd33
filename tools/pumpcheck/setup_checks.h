#pragma once

#include <string>

namespace kolbi {

// What the checks found, for the summary of a setup that passed.
struct SetupFacts {
    std::string ini_file;
    std::string data_source;  // "data source NAME" or "server NAME"
    std::string dbms;         // as the driver names it
    std::string incoming_folder;
    int compressed_waiting = 0;
    int decompressed_waiting = 0;
};

// Checks, in this order, what the pump needs to start in `program_folder`
// (ending in "/"), reading its KolbiPumps.ini as the pump does:
//   1. the INI is there and readable;
//   2. it names a data source (DsnEntry, or SQLSERVER for a driver connection)
//      and an incoming folder;
//   3. the incoming folder is a folder the pump can list and write, its
//      "incoming" subfolder too when there is one, and the program folder
//      (error log, FAILED) can be written;
//   4. the data source connects;
//   5. the database's schema is current.
// The first failure throws a RuntimeError whose description is the line for
// the operator (a password never in it); Settings() holds what was read.
SetupFacts CheckSetup(const std::string& program_folder);

}  // namespace kolbi
