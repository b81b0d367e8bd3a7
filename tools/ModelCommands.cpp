#include <CLI/CLI.hpp>

#include "tools/Commands.h"

void AddModelCommands(CLI::App& app, int& exitCode) {
    (void)app;
    (void)exitCode;
}
