// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Comparison of two tests as read from files: every field a reader fills, floats by their
// bits. Used to check that a written test reads back unchanged.

#include <string>

#include "model/UTypes.h"

// True when both tests hold the same content; otherwise difference (when given) names the
// first field that differs.
bool SameTezra(const TTezra& a, const TTezra& b, std::string* difference = nullptr);
