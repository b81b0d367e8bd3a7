// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which splash picture comes next. The list keeps the pictures in the order they were last
// shown, the one on screen at the end, so the entries at the front, shown longest ago, are the
// likeliest to come next and the one just shown never comes again at once.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <vector>

// k = r * r * (n - 1) truncated toward zero, for r in [0, 1): an index from 0 to n - 2 that
// favours the front of the list. 0 when n is below 2; r outside [0, 1) is held at its ends.
std::size_t SplashPictureIndex(double r, std::size_t n);

// Moves the entry at index to the end of the list; the entries behind it move one place
// forward. An index past the end changes nothing.
void MoveToEnd(std::vector<std::filesystem::path>& list, std::size_t index);

// Chooses the next picture for the random number r: with two or more pictures the entry at
// SplashPictureIndex goes to the end; then load is called for the last entry. When it cannot
// be loaded, the entry at the front moves to the end and is tried in its turn, until every
// picture has been tried once. True when a picture was loaded; false for an empty list or
// when no picture loads.
bool ChooseSplashPicture(std::vector<std::filesystem::path>& list, double r,
                         const std::function<bool(const std::filesystem::path&)>& load);
