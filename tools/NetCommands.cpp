#include <CLI/CLI.hpp>

#include "tools/Commands.h"

void AddNetCommands(CLI::App& app, int& exitCode) {
    (void)app;
    (void)exitCode;
}
