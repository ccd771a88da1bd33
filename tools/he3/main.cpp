#include <string>
#include <vector>

#include "he3/he3_command.h"

int main(int argc, char** argv) {
    return kolbi::RunHe3(std::vector<std::string>(argv + 1, argv + argc));
}
