// C++ course, chapter 4: the for loop, while loops with !=, && and ||, do while, and a challenge series
// that prints the odd numbers up to 30.
#include "content/cpp/CppCourse.hpp"
#include "content/cpp/CppLesson.hpp"

using namespace content;
using namespace content::cpp;
using namespace content::form;

namespace {

// Rules of one colour for several texts of one section.

const LessonText kLoopAgain = "Solid work!  What if you want to test for multiple conditions?";
const LessonText kRandom = "rand srand random numbers";
const LessonText kForSyntax = "for ( start value; end condition; increment )";

// Lines 3 and 4 of the lists from lesson 4 on; lesson 9 on also carry lines 5 to 7.
std::vector<ColorRule> whileLines(const std::vector<LessonText>& line3Numbers,
                                  const LessonText& line4Number) {
    return join({in(L3, pink, {"while", "for", "if", "int", "bool", "true", "false"}),
                 in(L3, red, {R"("Bring sunscreen!")"}),
                 {{L3, line3Numbers.front(), purple}},
                 line3Numbers.size() > 1 ? in(L3, purple, {line3Numbers.back()}) : std::vector<ColorRule>{},
                 in(L4, pink, {"while", "if", "int", "bool", "true", "false"}),
                 in(L4, red, {R"("C++")"}),
                 in(L4, purple, {line4Number})});
}
std::vector<ColorRule> challengeLines() {
    return join({in(L5, pink, {"while"}), in(L7, pink, {"true"}), in(L6, blue, {"std::cout", "std::endl"}),
                 in(L6, red, {R"("Please rate this app")"})});
}
std::vector<ColorRule> secondLine(std::initializer_list<LessonText> keywords, const LessonText& number) {
    return join({in(L2, pink, keywords), in(L2, blue, {"std", "string"}), in(L2, red, {R"("sunny")"}),
                 in(L2, purple, {number})});
}
const std::vector<ColorRule> kStepSuccess = join({in(SUCCESS, purple, {"1"}), in(SUCCESS, project, {" i "})});
const std::vector<ColorRule> kForInstruction =
    join({in(INSTR, pink, {"for"}), in(INSTR, purple, {"0", "30"}), in(INSTR, project, {" i "})});

} // namespace

// clang-format off
void buildCppChapter4(Chapter& chapter) {
    // C++CH4L1
    addCppLesson(chapter, {
        .title = "What is a loop?",
        .instruction = "A loop performs a set of statements for a specific number of times.  The basic format for a for loop looks like this.  \n for (start value; end condition; increase value) \n Complete the for loop in line 3 by incrementing x so the loop runs exactly five times.",
        .code = R"(int main() {
   int x;
   for ( x = 1; x < 6; «x++») {
       std::cout << x * x << ",";
   }
})",
        .accepted    = {"x += 1", "++x", "x+=1", "x = x + 1", "x=x+1", "x=1+x", "x = 1 + x"},
        .success     = "In the example above, x starts at 1 and each time the loop runs, x gets incremented by 1.  The loop ends as soon as the condition is false.  The condition works like an if statement.  if (x < 6) { run loop } else { stop }",
        .hint        = {"Stuck?  Break it down!", "Since the initial value of x is 1 and the end condition is x < 6, you need to increment x by 1 so that the for loop runs exactly five times. \n " + ANSWER},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .words       = {{"+", "="}},
        .colors      = join({in(INSTR, comment, {"for (start value; end condition; increase value)"}), in(L1, pink, {"int"}),
                             in(L2, pink, {"for", "int", "bool", "true", "false", "if"}), in(L2, blue, {"std", "string"}),
                             in(L2, red, {R"("awesome")"}), in(L2, purple, {"9"}),
                             in(L3, pink, {"for", "int", "bool", "true", "false", "if", "true", "false"}), in(L3, red, {R"("awesome")"}),
                             in(L3, purple, {"1", "6"}),
                             in(L4, pink, {"int", "if", "bool"}), in(L4, red, {R"(",")", R"(",")"}), in(L4, purple, {"5"}),
                             in(L4, blue, {"std::cout", "std::endl"}), in(L6, pink, {"else"}), in(L7, blue, {"std::cout", "std::endl"}),
                             in(SUCCESS, pink, {" var ", "true"}), in(SUCCESS, comment, {"!=", "=="}), in(ERROR, comment, {ANSWER})}),
        .debugger    = true,
        .printValue  = "1,4,9,16,25,",
    });

    // Lines 2 to 6 that lessons 2 and 3 share.
    const auto initLines = join({secondLine({"for", "if", "int"}, "10"),
                                 in(L3, pink, {"for", "if", "int", "bool", "true", "false"}), in(L3, red, {R"("Bring sunscreen!")", R"(",")"}),
                                 in(L3, purple, {"3"}), in(L3, blue, {"std::cout", "std::endl"}),
                                 in(L4, pink, {"if", "int", "bool", "true", "false", "else"}), in(L4, red, {R"("C++")"}),
                                 in(L4, purple, {"9"}), in(L5, pink, {"else"}), in(L6, pink, {"else"})});

    // C++CH4L2
    addCppLesson(chapter, {
        .title = "For loop init",
        .instruction = "The parts of a for loop are for ( init; condition; increment ).  The init part runs once, before the first round.  In line 2, initialise an integer i to 0.",
        .code = R"(int main() {
   for ( «int i = 0»; i < 10; i++ ) {
       std::cout << i << ",";
   }
})",
        .accepted    = {"int i=0"},
        .success     = kLoopAgain,
        .hint        = {"Stuck? Break it down.", "Create an integer variable and set its value to 0. \n " + ANSWER},
        .words       = {{"=", "!"}},
        .colors      = join({in(INSTR, comment, {"for ( init; condition; increment )"}), in(INSTR, pink, {"else"}), in(L1, pink, {"int"}),
                             initLines, in(SUCCESS, blue, {"C++"}),
                             in(ERROR, comment, {ANSWER, "=", "==", R"(if weather == "sunny")"}), in(ERROR, project, {"weather"}),
                             in(ERROR, blue, {"string"}), in(ERROR, red, {R"("sunny")"})}),
        .debugger    = true,
        .printValue  = "0,1,2,3,4,5,6,7,8,9,",
    });

    // C++CH4L3
    addCppLesson(chapter, {
        .title = "For loop increment",
        .instruction = "You can also increase by increments other than 1.  In the example below, try to increment the for loop by increments of 2 or 3.",
        .code = R"(int main() {
   for ( int i = 0; i < 10;«i += 2») {
       std::cout << i << ",";
   }    
})",
        .accepted    = {"i += 2", "i = i + 2", "i+=2", "i=i+2", "i += 3", "i = i + 3", "i+=3", "i=i+3"},
        .success     = kLoopAgain,
        .hint        = {"Stuck? Break it down.", "Increment the for loop by two or three. \n " + ANSWER + " or i = i + 2"},
        .words       = {{"+", "="}},
        .colors      = join({in(INSTR, comment, {"for ( init; condition; increment )"}), in(INSTR, purple, {"2", "3", "1"}),
                             in(L1, pink, {"int"}), initLines, kStepSuccess, in(ERROR, comment, {ANSWER, "i = i + 2"})}),
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"2", "0,2,4,6,8,", "Everytime the loop runs, i is increased by 2 until i = 10.  At that point i < 10 is false and the loop won't run."},
                        {"3", "0,3,6,9,", "Everytime the loop runs, i is increased by 3 until i = 12.  At that point i < 10 is false and the loop won't run."}},
    });

    // C++CH4L4
    addCppLesson(chapter, {
        .title = "Simple while loop",
        .instruction = "A while loop works like an if statement that repeats: its block runs again and again while the condition is true.  Write a condition in line 3 that runs the loop exactly 3 times.",
        .code = R"(int main() {
   int loop = 0;
   while («loop < 3») {
       // loop is running
       loop += 1;
   }
   std::cout << "Loops completed: " << loop;
})",
        .accepted    = {BLANKLESS},
        .success     = kLoopAgain,
        .hint        = {"Stuck? Break it down!", steps({"1. The loop must run 3 times", "2. loop starts at 0 and grows by 1 each time"}) + ANSWER},
        .placeholder = "condition",
        .words       = {{"<", ">"}},
        .colors      = join({in(INSTR, pink, {"while", "if"}), in(L1, pink, {"int"}), secondLine({"for", "if", "int"}, "0"),
                             whileLines({"3"}, "9"), in(L4, comment, {"// loop is running"}), in(L5, pink, {"else"}),
                             in(L5, purple, {"5"}), in(L6, pink, {"else"}), in(L7, blue, {"std::cout", "std::endl"}),
                             in(L7, red, {R"("Loops completed: ")"}), kStepSuccess, in(ERROR, comment, {ANSWER, "i = i + 2"})}),
        .debugger    = true,
        .printValue  = "Loops completed: 3",
    });

    // C++CH4L5
    addCppLesson(chapter, {
        .title = "While loops",
        .instruction = "A while loop is handy when you do not know in advance how often it runs: it stops as soon as its condition is false.  Keep the loop in line 4 running until distanceInSteps is 0.",
        .code = R"(int main() {
   int steps = 0;
   int distanceInSteps = 1000;
       while «( distanceInSteps > 0 )»{
       steps += 1;
       distanceInSteps -= 1;
   }
   std::cout << "Steps taken = " << steps;
})",
        .accepted    = {BLANKLESS, "(distanceInSteps > 0)", "( distanceInSteps>0 )"},
        .success     = kLoopAgain,
        .hint        = {"Stuck?  Break it down.", steps({"1. The syntax is while ( condition ) {", "2. Keep walking while distanceInSteps is greater than 0"}) + ANSWER},
        .placeholder = "condition",
        .words       = {{"(", "<", ">", ")"}},
        .colors      = join({in(INSTR, pink, {"false", "while"}), in(INSTR, project, {"distanceInSteps"}), in(INSTR, purple, {"0"}),
                             in(L1, pink, {"int"}), secondLine({"for", "if", "int"}, "0"), whileLines({"1000"}, "9"),
                             in(L4, comment, {"// loop is running"}), in(L5, pink, {"else"}), in(L5, purple, {"1"}),
                             in(L6, pink, {"else"}), in(L6, purple, {"1"}), in(L8, blue, {"std::cout", "std::endl"}),
                             in(L8, red, {R"("Steps taken = ")"}), kStepSuccess, in(ERROR, comment, {ANSWER, "while ( condition ) {"})}),
        .debugger    = true,
        .printValue  = "Steps taken = 1000",
    });

    // C++CH4L6
    addCppLesson(chapter, {
        .title = "While !=",
        .instruction = "rand() draws a new number each time, so nobody knows in advance how often this loop runs.  Keep looping in line 6 as long as r does not equal a; the loop ends once the condition is false.",
        .code = R"(int main() {
   srand(time(NULL));   // Init num generator
   int a = 20;
   int r = rand() % 50 + 1; // In range 1 to 50
   int loops = 0;
       while«( r != a )»{
           loops += 1;
           r = rand() % 50 + 1;
       }
  std::cout << "loops = " << loops; })",
        .accepted    = {BLANKLESS, "( r!=a )", "(r != a)"},
        .success     = "The loop stops as soon as r == a.  A do while loop, next, runs its block at least once.",
        .hint        = {"Stuck?  Break it down.", steps({"1. The syntax is while ( condition ) {", "2. Keep looping while r does not equal a"}) + ANSWER},
        .placeholder = "condition",
        .words       = {{"(", "!", "=", "&", ")"}},
        .colors      = join({in(INSTR, pink, {"false", "while"}), in(INSTR, project, {" r ", " a ", " b"}), in(INSTR, purple, {"0"}),
                             in(L1, pink, {"int"}), in(L2, pink, {"for", "if", "int"}),
                             in(L2, blue, {"std", "string", "srand", "time", "NULL"}), in(L2, red, {R"("sunny")"}),
                             in(L2, purple, {"0"}), in(L2, comment, {"// Init num generator"}),
                             in(L3, pink, {"while", "for", "if", "int", "bool", "true", "false"}), in(L3, red, {R"("Bring sunscreen!")"}),
                             in(L3, purple, {"20", "30"}),
                             in(L4, pink, {"while", "if", "int", "bool", "true", "false"}), in(L4, red, {R"("C++")"}),
                             in(L4, purple, {"50"}), in(L4, blue, {"rand"}), in(L4, comment, {"// In range 1 to 50"}),
                             in(L8, blue, {"rand"}), in(L8, purple, {"1", "50"}), in(L5, pink, {"int"}), in(L5, purple, {"0"}),
                             in(L7, purple, {"1"}), in(L6, purple, {"1"}), in(L10, blue, {"std::cout", "std::endl"}),
                             in(L10, red, {R"("loops = ")"}), kStepSuccess, in(ERROR, comment, {ANSWER, "while ( condition ) {"})}),
        .printValue  = "",
        .search      = kRandom,
    });

    // C++CH4L7
    addCppLesson(chapter, {
        .title = "Do while",
        .instruction = "The do while loop gets executed at least once because it checks the condition at the end. In line 2, set the value of number to 0, 3, or 9 to see what happens.",
        .code = R"(int main() {
   int number =«0»;
   do {
       std::cout << number;
       number += 1;
   } while (number < 3);
})",
        .lines       = 10,
        .accepted    = {"3", "9"},
        .hint        = {"BUG", "Please set the number variable to one of the values below. \n int number = 0 \n int number = 3 \n int number = 9"},
        .placeholder = "?",
        .words       = {{"0", "3", "9"}},
        .colors      = join({in(INSTR, pink, {"do while"}), in(INSTR, purple, {"0", "3", "9"}), in(L1, pink, {"int"}),
                             secondLine({"for", "if", "int"}, "0"),
                             in(L3, pink, {"do", "for", "if", "int", "bool", "true", "false"}), in(L3, red, {R"("Bring sunscreen!")"}),
                             in(L3, purple, {"20"}),
                             in(L4, pink, {"while", "if", "int", "bool", "true", "false"}), in(L4, red, {R"("C++")", R"("loops = ")"}),
                             in(L4, purple, {"50"}), in(L4, blue, {"std::cout", "std::endl"}),
                             in(L6, purple, {"3", "1"}), in(L6, pink, {"while"}), in(L5, purple, {"1", "0"}), in(L5, pink, {"int"}),
                             in(L7, purple, {"1"}), in(L8, purple, {"1", "50"}), in(SUCCESS, pink, {"do while", "false"}),
                             in(SUCCESS, comment, {"( number < 3 )"}), in(ERROR, project, {"number"}), in(ERROR, purple, {"0", "3", "9"})}),
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"0", "012", "The do while loop runs 3 times and stops once the number gets incremented to 3 at which point ( number < 3 ) is false."},
                        {"3", "3", "The do while loop runs once and then stops since ( number < 3 ) is false."},
                        {"9", "9", "The do while loop runs once and then stops since ( number < 3 ) is false."}},
        .search      = kRandom,
    });

    // C++CH4L8
    addCppLesson(chapter, {
        .title = "While A && B",
        .instruction = "A while condition can join two tests with &&.  Keep the heater running while the temperature is below 21 and someone is atHome.",
        .code = R"(int main() {
   int temperature = 15;
   bool atHome = true;
   bool runHeater = false;
   while «( temperature < 21 && atHome )»{
       std::cout << "The heater is running";
       runHeater = true;
   }
   runHeater = false;
})",
        .accepted    = {BLANKLESS, ANSWER, "( temperature<21 && atHome )", "( temperature < 21&&atHome )", "(temperature < 21 && atHome)",
                        "(temperature<21 && atHome)", ANSWER, "( atHome && temperature < 21 )", "( atHome&&temperature < 21 )",
                        "( atHome && temperature<21 )", "(atHome && temperature < 21)", "(atHome && temperature<21)",
                        "(atHome&&temperature<21)"},
        .success     = "The heater runs only while it is below 21 degrees AND someone is at home; once either test is false, it stops.",
        .hint        = {"Stuck? Break it down.", "To see if two conditions are true, use the && operator \n " + ANSWER},
        .placeholder = "condition",
        .words       = {{"(", "<", "&", ")"}},
        .colors      = join({in(INSTR, pink, {"while"}), in(INSTR, purple, {"0", "3", "9"}), in(INSTR, project, {"number"}),
                             in(L1, pink, {"int"}), secondLine({"for", "if", "int"}, "15"), whileLines({"20"}, "50"),
                             in(L5, pink, {"while"}), in(L5, purple, {"21", "0"}), in(L7, pink, {"true"}), in(L9, pink, {"false"}),
                             in(L8, purple, {"1", "50"}), in(L6, blue, {"std::cout", "std::endl"}),
                             in(L6, red, {R"("The heater is running")"}), in(SUCCESS, pink, {"do", "while", "false"}),
                             in(ERROR, comment, {"&&", ANSWER})}),
        .debugger    = true,
        .printValue  = "The heater is running",
        .search      = "",
    });

    // C++CH4L9
    addCppLesson(chapter, {
        .title = "While A || B",
        .instruction = "|| keeps a loop running while at least one test is true.  Keep asking for a rating while avgRating is below 5 or there are fewer than 50 reviews.",
        .code = R"(int main() {
   double avgRating = 4.9;
   int reviews = 20;
   bool requestRating = false;
   while«( avgRating < 5 || reviews < 50 )»{
       std::cout << "Please rate this app";
       requestRating = true;
   }
})",
        .accepted    = {BLANKLESS, ANSWER, "( avgRating<5||reviews<50 )", "( avgRating < 5||reviews < 50 )", "( avgRating<5 || reviews<50 )",
                        "(avgRating < 5 || reviews < 50)", "(avgRating<5 || reviews<50)", "(avgRating < 5||reviews < 50)",
                        "( reviews < 50 || avgRating < 5 )", "( reviews < 50||avgRating < 5 )", "(reviews < 50 || avgRating < 5)",
                        "( reviews<50 || avgRating<5 )", "(reviews<50 || avgRating<5)", "( reviews<50||avgRating<5 )",
                        "(reviews<50||avgRating<5)"},
        .success     = "Both tests are still true, so the app keeps asking.  Now you are ready for a few challenges.",
        .hint        = {"Stuck? Break it down!", steps({"1. The syntax is while ( A || B) {.", "2. A is avgRating < 5", "3. B is reviews < 50"}) + ANSWER},
        .placeholder = "condition",
        .words       = {{"(", "<", "|", ")"}},
        .colors      = join({in(INSTR, pink, {"while"}), in(INSTR, purple, {"avgRating", "reviews", "5", "50"}), in(INSTR, project, {"number"}),
                             in(L1, pink, {"int"}), secondLine({"double", "if", "int"}, "4.9"), whileLines({"20"}, "50"),
                             challengeLines(), kStepSuccess, in(ERROR, comment, {ANSWER, "while ( condition ) {"})}),
        .debugger    = true,
        .printValue  = "Please rate this app",
        .search      = "",
    });

    // C++CH4L10
    addCppLesson(chapter, {
        .title = "Challenge 1",
        .instruction = "Let's print the odd numbers between 0 and 30, one step at a time.  First, declare an integer called i.",
        .code = R"(int main() {
   «int i;»)",
        .accepted    = {"int i ;"},
        .success     = "Good start.",
        .hint        = {"Stuck? Break it down!", steps({"1. Create an integer called i"}) + ANSWER},
        .words       = {{"=", ";"}},
        .colors      = join({in(INSTR, project, {"oddNumbers"}), in(INSTR, purple, {"1", "100"}), in(L1, pink, {"int"}),
                             secondLine({"double", "if", "int"}, "4.9"), whileLines({"20"}, "50"), challengeLines(), kStepSuccess,
                             in(ERROR, comment, {ANSWER, "while ( condition ) {"})}),
        .printValue  = "",
        .search      = "",
    });

    const LessonText loopReady = "The loop is ready.  Next, find the odd numbers.";
    // C++CH4L11
    addCppLesson(chapter, {
        .title = "Challenge 2",
        .instruction = "In line 3, complete a for loop that counts i from 0 to 30, starting at 0.",
        .code = R"(int main() {
   int i;
   for«( i = 0 ; i <= 30 ; i++ )»{)",
        .accepted    = {BLANKLESS, ANSWER, "( i = 0; i <= 30; i++ )", "(i = 0; i <= 30; i++)", "(i = 0 ; i <= 30 ; i++)",
                        "(i=0 ; i<=30 ; i++)", "( i=0 ; i<=30 ; i++ )", "( i=0; i<=30; i++ )", "(i=0; i<=30; i++)",
                        "( i=0; i<=30; i++ )", "( i = 0 ; i < 31 ; i++ )", "( i = 0; i < 31; i++ )", "(i = 0; i < 31; i++)",
                        "(i = 0 ; i < 31 ; i++)", "(i=0 ; i<31 ; i++)", "( i=0 ; i<31 ; i++ )", "( i=0; i<31; i++ )",
                        "(i=0; i<31; i++)", "( i=0; i<31; i++ )", "(i=0;i<31;i++)", "( i = 0 ; i <= 30 ; ++i )",
                        "( i = 0; i <= 30; ++i )", "(i = 0; i <= 30; ++i)", "(i = 0 ; i <= 30 ; ++i)", "(i=0 ; i<=30 ; ++i)",
                        "( i=0 ; i<=30 ; ++i )", "( i=0; i<=30; ++i )", "(i=0; i<=30; ++i)", "(i=0;i<=30;++i)",
                        "( i=0; i<=30; ++i )", "( i = 0 ; i < 31 ; ++i )", "( i = 0; i < 31; ++i )", "(i = 0; i < 31; ++i)",
                        "(i = 0 ; i < 31 ; ++i)", "(i=0 ; i<31 ; ++i)", "( i=0 ; i<31 ; ++i )", "( i=0; i<31; ++i )",
                        "(i=0; i<31; ++i)", "( i=0; i<31; ++i )", "(i=0;i<31;++i)"},
        .success     = loopReady,
        .hint        = {"Stuck? Break it down!", steps({"The syntax is " + kForSyntax, "A few possible answers:"}) + ANSWER + " \n ( i = 0 ; i < 31 ; i++ )"},
        .words       = {{"(", "=", "<", ";", "+", ")"}},
        .colors      = join({kForInstruction, in(L1, pink, {"int"}), secondLine({"double", "if", "int"}, "1"), whileLines({"20"}, "50"),
                             challengeLines(), kStepSuccess, in(ERROR, comment, {ANSWER, kForSyntax, "( i = 0 ; i < 31 ; i++ )"})}),
        .printValue  = "",
        .search      = "",
    });

    // C++CH4L12
    addCppLesson(chapter, {
        .title = "Challenge 3",
        .instruction = "Inside the loop, in line 4, write an if statement that is true when i is not even.",
        .code = R"(int main() {
   int i;
   for ( i = 0 ; i <= 30 ; i++ ) {
       «if ( i % 2 != 0 )»{)",
        .accepted    = {BLANKLESS, "if (i % 2 != 0)", "if ( i%2 != 0 )", "if( i % 2 != 0 )", "if(i % 2 != 0)", "if (i%2 != 0)",
                        "if(i%2 !=0)", "if (i%2!=0)", "if ( i%2 !=0 )", "if( i%2 !=0 )", "if (i%2 !=0)"},
        .success     = loopReady,
        .hint        = {"Oh no!", "1. The syntax is if ( condition ) \n 2. An even number leaves no remainder: i % 2 == 0 \n 3. For the inverse use !="},
        .words       = {{"(", "!", "=", ")"}},
        .colors      = join({kForInstruction, in(L1, pink, {"int"}), secondLine({"double", "if", "int"}, "1"), whileLines({"30", "0"}, "50"),
                             challengeLines(), kStepSuccess, in(ERROR, comment, {ANSWER, kForSyntax, "( i = 0 ; i < 31 ; i++ )"})}),
        .printValue  = "",
        .search      = "",
    });

    // C++CH4L13
    addCppLesson(chapter, {
        .title = "Challenge 4",
        .instruction = "In line 5, print each odd number i followed by a comma.",
        .code = R"(int main() {
   int i;
   for ( i = 0 ; i <= 30 ; i++ ) {
       if ( i % 2 != 0 ) {
           «std::cout << i << ",";»
)",
        .lines       = 5,
        .accepted    = {BLANKLESS, R"(cout << i << ",";)", R"(cout<<i<<",";)", R"(cout << i << "," ;)", R"(std::cout << i << "," ;)"},
        .success     = "All the odd numbers up to 30, in one short program.",
        .hint        = {"Stuck?  Break it down.", "1. Print with cout \n 2. Chain several items with << \n Remember the semicolon at the end."},
        .words       = {{":", "<", R"(")", ",", ";"}},
        .colors      = join({kForInstruction, in(L1, pink, {"int"}), secondLine({"double", "if", "int"}, "1"),
                             in(L3, pink, {"while", "for", "if", "int", "bool", "true", "false"}), in(L3, red, {R"("Bring sunscreen!")"}),
                             in(L3, purple, {"30", "0"}), in(L4, pink, {"while", "if", "int", "bool", "true", "false"}),
                             in(L4, red, {R"("C++")"}), in(L4, purple, {"2", "0"}), challengeLines(), kStepSuccess,
                             in(ERROR, comment, {ANSWER, "<<", ";", "cout"})}),
        .debugger    = true,
        .printValue  = "1,3,5,7,9,11,13,15,17,19,21,23,25,27,29,",
        .search      = "",
    });

    // C++CH4L14
    addCppLesson(chapter, {
        .title = "Challenge 5",
        .instruction = "The heart rate monitor must keep running while trackWorkout is true.  Add the missing while statement in line 3.",
        .code = R"(int main() {
   bool trackWorkout = true;
   «while (trackWorkout) {»
       /* Keep heart rate monitor
       running */
   }
})",
        .accepted    = {BLANKLESS, "while (trackWorkout == true) {", "while ( trackWorkout ) {", "while(trackWorkout) {",
                        "while( trackWorkout ) {", "while( trackWorkout ){", "while (trackWorkout==true) {",
                        "while(trackWorkout == true){", "while(trackWorkout==true){"},
        .success     = "Loop de loop: for, while and do while are yours.  On to arrays!",
        .hint        = {"Stuck?  Break it down.", "Remember the syntax \n while (condition) {"},
        .words       = {{"(", "=", ")", "}"}},
        .colors      = join({in(INSTR, pink, {"while"}), in(INSTR, purple, {"0", "30"}), in(INSTR, project, {" i "}),
                             in(L1, pink, {"int"}), in(L2, pink, {"bool", "true", "int"}), in(L2, blue, {"std", "string"}),
                             in(L2, red, {R"("sunny")"}), in(L2, purple, {"28"}),
                             in(L3, pink, {"while", "for", "if", "int", "bool", "true", "false"}), in(L3, red, {R"("Bring sunscreen!")"}),
                             in(L3, purple, {"30", "0"}), in(L4, pink, {"while", "if", "int", "bool", "true", "false"}),
                             in(L4, comment, {"/* Keep heart rate monitor"}), in(L4, purple, {"2", "0"}), in(L5, pink, {"while"}),
                             in(L5, comment, {"running */"}), in(L6, blue, {"std::cout", "std::endl"}),
                             in(L6, red, {R"("Please rate this app")"}), kStepSuccess,
                             in(ERROR, comment, {ANSWER, "while (condition) {", ";", "cout"})}),
        .printValue  = "",
        .search      = "",
    });
}
// clang-format on
