#include <CLI/CLI.hpp>

#include "tools/Commands.h"

void AddStationCommand(CLI::App& app, int& exitCode) {
    (void)app;
    (void)exitCode;
}
