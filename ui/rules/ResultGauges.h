// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The speed and correctness gauges of the results window: a ratio of at most 1 becomes a gauge
// position from 0 (top, best) to 100 (bottom), and the position picks one of four pictures.

constexpr int kGaugeMaximum = 100;

// Points per drawn problem as a single-precision float, held at 1 (a problem is worth at most
// one point). No lower bound; 0 when no problem was drawn.
float CorrectnessRatio(float points, int problems);
// Twenty seconds per problem against the seconds taken, held at 1: twenty seconds a problem,
// or less, is full speed. 0 when no problem was drawn or no time is known.
float SpeedRatio(int problems, int seconds);

// (1 - ratio) times the maximum, rounded to the nearest integer with halves going to the even
// one, held within 0 to the maximum. A ratio that is not a number stands at the bottom.
int GaugePosition(float ratio);

// The picture beside a gauge at the position: 0 for the top one (level 0.75 or more), 1 for
// 0.5 to below 0.75, 2 for 0.25 to below 0.5, 3 for the lowest, where the level is
// 1 - position / maximum in single precision.
int GaugePicture(int position);
