#pragma once
// Builders of the SwiftUI course: each appends its chapter's lessons, in lesson order, and touches
// nothing else.
#include "model/Chapter.hpp"

void buildSwiftUIChapter1(Chapter& chapter);
void buildSwiftUIChapter2(Chapter& chapter);
void buildSwiftUIChapter3(Chapter& chapter);
void buildSwiftUIChapter4(Chapter& chapter);
void buildSwiftUIChapter5(Chapter& chapter);
void buildSwiftUIChapter6(Chapter& chapter);
void buildSwiftUIChapter7(Chapter& chapter);
void buildSwiftUIChapter8(Chapter& chapter);
