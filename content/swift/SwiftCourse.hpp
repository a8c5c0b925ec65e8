#pragma once
// Builders of the Swift course: each appends its chapter's lessons, in lesson order, and touches
// nothing else.
#include "model/Chapter.hpp"

void buildSwiftChapter1(Chapter& chapter);
void buildSwiftChapter2(Chapter& chapter);
void buildSwiftChapter3(Chapter& chapter);
void buildSwiftChapter4(Chapter& chapter);
void buildSwiftChapter5(Chapter& chapter);
void buildSwiftChapter6(Chapter& chapter);
void buildSwiftChapter7(Chapter& chapter);
void buildSwiftChapter8(Chapter& chapter);
void buildSwiftChapter9(Chapter& chapter);
void buildSwiftChapter10(Chapter& chapter);
void buildSwiftChapter11(Chapter& chapter);
void buildSwiftChapter12(Chapter& chapter);
void buildSwiftChapter13(Chapter& chapter);
void buildSwiftChapter14(Chapter& chapter);
void buildSwiftChapter15(Chapter& chapter);
void buildSwiftChapter16(Chapter& chapter);
void buildSwiftChapter17(Chapter& chapter);
void buildSwiftChapter18(Chapter& chapter);
void buildSwiftChapter19(Chapter& chapter);
void buildSwiftChapter20(Chapter& chapter);
void buildSwiftChapter21(Chapter& chapter);
void buildSwiftChapter22(Chapter& chapter);
void buildSwiftChapter23(Chapter& chapter);
void buildSwiftChapter24(Chapter& chapter);
void buildSwiftChapter25(Chapter& chapter);
void buildSwiftChapter26(Chapter& chapter);
