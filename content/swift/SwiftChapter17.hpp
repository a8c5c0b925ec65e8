#pragma once
// Chapter 17 with its source of chance made explicit: the random-number lesson shows values drawn
// while the chapter is built, so tests hand in their own draw to get repeatable values.
#include "model/Chapter.hpp"

#include <cstdint>
#include <functional>

// Returns a uniform integer in 0 ..< bound (0 when bound is 0). Called twice per build: first with
// 101, then with 51.
using UniformDraw = std::function<std::uint32_t(std::uint32_t bound)>;

// Builds chapter 17 drawing from `draw`; the plain `buildSwiftChapter17` uses the system's source.
void buildSwiftChapter17(Chapter& chapter, const UniformDraw& draw);
