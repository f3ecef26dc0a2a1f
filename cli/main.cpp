// tallyard-cli: export, import and list the checklists of Tallyard.

#include "cli/CliCommands.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = Cli::Run(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
