// C++ course, chapter 1: printing with cout, variables of the basic types, comments, namespaces, case
// sensitivity, += and the increment operators, and two challenge series.
#include "content/cpp/CppCourse.hpp"
#include "content/cpp/CppLesson.hpp"

using namespace content;
using namespace content::cpp;
using namespace content::form;

namespace {

const Hint kChallengeHint = {
    "Stuck?", "If you are struggling, review some of the earlier lessons to pass this challenge."};

} // namespace

// clang-format off
void buildCppChapter1(Chapter& chapter) {
    // C++CH1L1
    addCppLesson(chapter, {
        .id = "C++CH1L1", .title = R"("Hi" It's nice to meet you!)",
        .instruction = R"("Welcome!" It's nice to meet you.  Learning C++ can be fun and easy.  Let's start by saying "Hi".)",
        .code = R"(int main() {
   string greeting = «"Hi"»;
   cout << greeting;
   return 0;
})",
        .accepted    = {BLANKLESS},
        .success     = R"(Let's clean up the output in the consule by adding a line break after "Hi".  Learn how in the next lesson.)",
        .hint        = {"Stuck?", R"(Something went wrong.  Please try again.  HINT: Just say "Hi")"},
        .wrong       = {{"Stuck?", R"(Remember to always put Strings in quotes (e.g. "Hi"))", R"(")", false},
                        {"Stuck?", R"(Remember to capitalize the 'H' in 'Hi' (e.g. "Hi"))", R"("h)", true}},
        .placeholder = R"(Tap to enter "Hi")",
        .inputColor  = red,
        .words       = {{R"(")", "=", ":"}},
        .colors      = {{INSTR, R"("Hi")", red}, {L1, "int", pink}, {L2, "string", blue}, {L3, "cout", blue},
                        {L4, "return", pink}, {L4, "0", purple}, {SUCCESS, R"("Hi")", red}, {ERROR, "Strings", blue},
                        {ERROR, R"("Hi")", red}},
        .debugger    = true,
        .printValue  = "HiProgram ended with exit code: 0",
    });

    {   // C++CH1L2
        const LessonText task = "Add a line break after greeting with endl.";
        addCppLesson(chapter, {
            .id = "C++CH1L2", .title = "Consule Output",
            .instruction = "cout sends text to the console, and you can chain as many insertion operators << after it as you like.  " + task,
            .code = R"(int main() {
   string greeting = "Hi";
   cout << greeting«<< endl»;
   return 0;
})",
            .accepted    = {BLANKLESS, "<< std::endl"},
            .success     = "endl ends the line, so whatever comes next starts on a fresh one.",
            .hint        = {"Stuck? Break it down", steps({"1. Add another insertion operator <<", "2. Follow it with endl"}) + ANSWER},
            .wrong       = {{"Oops...", "When you declare a variable, just enter the name without quotes. \n (myFirstProgram)", R"(")", true}},
            .placeholder = "Add line break",
            .words       = {{":", "<"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {L2, "string", blue}, {L2, R"("Hi")", red},
                            {L3, "cout", blue}, {L4, "return", pink}, {L4, "0", purple}, {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "Hi",
        });
    }

    {   // C++CH1L3
        const LessonText task = "Print reminder to the console.";
        addCppLesson(chapter, {
            .id = "C++CH1L3", .title = "Optional return",
            .instruction = "main() returns 0 by default when it reaches its end, so the next lessons leave out the return line.  " + task,
            .code = R"(int main() {
   string reminder = "main() returns 0 by default\n";
   «cout << reminder»;
})",
            .accepted    = {BLANKLESS, "std::cout << reminder", "std::cout<<reminder"},
            .success     = R"(Did you spot the \n at the end of the string?  It is a line break written inside the text.)",
            .hint        = {"Stuck? Break it down", steps({"1. Use cout with the insertion operator <<", "2. Print the variable reminder"}) + ANSWER},
            .placeholder = "print reminder to console",
            .words       = {{":", "<"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {L2, "string", blue},
                            {L2, R"("main() returns 0 by default\n")", red}, {SUCCESS, "string", blue}, {SUCCESS, R"(\n)", red},
                            {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "main() returns 0 by default",
        });
    }

    const LessonText printedSuccess = "Well done.  cout prints whatever you send to it with <<, text and numbers alike.";
    {   // C++CH1L4
        const LessonText task = "Print the text I love C++ with cout.";
        addCppLesson(chapter, {
            .id = "C++CH1L4", .title = "Printing text",
            .instruction = "Text in double quotes is printed exactly as written.  " + task,
            .code = R"(int main() {
   «cout << "I love C++";»
})",
            .accepted    = {R"(std::cout << "I love C++";)"},
            .success     = printedSuccess,
            .hint        = {"Stuck? Break it down", steps({"1. Start with cout <<", "2. Put the text in double quotes", "3. End the statement with a semicolon"}) + ANSWER},
            .placeholder = "Add code to answer",
            .words       = {{":", R"(")", "<", "+"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "I love C++",
        });
    }

    {   // C++CH1L5
        const LessonText task = "Declare an integer variable called myFirstInt.";
        addCppLesson(chapter, {
            .id = "C++CH1L5", .title = "What type of box?",
            .instruction = "A variable is a box that holds a value of one declared type: the type comes first, then the name.  " + task,
            .code = R"(int main() {
   «int myFirstInt;»
})",
            .accepted    = {"std:int myFirstInt;"},
            .success     = "You made a box for whole numbers.  int holds integers such as 3, 0 or -42.",
            .hint        = {"Stuck? Break it down", steps({"1. Write the type int", "2. Then the name myFirstInt and a semicolon"}) + ANSWER},
            .placeholder = "Add code to answer",
            .words       = {{":", ";"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {ERROR, "int myFirstInt", comment}},
        });
    }

    // C++CH1L6
    addCppLesson(chapter, {
        .id = "C++CH1L6", .title = "Put something in your box",
        .instruction = "A box can get its value where it is declared.  Complete line 2 so that myFirstInt holds 10.",
        .code = R"(int main() {
   int myFirstInt«= 10;»
})",
        .accepted    = {BLANKLESS, "=10;"},
        .success     = "myFirstInt now holds 10.  Giving a variable its first value is called initialising it.",
        .hint        = {"Stuck? Break it down!", steps({"1. Use = to give the box a value", "2. End the line with a semicolon"}) + ANSWER},
        .wrong       = {{"Stuck?", "Remember to always put Strings in quotes \n \"Hello world\"", R"(")", false}},
        .placeholder = "Add code to answer",
        .words       = {{"=", ";"}},
        .colors      = {{L1, "int", pink}, {L2, "int", pink}, {ERROR, ANSWER, comment}},
    });

    {   // C++CH1L Adding Ints
        const LessonText task = "Declare sum as the sum of a and b.";
        addCppLesson(chapter, {
            .id = "C++CH1L Adding Ints", .title = "Adding Ints",
            .instruction = "Integers can be added with +, and the result can go straight into a new box.  " + task,
            .code = R"(int main() {
   int a = 10;
   int b = 20;
   «int sum = a + b;»
   cout << sum << endl;
})",
            .accepted    = {"int sum=a + b;", "int sum=a+b;", "int sum =a+b;", "int sum = a+b;", "int sum = b + a;",
                            "int sum=b+a;", "int sum =b+a;", "int sum=b + a;"},
            .success     = printedSuccess,
            .hint        = {"Stuck? Break it down!", steps({"1. Declare an int called sum", "2. Set it to a + b"}) + ANSWER},
            .placeholder = "Add code to answer",
            .words       = {{":", "=", "+", ";"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {L2, "int", pink}, {L3, "int", pink},
                            {L5, "cout", blue}, {L5, "endl", blue}, {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "30",
        });
    }

    // C++CH1L Print Sum
    addCppLesson(chapter, {
        .id = "C++CH1L Print Sum", .title = "Print sum",
        .instruction = R"(Labels make output readable.  In line 5, print the text "sum = " followed by the value of sum, and end the line with endl.)",
        .code = R"(int main() {
   int a = 8;
   int b = 100;
   int sum = a + b;
   «cout << "sum = " << sum << endl;»
})",
        .accepted    = {R"(cout<<"sum = "<<sum<<endl;)", R"(std::cout << "sum = " << sum << std::endl;)",
                        R"(std::cout<<"sum = "<<sum<<std::endl;)"},
        .success     = "Text and numbers can be chained in one cout statement.",
        .hint        = {"Stuck? Break it down!", steps({R"(1. Print the label "sum = " with cout)", "2. Chain sum and endl with <<"}) + ANSWER},
        .placeholder = "Add code to answer",
        .words       = {{"=", "+", ";"}},
        .colors      = {{L1, "int", pink}, {L2, "int", pink}, {L3, "int", pink}, {L4, "int", pink}, {ERROR, ANSWER, comment}},
        .debugger    = true,
        .printValue  = "sum = 108",
    });

    const LessonText practiceSuccess = "The more code you write, the easier it gets.";
    {   // C++CH1L Comments
        const LessonText task = "Do what the comment in line 2 says.";
        addCppLesson(chapter, {
            .id = "C++CH1L Comments", .title = "Comments",
            .instruction = "A single-line comment starts with // and is ignored by the compiler.  It is there for the people who read the code.  " + task,
            .code = R"(int main() {
   // combine both strings in line 5
   string firstStr = "I can ";
   string secondStr = "do it!";
   string finalStr =«firstStr + secondStr;»
   cout << finalStr << endl;
})",
            .accepted    = {BLANKLESS},
            .success     = practiceSuccess,
            .hint        = {"Stuck? Break it down!", steps({"1. Strings can be joined with +", "2. Join firstStr and secondStr"}) + ANSWER},
            .placeholder = "Add code to answer",
            .words       = {{"+", ";"}},
            .colors      = {{INSTR, "//", comment}, {INSTR, task, comment}, {L1, "int", pink},
                            {L2, "// combine both strings in line 5", comment}, {L3, "string", pink}, {L3, R"("I can ")", red},
                            {L4, "string", pink}, {L4, R"("do it!")", red}, {L5, "string", pink}, {L6, "cout", blue},
                            {L6, "endl", blue}, {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "I can do it!",
        });
    }

    // C++CH1LRemember
    addCppLesson(chapter, {
        .id = "C++CH1LRemember", .title = "Remember only one thing",
        .instruction = "A variable keeps only its latest value: assigning a new one replaces the old.  How are you feeling?  Give feeling a new text in line 4.",
        .code = R"(int main() {
   string feeling = "awesome";
   // How are you feeling?
   feeling =«""»;
   cout << "Your mood is " << feeling << "!" << endl;
})",
        .success     = practiceSuccess,
        .hint        = {"Stuck? Break it down!", steps({"1. feeling already exists, so no type is needed", "2. Write any text in double quotes, such as"}) + R"("great")"},
        .placeholder = "Add code to answer",
        .words       = {{R"(")", ";"}},
        .colors      = {{L1, "int", pink}, {L2, "string", blue}, {L2, R"("awesome")", red}, {L3, "// How are you feeling?", comment},
                        {L5, R"("!")", red}, {L5, R"("Your mood is ")", red}, {L5, "cout", blue}, {L5, "endl", blue},
                        {ERROR, R"("great")", comment}},
        .debugger    = true,
        .printValue  = "",
        .labels      = Labels{"Your mood is ", "!"},
        .dynamic     = Dynamic{1, 1},
    });

    {   // C++CH1LNamespace
        const LessonText task = "Print question without the std:: prefix.";
        addCppLesson(chapter, {
            .id = "C++CH1LNamespace", .title = "Using namespace",
            .instruction = "The standard library keeps its names in the namespace std.  using namespace brings those names into the current region, so they need no prefix.  " + task,
            .code = R"(using namespace std;

int main() {
   string question = "Why use a namespace?";
   «cout << question;»
})",
            .accepted    = {BLANKLESS, "std::cout<<question;", "std::cout << question;"},
            .success     = "Without the using line, every standard name needs its std:: prefix.  The next lesson shows how that looks.",
            .hint        = {"Stuck? Break it down!", steps({"1. Use cout with <<", "2. Print question and end with a semicolon"}) + ANSWER},
            .placeholder = "Add code to answer",
            .words       = {{":", "<", ";"}},
            .colors      = {{INSTR, "using", pink}, {INSTR, "using namespace", pink}, {INSTR, "std", blue}, {INSTR, task, comment},
                            {L1, "using namespace", pink}, {L1, "std", blue}, {L3, "int", pink}, {L4, "string", blue},
                            {L4, R"("Why use a namespace?")", red}, {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "Why use a namespace?",
        });
    }

    const LessonText prefixSuccess = "Writing std:: every time is a good habit: a reader sees at once where each name comes from.";
    {   // C++CH1LNamespace2
        const LessonText task = "Print tip with the std:: prefix.";
        addCppLesson(chapter, {
            .id = "C++CH1LNamespace2", .title = "Without using namespace",
            .instruction = "Many programmers write the full path of every std name, as in std::string, because it keeps code readable.  " + task,
            .code = R"(int main() {
   std::string tip = "Always prefix everything\n";
   «std::cout << tip;»
})",
            .accepted    = {BLANKLESS},
            .success     = prefixSuccess,
            .hint        = {"Stuck? Break it down!", steps({"1. Write std::cout", "2. Print tip with <<"}) + ANSWER},
            .placeholder = "Add code to answer",
            .words       = {{":", "<", ";"}},
            .colors      = {{INSTR, "std", blue}, {INSTR, "string", blue}, {INSTR, task, comment}, {L1, "int", pink},
                            {L2, "std", blue}, {L2, "string", blue}, {L2, R"("Always prefix everything\n")", red},
                            {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "Always prefix everything",
        });
    }

    {   // C++CH1LIntNamespace
        const LessonText task = "Declare var with the value 5.";
        addCppLesson(chapter, {
            .id = "C++CH1LIntNamespace", .title = "Std namespace and int",
            .instruction = "int is part of the language itself, not of std, so it never takes the prefix.  " + task,
            .code = R"(int main() {
   «int var = 5;»
   std::cout << var << std::endl;
})",
            .accepted    = {"int var=5;"},
            .success     = "Built-in types such as int, double and bool never need std::.",
            .hint        = {"Stuck? Break it down!", steps({"1. Write the type int without a prefix", "2. Name it var and give it 5"}) + ANSWER},
            .placeholder = "Add code to answer",
            .words       = {{":", "<", ";"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {L3, "std::cout", blue}, {L3, "std::endl", blue},
                            {L3, "std", blue}, {L3, " std", blue}, {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "5",
        });
    }

    {   // C++CH1LCaseSensitivity
        const LessonText task = "Print one of the three variables, ending with endl.";
        const LessonText var = "Since you printed var, the value is 5";
        const LessonText Var = "Since you printed Var, the value is 15";
        const LessonText VAR = "Since you printed VAR, the value is 10";
        addCppLesson(chapter, {
            .id = "C++CH1LCaseSensitivity", .title = "Case sensitivity",
            .instruction = "C++ is case sensitive: var, VAR and Var are three different names.  " + task,
            .code = R"(int main() {
   int var = 5;
   int VAR = 10;
   int Var = 15;
   «cout << var << endl;»
})",
            .accepted    = {BLANKLESS, "std::cout << var << std::endl;", "std::cout << Var << std::endl;",
                            "std::cout << VAR << std::endl;", "std::cout<<var<<std::endl;", "std::cout<<Var<<std::endl;",
                            "std::cout<<VAR<<std::endl;", "cout << Var << endl;", "cout << VAR << endl;", "cout<<Var<<endl;",
                            "cout<<VAR<<endl;"},
            .success     = prefixSuccess,
            .hint        = {"Stuck? Break it down!", steps({"1. Use std::cout with <<", "2. Print one of the variables", "3. End with std::endl and a semicolon",
                                                            "std::cout << var << std::endl;", "std::cout << Var << std::endl;"})
                                                     + "std::cout << VAR << std::endl;"},
            .placeholder = "Add code to answer",
            .words       = {{":", "<", ";"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {L2, "int", blue}, {L2, "5", purple}, {L3, "int", blue},
                            {L3, "10", purple}, {L4, "int", blue}, {L4, "15", purple}, {SUCCESS, "10", purple},
                            {SUCCESS, "5", purple}, {SUCCESS, "15", purple}, {ERROR, "std::cout << var << std::endl;", comment},
                            {ERROR, "std::cout << Var << std::endl;", comment}, {ERROR, "std::cout << VAR << std::endl;", comment}},
            .debugger    = true,
            .blankDebugTexts = true,
            .outputs     = {{"cout << var << endl;", "5", var}, {"cout<<var<<endl;", "5", var},
                            {"std::cout << var << std::endl;", "5", var}, {"std::cout<<var<<std::endl;", "5", var},
                            {"std::cout << Var << std::endl;", "15", Var}, {"std::cout<<Var<<std::endl;", "15", Var},
                            {"cout << Var << endl;", "15", Var}, {"cout<<Var<<endl;", "15", Var},
                            {"std::cout << VAR << std::endl;", "10", VAR}, {"std::cout<<VAR<<std::endl;", "10", VAR},
                            {"cout << VAR << endl;", "10", VAR}, {"cout<<VAR<<endl;", "10", VAR}},
        });
    }

    const LessonText calculateSuccess = "You can also print a calculation directly, without a box for its result.";
    // C++CH1LAssigningInts
    addCppLesson(chapter, {
        .id = "C++CH1LAssigningInts", .title = "Assinging Ints",
        .instruction = "A variable can take its value from another variable.  Declare b with the value of a.",
        .code = R"(int main() {
   int a = 10;
   «int b = a;»
})",
        .accepted    = {"int b=a;"},
        .success     = calculateSuccess,
        .hint        = {"Stuck? Break it down!", steps({"1. Declare an int called b", "2. Give it the value of a"}) + ANSWER},
        .placeholder = "Add code to answer",
        .words       = {{":", "=", "+", ";"}},
        .colors      = {{L1, "int", pink}, {L2, "int", pink}, {SUCCESS, "int", pink}},
    });

    // C++CH1LSimpleAddition
    addCppLesson(chapter, {
        .id = "C++CH1LSimpleAddition", .title = "Adding Ints",
        .instruction = "cout can print the result of a calculation.  In line 4, print the sum of a and b.",
        .code = R"(int main() {
   int a = 10;
   int b = a;
   «std::cout << a + b << std::endl;»
})",
        .accepted    = {BLANKLESS, "cout << a + b << endl;", "cout<<a+b<<endl;", "cout << b + a << endl;", "cout<<b+a<<endl;",
                        "std::cout << b + a << std::endl;", "std::cout<<b+a<<std::endl;"},
        .success     = calculateSuccess,
        .hint        = {"Stuck? Break it down!", steps({"1. Use std::cout with <<", "2. Write a + b right after it"}) + ANSWER},
        .placeholder = "Add code to answer",
        .words       = {{":", "=", "+", ";"}},
        .colors      = {{L1, "int", pink}, {L2, "int", pink}, {L3, "int", pink}, {SUCCESS, "int", pink}, {ERROR, ANSWER, comment}},
        .debugger    = true,
        .printValue  = "20",
    });

    {   // C++CH1L+=
        const LessonText task = "Add 3 to a with +=.";
        addCppLesson(chapter, {
            .id = "C++CH1L+=", .title = "+= operator",
            .instruction = "a += 3 is short for a = a + 3.  " + task,
            .code = R"(int main() {
   int a = 2;
   «a += 3;»
   std::cout << a << std::endl;
})",
            .accepted    = {BLANKLESS},
            .success     = "The same short form works for the other operators too: +=, -=, *=, /=",
            .hint        = {"Stuck? Break it down!", steps({"1. Start with the variable a", "2. Use += to add 3"}) + ANSWER},
            .placeholder = "Add code to answer",
            .words       = {{":", "=", "+", ";"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {L2, "int", pink}, {ERROR, ANSWER, comment}},
            .debugger    = true,
            .printValue  = "5",
        });
    }

    // C++CH1LDivision
    addCppLesson(chapter, {
        .id = "C++CH1LDivision", .title = "Be mindful of division",
        .instruction = "Dividing two integers gives an integer.  Declare the double answer equal to 4/3 and see what happens.",
        .code = R"(int main() {
   «double answer = 4/3;»
   std::cout << answer << std::endl;
})",
        .accepted    = {"double answer=4/3;", "double answer = 4.0/3.0;", "double answer=4.0/3.0;"},
        .hint        = {"Stuck? Break it down!", steps({"1. Declare a double called answer", "2. Set it to the division", ANSWER})
                                                 + "double answer = 4.0/3.0;"},
        .placeholder = "Add code to answer",
        .words       = {{":", "=", "/", ";"}},
        .colors      = {{L1, "int", pink}, {ERROR, "double answer = 4/3;", comment}, {ERROR, "double answer = 4.0/3.0;", comment}},
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"double answer = 4/3;", "1", "Huh?  If you enter integer literals, the result gets rounded to a whole number.  To solve this problem enter 4.0/3.0"},
                        {"double answer=4/3;", "1", "Huh?  If you enter integer literals, the result gets rounded to a whole number.  To solve this problem enter 4.0/3.0"},
                        {"double answer=4.0/3.0;", "1.33333", "By changing the calculation to 4.0/3.0 the calculation works as we would expect."},
                        {"double answer = 4.0/3.0;", "1.33333", "By changing the calculation to 4.0/3.0 the calculation works as we would expect."}},
    });

    const LessonText incrementSuccess = "++ adds one to a variable.  Whether it stands before or after the name matters when the value is used at once.";
    // C++CH1L++
    addCppLesson(chapter, {
        .id = "C++CH1L++", .title = "Increment operator",
        .instruction = "The increment operator ++ adds one to a variable.  Add one to x in line 3.",
        .code = R"(int main() {
   int x = 1;
   «x++ ;»
})",
        .accepted    = {BLANKLESS},
        .success     = incrementSuccess,
        .hint        = {"Stuck? Break it down!", steps({"1. Write the variable x", "2. Follow it with ++ and a semicolon"}) + ANSWER},
        .placeholder = "Add code to answer",
        .words       = {{"=", "+", ";"}},
        .colors      = {{L1, "int", pink}, {L2, "int", pink}, {ERROR, ANSWER, comment}},
    });

    {   // C++CH1LPrefixPostFix
        const LessonText task = "Set y from x with either ++x or x++.";
        const LessonText prefix = "++x adds one to x first and then assigns the new value to y.  Prefix means: update the number BEFORE";
        const LessonText postfix = "x++ assigns the old value of x to y first and then adds one to x.  Postfix means: update the number AFTER";
        addCppLesson(chapter, {
            .id = "C++CH1LPrefixPostFix", .title = "Prefix vs postfix",
            .instruction = "++ can stand before the name (prefix, ++x) or after it (postfix, x++), and the two differ when the value is used in the same statement.  " + task,
            .code = R"(int main() {
   int x = 1;
   int y;
   «y = ++x;»
   std::cout<<"x="<<x<<", y="<<y<<std::endl;
})",
            .accepted    = {BLANKLESS, "y=x++;", "y = x++;"},
            .success     = incrementSuccess,
            .hint        = {"Stuck? Break it down!", steps({"1. Assign to y", "2. Use ++x or x++", ANSWER}) + "y = x++;"},
            .placeholder = "Add code to answer",
            .words       = {{"=", "+", ";"}},
            .colors      = {{INSTR, task, comment}, {L1, "int", pink}, {L2, "int", pink}, {L3, "int", pink},
                            {L5, "std::cout", blue}, {L5, "std::endl", blue}, {L5, R"("x=")", red}, {L5, R"(", y=")", red},
                            {SUCCESS, "Prefix", comment}, {SUCCESS, "Postfix", comment}, {SUCCESS, "BEFORE", comment},
                            {SUCCESS, "AFTER", comment}, {ERROR, "y = ++x;", comment}, {ERROR, "y = x++;", comment}},
            .debugger    = true,
            .blankDebugTexts = true,
            .outputs     = {{"y = ++x;", "x=2, y=2", prefix}, {"y=++x;", "x=2, y=2", prefix},
                            {"y=x++;", "x=2, y=1", postfix}, {"y = x++;", "x=2, y=1", postfix}},
        });
    }

    // C++CH1Challenge1a
    addCppLesson(chapter, {
        .id = "C++CH1Challenge1a", .title = "Challenge 1 - Step 1",
        .instruction = R"(Let's print a sentence from three variables.  First declare a string called name holding "Apple".)",
        .code = R"(int main() {
   «std::string name = "Apple";»
})",
        .accepted    = {R"(std::string name="Apple";)", R"(string name = "Apple";)", R"(string name="Apple";)"},
        .success     = "Step one done.",
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{"=", "+", ";"}},
        .colors      = {{INSTR, "name", project}, {INSTR, R"("Apple")", red}, {L1, "int", pink}},
    });

    // C++CH1Challenge1b
    addCppLesson(chapter, {
        .id = "C++CH1Challenge1b", .title = "Challenge 1 - Step 2",
        .instruction = "Now declare an integer called year holding 1976.",
        .code = R"(int main() {
   std::string name = "Apple";
   «int year = 1976;»
})",
        .accepted    = {"int year=1976;"},
        .success     = "Two variables ready.",
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{"=", "+", ";"}},
        .colors      = {{INSTR, "year", project}, {INSTR, "1976", purple}, {L1, "int", pink}, {L2, "std", blue},
                        {L2, "string", blue}, {L2, R"("Apple")", red}},
    });

    // C++CH1Challenge1c
    addCppLesson(chapter, {
        .id = "C++CH1Challenge1c", .title = "Challenge 1 - Step 3",
        .instruction = R"(The middle of the sentence goes into a string called str holding " was founded in " (mind the blanks at both ends).)",
        .code = R"(int main() {
   std::string name = "Apple";
   int year = 1976;
   «std::string str = " was founded in ";»
})",
        .accepted    = {R"(std::string str=" was founded in ";)"},
        .success     = "Everything the sentence needs is in place.",
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{"=", "+", ";"}},
        .colors      = {{INSTR, "str", project}, {INSTR, R"(" was founded in ")", red}, {L1, "int", pink}, {L2, "std", blue},
                        {L2, "string", blue}, {L2, R"("Apple")", red}, {L3, "int", pink}, {L3, "1976", purple}},
    });

    // C++CH1Challenge1d
    addCppLesson(chapter, {
        .id = "C++CH1Challenge1d", .title = "Challenge 1 - Step 4",
        .instruction = R"(Print "Apple was founded in 1976" from the three variables, ending with std::endl.)",
        .code = R"(int main() {
   std::string name = "Apple";
   int year = 1976;
   std::string str = " was founded in ";
   «std::cout << name + str << year << std::endl;»
})",
        .accepted    = {"std::cout << name << str << year << std::endl;", "std::cout<<name << str << year << std::endl;",
                        "std::cout<<name<<str<<year<<std::endl;", "std::cout<<name+str<<year<<std::endl;",
                        "cout<<name + str << year <<endl;", "cout<<name << str << year <<endl;", "cout<<name<<str<<year<<endl;",
                        "cout<<name+str<<year<<endl;"},
        .success     = "Challenge 1 complete!  Strings join with +, and << prints strings and numbers in a row.",
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{":", "<", "+", ";"}},
        .colors      = {{INSTR, R"("Apple was founded in 1976")", red}, {L1, "int", pink}, {L2, "std", blue}, {L2, "string", blue},
                        {L2, R"("Apple")", red}, {L3, "int", pink}, {L3, "1976", purple}, {L4, "std", blue},
                        {L4, "string", blue}, {L4, R"(" was founded in ")", red}},
        .debugger    = true,
        .printValue  = "Apple was founded in 1976",
    });

    // C++CH1Challenge2a
    addCppLesson(chapter, {
        .id = "C++CH1Challenge2a", .title = "Challenge 2 - Step 1",
        .instruction = "Let's convert 50 degrees Fahrenheit to Celsius.  Declare a float called celsius.",
        .code = R"(int main() {
   «float celsius;»
})",
        .accepted    = {"float celsius ;"},
        .success     = "A float holds numbers with a fractional part.",
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{"=", "+", ";"}},
        .colors      = {{INSTR, "celsius", project}, {INSTR, "float", pink}, {L1, "int", pink}},
    });

    // C++CH1Challenge2b
    addCppLesson(chapter, {
        .id = "C++CH1Challenge2b", .title = "Challenge 2 - Step 2",
        .instruction = "Declare a float called fahrenheit holding 50.",
        .code = R"(int main() {
   float celsius;
   «float fahrenheit = 50;»
})",
        .accepted    = {"float fahrenheit=50;"},
        .success     = "Now there is a temperature to convert.",
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{"=", "+", ";"}},
        .colors      = {{INSTR, "fahrenheit", project}, {INSTR, "float", pink}, {L1, "int", pink}, {L2, "float", pink}},
    });

    const LessonText goodOne = "Good one!  You can";
    // C++CH1Challenge2c
    addCppLesson(chapter, {
        .id = "C++CH1Challenge2c", .title = "Challenge 2 - Step 3",
        .instruction = "The thermometer was off by one: raise fahrenheit by one.",
        .code = R"(int main() {
   float celsius;
   float fahrenheit = 50;
   «fahrenheit += 1;»
})",
        .accepted    = {BLANKLESS, "fahrenheit++;", "++fahrenheit;", "fahrenheit = fahrenheit + 1;", "fahrenheit=fahrenheit+1;"},
        .success     = goodOne,
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{"=", "(", ")", "/", "-", ";"}},
        .colors      = {{INSTR, "fahrenheit", project}, {L1, "int", pink}, {L2, "float", pink}, {L3, "float", pink}, {L3, "50", purple}},
    });

    // C++CH1Challenge2d
    addCppLesson(chapter, {
        .id = "C++CH1Challenge2d", .title = "Challenge 2 - Step 4",
        .instruction = "The weather turned cold: lower fahrenheit by 19.",
        .code = R"(int main() {
   float celsius;
   float fahrenheit = 50;
   fahrenheit++;
   «fahrenheit -= 19;»
})",
        .accepted    = {BLANKLESS, "fahrenheit = fahrenheit -19;", "fahrenheit=fahrenheit-19;"},
        .success     = goodOne,
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{"=", "(", ")", "/", "-", ";"}},
        .colors      = {{INSTR, "fahrenheit", project}, {L1, "int", pink}, {L2, "float", pink}, {L3, "float", pink}, {L3, "50", purple}},
    });

    // C++CH1Challenge2e
    addCppLesson(chapter, {
        .id = "C++CH1Challenge2e", .title = "Challenge 2 - Step 5",
        .instruction = "Convert with the formula C = (F - 32)/1.8: set celsius from fahrenheit.",
        .code = R"(int main() {
   float celsius;
   float fahrenheit = 50;
   fahrenheit++;
   fahrenheit -= 19;
   «celsius = (fahrenheit - 32)/1.8;»
})",
        .accepted    = {BLANKLESS, "celsius = (fahrenheit-32)/1.8;", "celsius=(fahrenheit - 32)/1.8;", "celsius = (fahrenheit - 32) / 1.8;"},
        .success     = "The parentheses make the subtraction happen before the division.",
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{"=", "(", ")", "/", "-", ";"}},
        .colors      = {{INSTR, "fahrenheit", project}, {L1, "int", pink}, {L2, "float", pink}, {L3, "float", pink},
                        {L3, "50", purple}, {L5, "19", purple}},
    });

    // C++CH1Challenge2f
    addCppLesson(chapter, {
        .id = "C++CH1Challenge2f", .title = "Challenge 2 - Step 6",
        .instruction = R"(Print the result as "Celsius = x", where x is the value of celsius, and end the line.)",
        .code = R"(int main() {
   float celsius;
   float fahrenheit = 50;
   fahrenheit++;
   fahrenheit -= 19;
   celsius = (fahrenheit - 32)/1.8;
   «std::cout << "Celsius = " << celsius << std::endl;»
})",
        .accepted    = {R"(std::cout<<"Celsius = "<<celsius<<std::endl;)", R"(cout << "Celsius = " << celsius <<endl;)",
                        R"(cout<<"Celsius = "<<celsius<<std::endl;)"},
        .success     = "You finished the first chapter.  Variables, types, operators and output: you have the basics of C++!",
        .hint        = kChallengeHint,
        .placeholder = "Add code to answer",
        .words       = {{":", "<", R"(")", "=", ";"}},
        .colors      = {{INSTR, R"("Celsius = x")", red}, {L1, "int", pink}, {L2, "float", pink}, {L3, "float", pink},
                        {L3, "50", purple}, {L5, "19", purple}, {L6, "32", purple}, {L6, "1.8", purple}},
        .debugger    = true,
        .printValue  = "Celsius = 0",
    });
}
// clang-format on
