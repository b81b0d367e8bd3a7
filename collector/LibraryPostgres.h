// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The class library in a PostgreSQL database that several collectors share: a test published
// on one collector's page is what every collector serves.

#include <memory>
#include <string>

#include "collector/LibraryStore.h"

// Connects to the URI and creates or migrates the schema. Empty with the reason (without
// the password) in error when it cannot.
std::unique_ptr<LibraryStore> OpenPostgresLibrary(const std::string& uri,
                                                  const std::string& applicationName,
                                                  std::string& error);
