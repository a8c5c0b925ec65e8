#pragma once
// Builders of the Swift course: each appends its chapter's lessons, in lesson order, and touches
// nothing else.
#include "app/model/Chapter.hpp"

void buildSwiftChapter1(Chapter& chapter);
void buildSwiftChapter2(Chapter& chapter);
void buildSwiftChapter3(Chapter& chapter);
void buildSwiftChapter4(Chapter& chapter);
void buildSwiftChapter5(Chapter& chapter);
void buildSwiftChapter6(Chapter& chapter);
void buildSwiftChapter7(Chapter& chapter);
void buildSwiftChapter8(Chapter& chapter);
void buildSwiftChapter9(Chapter& chapter);
