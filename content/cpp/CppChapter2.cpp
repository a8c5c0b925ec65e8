// C++ course, chapter 2: the bool type and the operators that yield one (>, <, ==, !=, !, && and ||).
#include "content/cpp/CppCourse.hpp"
#include "content/cpp/CppLesson.hpp"

using namespace content;
using namespace content::cpp;
using namespace content::form;

namespace {

// The rule runs the chapter's lists repeat from line to line.
std::vector<ColorRule> declarationRules(CustomStringSection line, const LessonText& number) {
    return {{line, "int", pink},   {line, "std", blue},    {line, "bool", pink},    {line, "true", pink},
            {line, "false", pink}, {line, "string", blue}, {line, R"("C++")", red}, {line, number, purple}};
}
std::vector<ColorRule> truthRules(CustomStringSection line, const LessonText& number) {
    return {{line, "int", pink},  {line, "bool", pink},  {line, "true", pink},    {line, "false", pink},
            {line, "true", pink}, {line, "false", pink}, {line, R"("C++")", red}, {line, number, purple}};
}
std::vector<ColorRule> shortRules(CustomStringSection line, const LessonText& number) {
    return {{line, "int", pink}, {line, "bool", pink}, {line, R"("C++")", red}, {line, number, purple}};
}
std::vector<ColorRule> printRules(CustomStringSection line) {
    return {{line, "std::cout", blue}, {line, "std::endl", blue}};
}

const Wrong kNeverGiveUp = {"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true};
const Wrong kNoQuotes = {
    "Oops...", "When you declare a variable, just enter the name without quotes. \n (myFirstProgram)", R"(")",
    true};
const LessonText kOpposite = "You did it!  If player1Won = true, then player2Won must be false.";
const std::vector<ColorRule> kLockedSuccess = {
    {SUCCESS, "!locked", project}, {SUCCESS, "doorIsOpen", project}, {SUCCESS, "locked", project}};

} // namespace

// clang-format off
void buildCppChapter2(Chapter& chapter) {
    // C++CH2L1
    addCppLesson(chapter, {
        .title = "Bool",
        .instruction = "A very common data type in computer science is called bool.  It can either have a value of true or false.  Create a variable called isAwesome and assign it either the value true or false.",
        .code = R"(int main() {
   std::string language = "C++";
   «bool isAwesome = true;»
   std::cout << isAwesome << std::endl;
})",
        .accepted    = {"bool isAwesome=false;", "bool isAwesome=true;", "bool isAwesome = false;"},
        .hint        = {"Stuck? Break it down!", steps({"1. Create a variable of type bool called isAwesome", "2. Assign it the value of true or false", "3. Add the semicolon at the end"}) + ANSWER},
        .wrong       = {kNeverGiveUp},
        .placeholder = "Create boolean variable",
        .words       = {{R"(")", "=", ";"}},
        .colors      = {{INSTR, "true", pink}, {INSTR, "bool", blue}, {INSTR, "false", pink}, {INSTR, "isAwesome", project},
                        {L1, "int", pink}, {L2, "int", pink}, {L2, "std", blue}, {L2, "string", blue}, {L2, R"("C++")", red},
                        {L3, "bool", pink}, {L3, "true", pink}, {L3, "false", pink}, {L4, "std::cout", blue},
                        {L4, "std::endl", blue}, {SUCCESS, "C++", blue}, {ERROR, ANSWER, comment}},
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"true", "1", "Glad we are on the same page.  C++ is indeed pretty Awesome."},
                        {"false", "0", "I know you are just teasing. Let's move on."}},
    });

    // C++CH2L2
    addCppLesson(chapter, {
        .title = "Greater or less?",
        .instruction = "Comparing two numbers with > (greater than) or < (less than) gives a bool.  Use > or < to give iAgree a value.",
        .code = R"(int main() {
   int a = 9;
   int b = 3;
   bool iAgree = a«>»b;
   std::cout << iAgree << std::endl;
})",
        .accepted    = {"<"},
        .hint        = {"Stuck? Break it down", "Just enter one of the symbols. \n > or <"},
        .wrong       = {kNoQuotes},
        .placeholder = "???",
        .words       = {{"<", ">"}},
        .colors      = join({{{INSTR, ">", comment}, {INSTR, "<", comment}, {L1, "int", pink},
                              {L2, "int", pink}, {L2, "std", blue}, {L2, "string", blue}, {L2, R"("C++")", red}, {L2, "9", purple}},
                             {{L3, "int", pink}, {L3, "bool", pink}, {L3, "true", pink}, {L3, "false", pink}, {L3, R"("C++")", red}, {L3, "3", purple}},
                             {{L4, "int", pink}, {L4, "bool", pink}, {L4, "true", pink}, {L4, "false", pink}, {L4, R"("C++")", red}, {L4, "9", purple}},
                             printRules(L5), {{SUCCESS, "C++", blue}, {ERROR, ANSWER, comment}, {ERROR, "<", comment}}}),
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{">", "1", "9 > 3 is true, and C++ prints true as 1."},
                        {"<", "0", "9 < 3 is false, and C++ prints false as 0."}},
    });

    // C++CH2L3
    addCppLesson(chapter, {
        .title = "Equal or not?",
        .instruction = "== tests whether two values are equal and != whether they are not.  Both work for every type: int, bool, string and the others.",
        .code = R"(int main() {
   bool iAmFun = true;
   bool youAreFun = true;
   bool weAreFun = iAmFun«==»youAreFun;
   std::cout << weAreFun << std::endl;
})",
        .accepted    = {"!="},
        .hint        = {"Stuck? Break it down", "Just enter the equality sign to see if iAmFun is equal to youAreFun \n " + ANSWER + " or !="},
        .wrong       = {kNoQuotes},
        .placeholder = "?",
        .words       = {{"!", "="}},
        .colors      = join({{{INSTR, "!=", comment}, {INSTR, "==", comment}, {INSTR, "string", blue}, {INSTR, "int", pink},
                              {INSTR, "bool", pink}, {L1, "int", pink}},
                             declarationRules(L2, "9"), truthRules(L3, "3"),
                             {{L4, "int", pink}, {L4, "bool", pink}, {L4, "true", pink}, {L4, "false", pink}, {L4, R"("C++")", red}, {L4, "9", purple}},
                             printRules(L5), {{SUCCESS, "C++", blue}, {ERROR, ANSWER, comment}, {ERROR, "!=", comment}}}),
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"==", "1", "Both of you are fun, so iAmFun == youAreFun is true and weAreFun prints 1."},
                        {"!=", "0", "Saying that two equal values are not equal is false, so weAreFun prints 0."}},
    });

    // C++CH2L4
    addCppLesson(chapter, {
        .title = "Let's compare",
        .instruction = "The four most common comparison operators are ==, >, < and !=.  Use one of them in line 4 to give trueOrFalse a value.",
        .code = R"(int main() {
   int a = 9;
   int b = 3;
   bool trueOrFalse = a«==»b;
   std::cout << trueOrFalse << std::endl;
})",
        .accepted    = {"!=", ">", "<"},
        .hint        = {"Stuck? Break it down", "Just use one of the operators to assign a value to trueOrFalse \n " + ANSWER + " or != or > or <"},
        .wrong       = {kNoQuotes},
        .placeholder = "?",
        .words       = {{"<", "!", "=", ">"}},
        .colors      = join({{{INSTR, "==", comment}, {INSTR, ">", comment}, {INSTR, "<", comment}, {INSTR, "!=", comment},
                              {INSTR, "trueOrFalse", project}, {L1, "int", pink}},
                             declarationRules(L2, "9"), truthRules(L3, "3"), shortRules(L4, "9"), printRules(L5),
                             {{SUCCESS, "C++", blue}, {ERROR, ANSWER, comment}, {ERROR, "!=", comment}, {ERROR, ">", comment},
                              {ERROR, "<", comment}}}),
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{">", "1", "9 > 3 is true, so trueOrFalse is 1."},
                        {"<", "0", "9 < 3 is false, so trueOrFalse is 0."},
                        {"==", "0", "9 == 3 is false, so trueOrFalse is 0."},
                        {"!=", "1", "9 != 3 is true, so trueOrFalse is 1."}},
    });

    // C++CH2L5
    addCppLesson(chapter, {
        .title = "Opposites",
        .instruction = "Put ! in front of a bool to get its opposite.  Only one player can win: give player2Won the opposite of player1Won.",
        .code = R"(int main() {
   bool player1Won = true;
   bool player2Won = «!player1Won»;
   std::cout << player2Won << std::endl;
})",
        .success     = kOpposite,
        .hint        = {"Stuck?  Break it down!", steps({"Step 1. player2Won must be the opposite of player1Won", "Step 2. Write ! right before player1Won"}) + ANSWER},
        .placeholder = "Tap to answer",
        .words       = {{"!", "="}},
        .colors      = join({{{INSTR, "player2Won", project}, {INSTR, "!", comment}, {L1, "int", pink}},
                             declarationRules(L2, "9"), truthRules(L3, "3"), shortRules(L4, "9"), printRules(L4),
                             {{SUCCESS, "C++", blue}, {ERROR, ANSWER, comment}, {ERROR, "!=", comment}}}),
        .debugger    = true,
        .printValue  = "0",
    });

    {   // C++CH2L6
        const LessonText alarmFirst = "True. The door is secure only if the alarm is on AND the door is locked.";
        const LessonText lockedFirst = "True. The door is secure only if it is locked AND if the alarm is on.";
        addCppLesson(chapter, {
            .title = "AND operator",
            .instruction = "The && operator is used for logical expressions where both values must be true, for the overall expression to be true.  Use it to complete the challenge below",
            .code = R"(int main() {
   bool locked = true;
   bool alarmOn = true;
   bool doorSecure =«locked && alarmOn»;
   std::cout << doorSecure << std::endl;
})",
            .accepted    = {BLANKLESS, "alarmOn && locked", "alarmOn&&locked"},
            .success     = kOpposite,
            .hint        = {"Stuck? Break it down!", "Step 1. The door is secure if it is locked and the alarm is on.  \n Step 2. Use the && operator to test if two conditions are true. \n " + ANSWER},
            .placeholder = "Tap to answer",
            .words       = {{"|", "&"}},
            .colors      = join({{{INSTR, "&&", comment}, {INSTR, "player2Won", project}, {L1, "int", pink}},
                                 declarationRules(L2, "9"), truthRules(L3, "3"), shortRules(L4, "9"), printRules(L5),
                                 {{SUCCESS, "C++", blue}, {ERROR, ANSWER, comment}, {ERROR, "!=", comment}}}),
            .debugger    = true,
            .blankDebugTexts = true,
            .outputs     = {{"alarmOn && locked", "1", alarmFirst}, {"locked && alarmOn", "1", lockedFirst},
                            {"alarmOn&&locked", "1", alarmFirst}, {"locked&&alarmOn", "1", lockedFirst}},
        });
    }

    {   // C++CH2L7
        const LessonText either = "True.  walkedOrBiked is true as long as at least one side of || is true.";
        addCppLesson(chapter, {
            .title = "OR operator",
            .instruction = "The || operator is true when at least one side is true.  Did you walk or bike today?  Complete line 4.",
            .code = R"(int main() {
   bool walked = false;
   bool biked = true;
   bool walkedOrBiked =«walked || biked»;
   std::cout << walkedOrBiked << std::endl;
})",
            .accepted    = {BLANKLESS, "biked || walked", "biked||walked"},
            .success     = kOpposite,
            .hint        = {"Stuck? Break it down!", "Use the or operator to test both conditions \n walked || biked"},
            .placeholder = "Tap to answer",
            .words       = {{"|", "&"}},
            .colors      = join({{{INSTR, "||", comment}, {INSTR, "player2Won", project}, {L1, "int", pink}},
                                 declarationRules(L2, "9"), truthRules(L3, "3"), shortRules(L4, "9"), printRules(L5),
                                 {{SUCCESS, "C++", blue}, {ERROR, ANSWER, comment}, {ERROR, "!=", comment}}}),
            .debugger    = true,
            .blankDebugTexts = true,
            .outputs     = {{"walked || biked", "1", either}, {"walked||biked", "1", either},
                            {"biked || walked", "1", either}, {"biked||walked", "1", either}},
        });
    }

    // C++CH2L8
    addCppLesson(chapter, {
        .title = "Challenge 1",
        .instruction = "Create a boolean called sameAge that is true only if both users are the same age.",
        .code = R"(int main() {
   int hisAge = 33;
   int herAge = 33;
   «bool sameAge = hisAge && herAge;»
   std::cout << sameAge << std::endl;
})",
        .accepted    = {"bool sameAge = hisAge&&herAge;", "bool sameAge=hisAge&&herAge;", "bool sameAge=hisAge && herAge;",
                        "bool sameAge = herAge && hisAge;", "bool sameAge = herAge&&hisAge;", "bool sameAge=herAge && hisAge;",
                        "bool sameAge=herAge&&hisAge;"},
        .success     = "Well done.  sameAge is true because both ages are 33.",
        .hint        = {"Stuck? Break it down!", steps({"1. Create a bool called sameAge", "2. It is true if both have the same age"}) + ANSWER},
        .placeholder = "Tap to answer",
        .words       = {{"=", "&", ";"}},
        .colors      = join({{{INSTR, "boolean", blue}, {INSTR, "sameAge", project}, {INSTR, "true", pink}, {L1, "int", pink}},
                             declarationRules(L2, "33"), truthRules(L3, "33"), shortRules(L4, "9"), printRules(L5),
                             {{SUCCESS, "C++", blue}, {ERROR, ANSWER, comment}, {ERROR, "!=", comment}}}),
        .debugger    = true,
        .printValue  = "1",
    });

    // C++CH2L9
    addCppLesson(chapter, {
        .title = "Challenge 2",
        .instruction = "Create a boolean called doorIsOpen that is true only if the door is not locked.",
        .code = R"(int main() {
   bool locked = false;
   «bool doorIsOpen = !locked;»
   std::cout << doorIsOpen << std::endl;
})",
        .accepted    = {"bool doorIsOpen=!locked;", "bool doorIsOpen = !locked ;"},
        .success     = "!locked always gives doorIsOpen the opposite value of locked.",
        .hint        = {"Doh!", "Something went wrong.  Please try again or review lesson 5 if you are stuck."},
        .placeholder = "Tap to answer",
        .words       = {{"=", "!", ";"}},
        .colors      = join({{{INSTR, "boolean", blue}, {INSTR, "sameAge", project}, {INSTR, "true", pink}, {INSTR, "doorIsOpen", project},
                              {L1, "int", pink}},
                             declarationRules(L2, "33"), truthRules(L3, "33"), shortRules(L4, "9"), printRules(L4), kLockedSuccess,
                             {{ERROR, ANSWER, comment}, {ERROR, "!=", comment}}}),
        .debugger    = true,
        .printValue  = "1",
    });

    // C++CH2L10
    addCppLesson(chapter, {
        .title = "Challenge 3",
        .instruction = "Declare a variable called bluetoothEnabled of type bool, without giving it a value.",
        .code = R"(int main() {
   «bool bluetoothEnabled;»
})",
        .accepted    = {"bool bluetoothEnabled ;"},
        .success     = "Well done!  Let's keep going.",
        .hint        = {"Doh!", "Something went wrong.  Please make sure to declare the variable without giving it an initial value."},
        .placeholder = "Tap to answer",
        .words       = {{"=", ";"}},
        .colors      = join({{{INSTR, "bool", pink}, {INSTR, "bluetoothEnabled", project}, {L1, "int", pink}},
                             declarationRules(L2, "33"), truthRules(L3, "33"), shortRules(L4, "9"), printRules(L4), kLockedSuccess,
                             {{ERROR, ANSWER, comment}, {ERROR, "!=", comment}}}),
        .printValue  = "1",
    });

    const std::vector<ColorRule> bothRules = {{ERROR, ANSWER, comment}, {ERROR, "&&", comment}, {ERROR, "!", comment}};
    // C++CH2L11
    addCppLesson(chapter, {
        .title = "Challenge 4",
        .instruction = "Complete line 4 so that readyToPlay is true if the user isFit and not injured.",
        .code = R"(int main() {
   bool isFit = true;
   bool injured = false;
   bool readyToPlay =«isFit && !injured;»
   std::cout << readyToPlay << std::endl;
})",
        .accepted    = {BLANKLESS, "!injured && isFit;", "!injured&&isFit;"},
        .success     = "Nice work!",
        .hint        = {"Need help?", "Remember to reak it down.  \n 1. Use the && operator to evaluate two logical expressions. \n 2. Use the ! operator to test for the opposite of a given value."},
        .placeholder = "Tap to answer",
        .words       = {{"|", "&", ";"}},
        .colors      = join({{{INSTR, "true", pink}, {INSTR, "readyToPlay", project}, {INSTR, "isFit", project}, {INSTR, "injured", project},
                              {L1, "int", pink}},
                             declarationRules(L2, "33"), truthRules(L3, "33"), shortRules(L4, "9"), printRules(L5), kLockedSuccess,
                             bothRules}),
        .debugger    = true,
        .printValue  = "1",
    });

    // C++CH2L12
    addCppLesson(chapter, {
        .title = "Challenge 5",
        .instruction = "Complete line 5 so that isEqual is true only if all numbers are the same.",
        .code = R"(int main() {
   int a = 2;
   int b = 2;
   int c = 2;
   bool isEqual =«a == b && b == c;»
   std::cout << isEqual << std::endl;
})",
        .accepted    = {BLANKLESS,
                        "a == c && c == b;", "a == b && c == b;", "a == c && b == c;", "b == a && b == c;", "b == a && c == b;",
                        "b == c && a == c;", "b == c && c == a;", "c == a && b == c;", "c == b && b == a;", "c == b && a == c;",
                        "c == b && c == a;",
                        "a==c&&c==b;", "a==b&&c==b;", "a==c&&b==c;", "b==a&&b==c;", "b==a&&c==b;", "b==c&&a==c;", "b==c&&c==a;",
                        "c==a&&b==c;", "c==b&&b==a;", "c==b&&a==c;", "c==b&&c==a;",
                        "a==b && b==c;", "a==c && c==b;", "a==b && c==b;", "a==c && b==c;", "b==a && b==c;", "b==a && c==b;",
                        "b==c && a==c;", "b==c && c==a;", "c==a && b==c;", "c==b && b==a;", "c==b && a==c;", "c==b && c==a;"},
        .success     = "Great job!  The more code you read and write, the easier it gets :-)",
        .hint        = {"Need help?", "Remember to reak it down.  \n 1. Use the && operator to evaluate two logical expressions. \n 2. You can chain operators and use multiple operators together."},
        .placeholder = "Tap to answer",
        .words       = {{"=", "&", ";"}},
        .colors      = join({{{INSTR, "true", pink}, {INSTR, "isEqual", project}, {INSTR, "isFit", project}, {INSTR, "injured", project},
                              {L1, "int", pink}},
                             declarationRules(L2, "2"), truthRules(L3, "2"), shortRules(L4, "2"), {{L5, "bool", pink}},
                             printRules(L6), kLockedSuccess, bothRules}),
        .debugger    = true,
        .printValue  = "1",
    });

    // C++CH2L13
    addCppLesson(chapter, {
        .title = "Challenge 6",
        .instruction = "Complete line 5.  underAge should be true if any person is less than the minimum age.",
        .code = R"(int main() {
   int age1 = 21;
   int age2 = 15;
   int min = 18;
   bool underAge =«age1 < min || age2 < min;»
   std::cout << underAge << std::endl;
})",
        .accepted    = {BLANKLESS, ANSWER, "age2 < min || age1 < min;", "min > age1 || min > age2;", "min > age2 || min > age1;",
                        "age1<min||age2<min;", "age2<min||age1<min;", "min>age1||min>age2;", "min>age2||min>age1;"},
        .success     = "You crushed it!  Nicely done.",
        .hint        = {"Need help?", "Remember to reak it down.  \n 1. Use the || operator to evaluate two logical expressions. \n 2. Use the < or > operator to check the age requirement."},
        .placeholder = "Tap to answer",
        .words       = {{"<", "=", "|", ";", ">"}},
        .colors      = join({{{INSTR, "true", pink}, {INSTR, "underAge", project}, {INSTR, "min", project}, {INSTR, "injured", project},
                              {L1, "int", pink}},
                             declarationRules(L2, "21"), truthRules(L3, "15"), shortRules(L4, "18"), {{L5, "bool", pink}},
                             printRules(L6), kLockedSuccess, bothRules}),
        .debugger    = true,
        .printValue  = "1",
    });
}
// clang-format on
