#pragma once
// Builders of the C++ course: each appends its chapter's lessons, in lesson order, and touches nothing
// else.
#include "model/Chapter.hpp"

void buildCppChapter1(Chapter& chapter);
void buildCppChapter2(Chapter& chapter);
void buildCppChapter3(Chapter& chapter);
void buildCppChapter4(Chapter& chapter);
void buildCppChapter5(Chapter& chapter);
void buildCppChapter6(Chapter& chapter);
void buildCppChapter7(Chapter& chapter);
