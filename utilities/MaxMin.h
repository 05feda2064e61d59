#pragma once

constexpr int MaxOf(int a, int b) { return a > b ? a : b; }
constexpr int MinOf(int a, int b) { return a < b ? a : b; }
