// C++ course, chapter 5: fixed-size arrays: declaring, initialising, inferring the count, reading and
// updating by index, walking with a for loop; then a challenge series on a 100-element array.
#include "content/cpp/CppCourse.hpp"
#include "content/cpp/CppLesson.hpp"

using namespace content;
using namespace content::cpp;
using namespace content::form;

namespace {

const LessonText kArray = "array";
const LessonText kMoreExamples = "Let's go through a couple more examples to make it stick.";
const LessonText kLoopSyntax = "for (init value; end value; increment)";
const std::vector<ColorRule> kFirstLine = join({in(L1, pink, {"int"}), includeColors(L1)});

// The rule runs the lists carry from lesson to lesson.
std::vector<ColorRule> sunnyLine(const std::vector<LessonText>& numbers) {
    auto rules = join(
        {in(L2, pink, {"for", "if", "int"}), in(L2, blue, {"std", "string"}), in(L2, red, {R"("sunny")"})});
    for (const auto& number : numbers)
        rules.push_back({L2, number, purple});
    return rules;
}
std::vector<ColorRule> primeLine(bool startsWithNines) {
    return join({startsWithNines ? in(L3, purple, {"9", "8"}) : std::vector<ColorRule>{},
                 in(L3, pink, {"for", "if", "int", "bool", "true", "false"}),
                 in(L3, red, {R"("Bring sunscreen!")"}), in(L3, purple, {"5", "4", "2", "3", "7"})});
}
const std::vector<ColorRule> kPrintLine4 = join(
    {in(L4, pink, {"if", "int", "bool", "true", "false"}), in(L4, red, {R"("C++")"}), in(L4, purple, {"9"}),
     in(L4, pink, {"else"}), in(L4, blue, {"std::cout", "std::endl"}), in(L4, red, {R"(",")"})});
std::vector<ColorRule> evenLine(const LessonText& keyword, const LessonText& secondNumber) {
    return join({in(L4, pink, {keyword, "int", "bool", "true", "false"}), in(L4, red, {R"(\ Even number)"}),
                 in(L4, purple, {"1", secondNumber}), in(L4, pink, {"else"})});
}
std::vector<ColorRule> evenSuccess(const LessonText& last) {
    return join({in(SUCCESS, project, {"evenNumbers"}), in(SUCCESS, purple, {"6", last})});
}
const std::vector<ColorRule> kPrintLine6 =
    join({in(L6, pink, {"else"}), in(L6, blue, {"std::cout", "std::endl"}), in(L6, red, {R"(",")"})});
const std::vector<ColorRule> kDayInstruction =
    join({in(INSTR, project, {"today"}), in(INSTR, blue, {" day "}), in(INSTR, comment, {"4"})});
std::vector<ColorRule> dayLines(const LessonText& line2Number, bool loopOnLine3,
                                const LessonText& line4Number) {
    return join(
        {in(L2, pink, {"double", "if", "int"}), in(L2, blue, {"std", "string"}),
         in(L2, red, {R"("Sunday")", R"("Monday")", R"("Tuesday")"}), in(L2, purple, {line2Number}),
         loopOnLine3
             ? join({in(L3, pink, {"for", "if", "int", "bool", "true", "false"}),
                     in(L3, red, {R"("Thursday")"}), in(L3, purple, {"0", "100"})})
             : join({in(L3, pink, {"double", "if", "int", "bool", "true", "false"}),
                     in(L3, red, {R"("Thursday")", R"("Wednesday")", R"("Friday")", R"("Saturday")"})}),
         evenLine("for", line4Number), in(L5, purple, {"4"}), in(L5, blue, {"std::cout", "std::endl"}),
         in(L5, red, {R"("Avg. age = ")"}), in(L7, purple, {"4"}), in(L6, pink, {"else"})});
}

} // namespace

// clang-format off
void buildCppChapter5(Chapter& chapter) {
    // C++CH5L1
    addCppLesson(chapter, {
        .title = "What is an array?",
        .instruction = "An array is essentially a list of items.  When you create an array, you need to 1. specify the type of items your array can hold and 2. Specify the number of elements the array can hold.  Let's create an array called prime that will contain the first 5 prime numbers.  In line 3, set the type to string.",
        .code = R"(#include <iostream>
int main() {
   «string»prime[5];)",
        .accepted    = {"std::string"},
        .success     = "What if you don't know how many elements should go into the array?  Great question but will get to dynamic arrays a bit later since it can get complicated.  ;)",
        .hint        = {"Stuck? Break it down!", steps({"1. Remember the syntax.", "type array[elements];", "2. The prime array is of type"}) + ANSWER},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .words       = {{":", "="}},
        .colors      = join({in(INSTR, blue, {"array", "type"}), in(INSTR, comment, {"elements"}), in(INSTR, project, {"prime"}),
                             in(INSTR, blue, {"String"}), in(L1, red, {"<iostream>"}), in(L1, orange, {"#include"}),
                             in(L2, pink, {"for", "int"}), in(L2, blue, {"std"}), in(L2, pink, {"bool", "true", "false", "if"}),
                             in(L2, blue, {"string"}), in(L2, red, {R"("awesome")"}), in(L2, purple, {"50"}),
                             in(L3, pink, {"for", "int", "bool", "true", "false", "if", "true", "false"}), in(L3, red, {R"("awesome")"}),
                             in(L3, purple, {"50"}), in(L4, pink, {"int", "if", "bool"}), in(L4, red, {R"(",")"}), in(L4, purple, {"5"}),
                             in(L4, blue, {"std::cout", "std::endl"}), in(L4, red, {R"(",")"}), in(L6, pink, {"else"}),
                             in(SUCCESS, blue, {"array"}), in(SUCCESS, project, {"prime"}),
                             in(ERROR, comment, {ANSWER, "type array[elements];"})}),
        .printValue  = "1,4,9,16,25,",
    });

    // C++CH5L2
    addCppLesson(chapter, {
        .title = "Initialize array",
        .instruction = "An array can be filled where it is declared, with its items in curly braces.  In line 3, add the first 4 prime numbers, separated by commas.",
        .code = R"(#include <iostream>
int main() {
   int prime[4] = {«2, 3, 5, 7»};
   }
})",
        .lines       = 3,
        .accepted    = {BLANKLESS},
        .success     = "prime now holds four numbers.  Next, let's use them.",
        .hint        = {"Stuck? Break it down!", steps({"1. Remember the syntax", "type array[elements] = {element 1, element2, etc.}", "2. Add the first 4 prime numbers."}) + ANSWER},
        .words       = {{",", "!"}},
        .colors      = join({in(INSTR, comment, {"for ( init; condition; increment )"}), in(INSTR, pink, {"else"}), kFirstLine,
                             sunnyLine({"10"}), in(L3, pink, {"for", "if", "int", "bool", "true", "false"}),
                             in(L3, red, {R"("Bring sunscreen!")"}), in(L3, purple, {"4"}), in(L3, blue, {"std::cout", "std::endl"}),
                             in(L3, red, {R"(",")"}), in(L4, pink, {"if", "int", "bool", "true", "false"}), in(L4, red, {R"("C++")"}),
                             in(L4, purple, {"9"}), in(L4, pink, {"else"}), in(L5, pink, {"else"}), in(L6, pink, {"else"}),
                             in(SUCCESS, blue, {"C++"}),
                             in(ERROR, comment, {ANSWER, "type array[elements] = {element 1, element2, etc.}"})}),
        .printValue  = "2,3,5,7,11",
    });

    {   // C++CH5L3
        const LessonText success = "How do you update an item in an array?  Let's find out.";
        addCppLesson(chapter, {
            .title = "Accessing items in array",
            .instruction = "Items in an array are stored at a specific index.  The first item in an array starts at index zero.  To access an item in an array, use square brackets and put the index number inside it.  E.g. myArray[0] let's you access the first member of myArray.  Please print one of the items from the prime array to the screen.",
            .code = R"(#include <iostream>
int main() {
   int prime[4] = {2,3,5,7};
   std::cout <<«prime[0]»<< std::endl;
})",
            .accepted    = {"prime[1]", "prime[2]", "prime[3]"},
            .success     = success,
            .hint        = {"Stuck? Break it down!", "1. Array's start at index zero so the possible answers are. \n " + ANSWER + " \n prime[1] \n prime[2] \n prime[3]"},
            .words       = {{"[", "]"}},
            .colors      = join({in(INSTR, project, {"tools"}), in(INSTR, blue, {"print"}), in(INSTR, comment, {"myArray[0]"}),
                                 kFirstLine, sunnyLine({"10"}), primeLine(false), kPrintLine4, in(L5, pink, {"else"}),
                                 in(L6, pink, {"else"}), in(SUCCESS, blue, {"C++"}),
                                 in(ERROR, comment, {ANSWER, "prime[1]", "prime[2]", "prime[3]"})}),
            .debugger    = true,
            .blankDebugTexts = true,
            .outputs     = {{"0", "2", success}, {"1", "3", success}, {"2", "5", success}, {"3", "7", success}},
        });
    }

    // C++CH5L4
    addCppLesson(chapter, {
        .title = "Update item in array",
        .instruction = "An item is updated through its index, like any variable.  In line 4, change the last item of numbers to 6.",
        .code = R"(#include <iostream>
int main() {
   int numbers[4] = {9,8,7,5};
   «numbers[3] = 6;»)",
        .accepted    = {BLANKLESS},
        .success     = "numbers[3], the fourth item, is now 6 instead of 5.  The array still holds four items: nothing was added.",
        .hint        = {"Stuck? Break it down!", steps({"1. Find the index of the last item", "2. Update the item"}) + ANSWER},
        .words       = {{"[", ";", "]"}},
        .colors      = join({in(INSTR, project, {"numbers"}), in(INSTR, blue, {"print"}), in(INSTR, comment, {"6"}), kFirstLine,
                             sunnyLine({}), primeLine(true), kPrintLine4, in(L5, pink, {"else"}), in(L6, pink, {"else"}),
                             in(SUCCESS, project, {"numbers"}), in(SUCCESS, purple, {"6", "5"}),
                             in(ERROR, comment, {ANSWER, "prime[1]", "prime[2]", "prime[3]"})}),
        .blankDebugTexts = true,
        .sameMessage = false,
    });

    // C++CH5L5
    addCppLesson(chapter, {
        .title = "Arrays and loops",
        .instruction = "A for loop can fill an array item by item.  In line 3, write the header of the for loop that fills evenNumbers, with x starting at 0.",
        .code = R"(int main() {
   int evenNumbers[10];
   for«(int x = 0; x < 10; x++)»{
       int y = (x + 1) * 2;
       evenNumbers[x] = y;
       std::cout << evenNumbers[x] << ",";
   }
})",
        .accepted    = {"( int x = 0; x < 10; x++ )", "(int x=0; x<10; x++)", "(int x=0;x<10;x++)", "( int x=0; x<10; x++ )",
                        "( int x=0;x<10;x++ )", "( int x = 0; x <= 9; x++ )", "(int x = 0; x <= 9; x++)", "( int x = 0;x <= 9;x++ )",
                        "( int x=0; x<=9; x++ )", "( int x=0;x<=9; x++ )", "(int x=0;x<=9; x++)", "(int x=0;x<=9;x++)",
                        "( int x = 0; x < 10; x+=1 )", "(int x=0; x<10; x+=1)", "(int x=0;x<10;x+=1)", "( int x=0; x<10; x+=1 )",
                        "( int x=0;x<10;x+=1 )", "( int x = 0; x <= 9; x+=1 )", "(int x = 0; x <= 9; x+=1)",
                        "( int x = 0;x <= 9;x+=1 )", "( int x=0; x<=9; x+=1 )", "(int x=0; x<=9; x+=1)", "( int x=0;x<=9; x+=1 )",
                        "(int x=0;x<=9;x+=1)", "( int x = 0; x < 10; ++x )", "(int x=0; x<10; ++x)", "(int x=0;x<10;++x)",
                        "( int x=0; x<10; ++x )", "( int x=0;x<10;++x )", "( int x = 0; x <= 9; ++x )", "(int x = 0; x <= 9; ++x)",
                        "( int x = 0;x <= 9;++x )", "( int x=0; x<=9; ++x )", "(int x=0; x<=9; ++x)", "( int x=0;x<=9; ++x )",
                        "(int x=0;x<=9;++x)", "(int x = 0; x <= 9; x += 1)"},
        .success     = "evenNumbers is full.  Next: an array whose count the compiler works out.",
        .hint        = {"Stuck? Break it down!", steps({"1. Remember the syntax", kLoopSyntax, "2. The end value is x < 10 or x <= 9",
                                                        "There are multiple possible answers such as"}) + ANSWER + " \n (int x = 0; x <= 9; x += 1)"},
        .words       = {{"(", "=", ";", "<", "+", ")"}},
        .colors      = join({in(INSTR, project, {"numbers"}), in(INSTR, blue, {"print"}), in(INSTR, comment, {"6"}), kFirstLine,
                             sunnyLine({}), primeLine(true), evenLine("if", "2"), in(L5, pink, {"else"}), kPrintLine6,
                             evenSuccess("5"), in(ERROR, comment, {ANSWER, kLoopSyntax, "(int x = 0; x <= 9; x += 1)"})}),
        .debugger    = true,
        .printValue  = "2,4,6,8,10,12,14,16,18,20,",
    });

    // C++CH5L6
    addCppLesson(chapter, {
        .title = "Inferred size of array",
        .instruction = "When an array is filled where it is declared, the count in the brackets may be left out: the compiler counts the items.  Give widthAndLength the values 10 and 20.",
        .code = R"(int main() {
   int widthAndLength[] = «{ 10 , 20 } ;»)",
        .accepted    = {"{ 10, 20 };", "{ 10,20 } ;", "{10 , 20} ;", "{10,20} ;", "{ 10, 20 };", "{ 10,20 };", "{10 , 20};", "{10,20};"},
        .success     = "widthAndLength holds two items, so its count is 2.  Next: walking through an array.",
        .hint        = {"Stuck? Break it down!", "1. Create a simple array with two numbers \n int widthAndLength[] = " + ANSWER},
        .words       = {{"{", ",", ";", "}"}},
        .colors      = join({in(INSTR, project, {"widthAndLength"}), in(INSTR, blue, {"print"}), in(INSTR, comment, {"6"}), kFirstLine,
                             sunnyLine({}), primeLine(true), evenLine("if", "2"), in(L5, pink, {"else"}), kPrintLine6,
                             evenSuccess("5"), in(ERROR, comment, {ANSWER, kLoopSyntax, "int widthAndLength[] ="})}),
        .printValue  = "2,4,6,8,10,12,14,16,18,20,",
        .search      = kArray,
    });

    // C++CH5L7
    addCppLesson(chapter, {
        .title = "Iterating through array",
        .instruction = "To sum the ages, the loop must visit every item of ageOfUsers once.  In line 4, write the for loop header for all four values.",
        .code = R"(int main() {
   double ageOfUsers[4] = {22, 50, 18, 39};
   double sum = 0;
   for «( int x = 0; x < 4; x++ )»{
       sum += ageOfUsers[x];
   }
   std::cout << "Avg. age = " << sum/4;
})",
        .accepted    = {"( int x = 0; x < 4; x++ )", "( int x = 0 ; x < 4 ; ++x )", "(int x = 0 ; x < 4 ; ++x)", "(int x = 0; x < 4; x++)",
                        "(int x = 0; x < 4; ++x)", "(int x = 0; x < 4; x+=1)", "(int x = 0; x < 4; x += 1)", "( int x = 0 ; x < 4 ; x += 1 )",
                        "(int x = 0 ; x < 4 ; x += 1)", "( int x = 0 ; x < 4 ; x++ )", "(int x = 0 ; x < 4 ; x++)", "(int x = 0; x < 4; x++)",
                        "(int x = 0;x < 4; x++)", "(int x=0; x<4; x++)", "(int x=0;x<4;x++)", "( int x=0; x<4; x++ )",
                        "( int x = 0;x < 4;x++ )", "(int x = 0;x < 4;x++)", "(int x=0; x<4; x++)", "( int x = 0; x < 4; x += 1 )",
                        "(int x = 0; x < 4; x += 1)", "(int x = 0;x < 4; x += 1)", "(int x=0; x<4; x+=1)", "(int x=0;x<4;x+=1)",
                        "( int x=0; x<4; x+=1 )", "( int x = 0;x < 4;x += 1 )", "(int x = 0;x < 4;x += 1)", "(int x=0; x<4; x+=1)",
                        "( int x = 0; x < 4; ++x )", "(int x = 0; x < 4; ++x)", "(int x = 0;x < 4; ++x)", "(int x=0; x<4; ++x)",
                        "(int x=0;x<4;++x)", "( int x=0; x<4; ++x )", "( int x = 0;x < 4;++x )", "(int x = 0;x < 4;++x)",
                        "(int x=0; x<4; ++x)", "( int x = 0; x <= 3; x++ )", "(int x = 0; x <= 3; x++)", "(int x = 0;x <= 3; x++)",
                        "(int x=0; x<=3; x++)", "(int x=0;x<=3;x++)", "( int x=0; x<=3; x++ )", "( int x = 0;x <= 3;x++ )",
                        "(int x = 0;x <= 3;x++)", "(int x=0; x<=3; x++)", "( int x = 0; x <= 3; x += 1 )", "(int x = 0; x <= 3; x += 1)",
                        "(int x = 0;x <= 3; x += 1)", "(int x=0; x<=3; x+=1)", "(int x=0;x<=3;x+=1)", "( int x=0; x<=3; x+=1 )",
                        "( int x = 0;x <= 3;x += 1)", "(int x = 0;x <= 3;x += 1)", "(int x=0; x<=3; x+=1)", "( int x = 0; x <= 3; ++x )",
                        "(int x = 0; x <= 3; ++x)", "(int x = 0;x <= 3; ++x)", "(int x=0; x<=3; ++x)", "(int x=0;x<=3;++x)",
                        "( int x=0; x<=3; ++x )", "( int x = 0;x <= 3;++x )", "(int x = 0;x <= 3;++x)", "(int x=0; x<=3; ++x)"},
        .success     = kMoreExamples,
        .hint        = {"Stuck? Break it down!", steps({"1. Remember the syntax", kLoopSyntax, "2. The array has 4 items, so the end value is x < 4 or x <= 3",
                                                        "There are multiple possible answers such as"}) + ANSWER + " \n ( int x = 0; x <= 3; x += 1 )"},
        .words       = {{"{", ",", ";", "}"}},
        .colors      = join({in(INSTR, project, {"ageOfUsers"}), in(INSTR, blue, {"print"}), in(INSTR, comment, {"6"}), kFirstLine,
                             in(L2, pink, {"double", "if", "int"}), in(L2, blue, {"std", "string"}), in(L2, red, {R"("sunny")"}),
                             in(L2, purple, {"4", "50", "18", "39", "22"}), in(L3, pink, {"double", "if", "int", "bool", "true", "false"}),
                             in(L3, red, {R"("Bring sunscreen!")"}), in(L3, purple, {"5", "4", "2", "3", "0"}), evenLine("for", "2"),
                             in(L5, purple, {"4"}), in(L7, purple, {"4"}), in(L7, blue, {"std::cout", "std::endl"}),
                             in(L7, red, {R"("Avg. age = ")"}), in(L6, pink, {"else"}), evenSuccess("5"),
                             in(ERROR, comment, {ANSWER, kLoopSyntax, "( int x = 0; x <= 3; x += 1 )"})}),
        .debugger    = true,
        .printValue  = "Avg. age = 32.25",
        .search      = kArray,
    });

    // C++CH5L8
    addCppLesson(chapter, {
        .title = "Iterating through array 2",
        .instruction = "The loop visits every user, from 0 to userCount.  In line 7, keep the larger score: set maxScore to the score of the current user.",
        .code = R"(int main() {
   int userCount = 4;
   int userScores[] = {84, 61, 99, 77};
   int maxScore = 0;
   for (int user = 0; user < userCount; user++) {
       if (userScores[user] > maxScore) {
           maxScore = «userScores[user]»;
   }   }
   std::cout << maxScore << std::endl;
})",
        .accepted    = {BLANKLESS},
        .success     = "Many programmers name the loop variable x; others prefer a descriptive name such as user.  Both work the same.",
        .hint        = {"Stuck? Break it down!", "When userScores[user] is larger than maxScore, update maxScore with it: \n maxScore = userScores[user]"},
        .words       = {{"[", "]"}},
        .colors      = join({in(INSTR, project, {"user", "userCount"}), in(INSTR, comment, {"6"}), kFirstLine,
                             in(L2, pink, {"double", "if", "int"}), in(L2, blue, {"std", "string"}), in(L2, red, {R"("sunny")"}),
                             in(L2, purple, {"4"}), in(L3, purple, {"84", "61", "99", "77"}),
                             in(L3, pink, {"double", "if", "int", "bool", "true", "false"}), in(L3, red, {R"("Bring sunscreen!")"}),
                             in(L3, purple, {"4", "2", "0"}), in(L4, purple, {"0"}), in(L4, pink, {"for", "int", "bool", "true", "false"}),
                             in(L4, red, {R"(\ Even number)"}), in(L4, purple, {"1", "2"}), in(L5, pink, {"for", "int"}),
                             in(L5, purple, {"0"}), in(L6, pink, {"if", "else"}), in(L9, blue, {"std::cout", "std::endl"}),
                             in(L7, red, {R"("Avg. age = ")"}), in(SUCCESS, project, {" user ", " x "}), in(SUCCESS, purple, {"5"}),
                             in(ERROR, comment, {"maxScore = userScores[user]"})}),
        .debugger    = true,
        .printValue  = "99",
        .search      = kArray,
    });

    // C++CH5C1
    addCppChallenge(chapter, {
        .instruction = "In line 4, declare a string called today that holds the second item of day.",
        .code = R"(int main() {
   std::string day[7]={"Sunday","Monday","Tuesday",
   "Wednesday","Thursday","Friday","Saturday"};
   «string today = day[1];»
   std::cout << today << std::endl;
})",
        .accepted    = {"string today = day[1];", "string today=day[1];", "string today = day[1] ;", "string today=day[1] ;",
                        "std::string today = day[1];", "std::string today=day[1];", "std::string today = day[1] ;",
                        "std::string today=day[1] ;"},
        .success     = kMoreExamples,
        .hint        = {"Stuck? Break it down!", "1. Create a string variable called today \n 2. It holds the second item of day \n 3. Counting starts at 0 \n 4. Remember the syntax \n array[index]"},
        .words       = {{"[", ":", "=", ";", "]"}},
        .colors      = join({kDayInstruction, kFirstLine, dayLines("7", false, "2"), evenSuccess("5"),
                             in(ERROR, comment, {ANSWER, "array[index]"})}),
        .debugger    = true,
        .printValue  = "Monday",
        .search      = kArray,
    });

    // C++CH5C2
    addCppChallenge(chapter, {
        .instruction = "Let's build an array of 100 numbers.  In line 2, declare numbers with room for 100 integers.",
        .code = R"(int main() {
   «int numbers[100];»)",
        .accepted    = {"int numbers[100] ;"},
        .success     = "numbers has room for 100 integers.  Next, we fill it.",
        .hint        = {"Stuck? Break it down!", "1. The array holds integers \n 2. It needs room for 100 items \n 3. Remember the syntax \n type name[number of elements];"},
        .words       = {{"[", ";", "]"}},
        .colors      = join({kDayInstruction, kFirstLine, dayLines("7", false, "2"), evenSuccess("5"),
                             in(ERROR, comment, {ANSWER, "type name[number of elements];"})}),
        .search      = kArray,
    });

    // C++CH5C3
    addCppChallenge(chapter, {
        .instruction = "In line 3, write a for loop that runs 100 times, with x starting at 0.",
        .code = R"(int main() {
   int numbers[100];
   «for (int x = 0; x < 100; x++)»{)",
        .accepted    = {"for (int x = 0; x < 100; x++)", "for(int x = 0; x < 100; x++)", "for (int x=0; x<100; x++)",
                        "for (int x = 0;x < 100;x++)", "for (int x = 0; x<100; x++)", "for(int x=0; x<100;x++)",
                        "for (int x = 0; x <= 99; x++)", "for(int x = 0; x <= 99; x++)", "for (int x=0; x<=99; x++)",
                        "for (int x = 0;x <= 99;x++)", "for (int x = 0; x<=99; x++)", "for(int x=0; x<=99;x++)",
                        "for (int x = 0; x < 100; ++x)", "for(int x = 0; x < 100; ++x)", "for (int x=0; x<100; ++x)",
                        "for (int x = 0;x < 100;++x)", "for (int x = 0; x<100; ++x)", "for(int x=0; x<100;++x)",
                        "for (int x = 0; x <= 99; ++x)", "for(int x = 0; x <= 99; ++x)", "for (int x=0; x<=99; ++x)",
                        "for (int x = 0;x <= 99;++x)", "for (int x = 0; x<=99; ++x)", "for(int x=0; x<=99;++x)",
                        "for (int x = 0; x < 100; x+=1)", "for(int x = 0; x < 100; x+=1)", "for (int x=0; x<100; x+=1)",
                        "for (int x = 0;x < 100;x+=1)", "for (int x = 0; x<100; x+=1)", "for(int x=0; x<100;x+=1)",
                        "for (int x = 0; x <= 99; x+=1)", "for(int x = 0; x <= 99; x+=1)", "for (int x=0; x<=99; x+=1)",
                        "for (int x = 0;x <= 99;x+=1)", "for (int x = 0; x<=99; x+=1)", "for(int x=0; x<=99;x+=1)"},
        .success     = "The loop is ready.  Now the integers can go in.",
        .hint        = {"Stuck? Break it down!", "1. Remember the syntax \n for (init value; end value; increment) \n 2. Start at 0 \n 3. End so that the loop runs 100 times \n 4. Increment by 1"},
        .words       = {{"(", "=", ";", "<", "+", ")"}},
        .colors      = join({kDayInstruction, kFirstLine, dayLines("100", false, "2"), evenSuccess("5"),
                             in(ERROR, comment, {ANSWER, kLoopSyntax})}),
        .printValue  = "",
        .search      = kArray,
    });

    // C++CH5C4
    addCppChallenge(chapter, {
        .instruction = "Inside the loop, in line 4, store the numbers 101 to 200 in numbers: each item gets x + 101.",
        .code = R"(int main() {
   int numbers[100];
   for (int x = 0; x < 100; x++) {
       «numbers[x] = x + 101;»)",
        .accepted    = {BLANKLESS, "numbers[x] = x + 101 ;", "numbers[x] = x + 101;", "numbers[x] = x+101;", "numbers[x]=x+101;",
                        "numbers[x] = 101 + x ;", "numbers[x] = 101 + x;", "numbers[x] = 101+x;", "numbers[x]=101+x;"},
        .success     = "numbers holds 101 to 200.  Next, a look at the result.",
        .hint        = {"Stuck? Break it down!", "1. Remember the syntax \n array[index] = item \n 2. Add 101 to x"},
        .words       = {{"[", "=", "+", ";", "]"}},
        .colors      = join({kDayInstruction, kFirstLine, dayLines("100", true, "2"), evenSuccess("5"),
                             in(ERROR, comment, {ANSWER, "array[index] = item"})}),
        .printValue  = "",
        .search      = kArray,
    });

    // C++CH5C5
    addCppChallenge(chapter, {
        .instruction = "In line 6, print the last number of the array to the screen.",
        .code = R"(int main() {
   int numbers[100];
   for (int x = 0; x < 100; x++) {
       numbers[x] = x + 101;
   }
   «std::cout << numbers[99] << std::endl;»
})",
        .accepted    = {BLANKLESS, ANSWER, "cout << numbers[99] << endl;", "cout << numbers[99];", "std::cout << numbers[99];",
                        "cout<<numbers[99];", "std::cout<<numbers[99];"},
        .success     = "YES!  200 should indeed be the last item in the array.  Good stuff!",
        .hint        = {"Stuck? Break it down!", "1. Use cout << to print an item to the screen. \n2. Remember that an index starts at 0.  So if an array contains 100 items, how do you access the last item? \n 3. Always add a semicolon at the end of each statement."},
        .words       = {{"[", ":", "<", ";", "]"}},
        .colors      = join({kDayInstruction, kFirstLine, dayLines("100", true, "101"), evenSuccess("200"),
                             in(ERROR, comment, {ANSWER, "array[index] = item"})}),
        .debugger    = true,
        .printValue  = "200",
        .search      = kArray,
    });
}
// clang-format on
