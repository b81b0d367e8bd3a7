// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results in a PostgreSQL database that several collectors share.

#include <memory>
#include <string>

#include "collector/ResultStore.h"

// Connects to the URI; a writer creates or migrates the schema first. Empty with the reason
// (without the password) in error when the server cannot be reached or refuses.
std::unique_ptr<ResultStore> OpenPostgresResultStore(const std::string& uri, bool writer,
                                                     const std::string& applicationName,
                                                     std::string& error);
